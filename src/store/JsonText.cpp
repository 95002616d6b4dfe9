#include "store/JsonText.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

char hexDigit(unsigned value)
{
    return char(value < 10 ? '0' + value : 'a' + value - 10);
}

/// Escapes an ASCII character that needs it: a quote, a backslash or a control character.
char *escapeByte(unsigned char byte, char *out)
{
    *out++ = '\\';
    switch (byte) {
    case '"': *out++ = '"'; break;
    case '\\': *out++ = '\\'; break;
    case 0x08: *out++ = 'b'; break;
    case 0x0c: *out++ = 'f'; break;
    case 0x0a: *out++ = 'n'; break;
    case 0x0d: *out++ = 'r'; break;
    case 0x09: *out++ = 't'; break;
    default:
        *out++ = 'u';
        *out++ = '0';
        *out++ = '0';
        *out++ = hexDigit(byte >> 4);
        *out++ = hexDigit(byte & 0xf);
    }
    return out;
}

/// Escapes the units from `p` to `sliceEnd` into `out`, which has room for six bytes a unit,
/// and returns where it stopped. A surrogate pair that straddles `sliceEnd` takes its second
/// unit from beyond it (up to `end`): its four bytes fit in the first unit's six. Runs of
/// plain ASCII, which is nearly all of a note, go eight units at a time.
char *escapeSlice(const char16_t *&p, const char16_t *sliceEnd, const char16_t *end, char *out)
{
    while (p < sliceEnd) {
#if defined(__SSE2__)
        if (sliceEnd - p >= 8) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            // Plain: below 0x80, not a control character, not '"' or '\'.
            const __m128i ascii = _mm_cmpeq_epi16(
                _mm_and_si128(units, _mm_set1_epi16(short(0xff80))), _mm_setzero_si128());
            const __m128i escaped = _mm_or_si128(
                _mm_cmplt_epi16(units, _mm_set1_epi16(0x20)),
                _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16('"')),
                             _mm_cmpeq_epi16(units, _mm_set1_epi16('\\'))));
            const int plainMask = _mm_movemask_epi8(_mm_andnot_si128(escaped, ascii));
            if (plainMask == 0xffff) {
                _mm_storel_epi64(reinterpret_cast<__m128i *>(out), _mm_packus_epi16(units, units));
                out += 8;
                p += 8;
                continue;
            }
            // Copy the plain units before the first special one, then take that one below.
            const int plain = __builtin_ctz(~unsigned(plainMask)) / 2;
            for (int i = 0; i < plain; ++i)
                *out++ = char(p[i]);
            p += plain;
        }
#endif
        const char16_t unit = *p++;
        if (unit < 0x80) {
            if (unit >= 0x20 && unit != u'"' && unit != u'\\') {
                *out++ = char(unit);
                continue;
            }
            out = escapeByte(static_cast<unsigned char>(unit), out);
        } else if (QChar::isHighSurrogate(unit) && p < end && QChar::isLowSurrogate(*p)) {
            out = appendUtf8(out, QChar::surrogateToUcs4(unit, *p++));
        } else if (QChar::isSurrogate(unit)) {
            *out++ = '\\';
            *out++ = 'u';
            *out++ = hexDigit((unit >> 12) & 0xf);
            *out++ = hexDigit((unit >> 8) & 0xf);
            *out++ = hexDigit((unit >> 4) & 0xf);
            *out++ = hexDigit(unit & 0xf);
        } else {
            out = appendUtf8(out, unit);
        }
    }
    return out;
}

inline bool needsEscape(unsigned char byte)
{
    return byte < 0x20 || byte == '"' || byte == '\\';
}

/// The first byte from `p` on that needs an escape, or `end`; sixteen at a time.
const unsigned char *nextToEscape(const unsigned char *p, const unsigned char *end)
{
#if defined(__SSE2__)
    const __m128i control = _mm_set1_epi8(0x1f);
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i special = _mm_or_si128(
            _mm_cmpeq_epi8(_mm_min_epu8(bytes, control), bytes),
            _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)));
        const int mask = _mm_movemask_epi8(special);
        if (mask != 0)
            return p + __builtin_ctz(unsigned(mask));
    }
#endif
    while (p < end && !needsEscape(*p))
        ++p;
    return p;
}

/// The bytes an escaped byte takes beyond itself.
inline qsizetype escapeGrowth(unsigned char byte)
{
    switch (byte) {
    case '"': case '\\': case 0x08: case 0x0c: case 0x0a: case 0x0d: case 0x09:
        return 1;
    default:
        return 5;
    }
}

} // namespace

void JsonText::string(QUtf8StringView text)
{
    // Counted first: escapes are rare (a line end, a quote), so the output is grown once, to
    // its exact size.
    const auto *const begin = reinterpret_cast<const unsigned char *>(text.data());
    const auto *const end = begin + text.size();
    qsizetype extra = 0;
    for (const unsigned char *p = nextToEscape(begin, end); p < end; p = nextToEscape(p + 1, end))
        extra += escapeGrowth(*p);
    const qsizetype start = m_out.size();
    m_out.resize(start + text.size() + extra + 2);
    char *out = m_out.data() + start;
    *out++ = '"';
    const unsigned char *run = begin;
    for (const unsigned char *p = nextToEscape(begin, end); p < end;
         p = nextToEscape(p + 1, end)) {
        std::memcpy(out, run, size_t(p - run));
        out = escapeByte(*p, out + (p - run));
        run = p + 1;
    }
    std::memcpy(out, run, size_t(end - run));
    out += end - run;
    *out++ = '"';
    Q_ASSERT(out == m_out.constData() + m_out.size());
}

void JsonText::string(QStringView text)
{
    // Written straight into the output, which is grown for the worst case (every unit a
    // six-byte escape) and cut back after, a slice at a time, so that a huge note does not
    // grow the buffer to six times its size.
    constexpr qsizetype sliceUnits = 64 * 1024;
    m_out += '"';
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    while (p < end) {
        const char16_t *const sliceEnd = p + std::min<qsizetype>(end - p, sliceUnits);
        const qsizetype start = m_out.size();
        m_out.resize(start + 6 * (sliceEnd - p));
        char *const out = escapeSlice(p, sliceEnd, end, m_out.data() + start);
        m_out.resize(out - m_out.constData());
    }
    m_out += '"';
}

void JsonText::number(double value)
{
    if (!std::isfinite(value)) {
        m_out += "null";
        return;
    }
    // Qt prints a double with an integral value that fits in 64 bits without an exponent, in
    // the shortest digits that read back as the same double (so 2^60 ends in zeros), and zero
    // without its sign; everything else in the shortest form, with an exponent where shorter.
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (value >= -limit && value < limit && value == std::trunc(value)) {
        if (value == 0)
            m_out += '0';
        else
            m_out += QByteArray::number(value, 'f', QLocale::FloatingPointShortest);
        return;
    }
    m_out += QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

void JsonText::integer(qint64 value)
{
    m_out += QByteArray::number(value);
}

void JsonText::indent(int level)
{
    m_out.append(qsizetype(4) * level, ' ');
}

void JsonText::key(int level, const char *name)
{
    indent(level);
    m_out += '"';
    m_out += name;
    m_out += "\": ";
}
