#include "store/TextSearch.h"

#include <QHash>
#include <QList>

#include <algorithm>
#include <iterator>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

inline char16_t asciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

// One UTF-16 unit folded to lower case. Both the word and the text fold unit by unit, so the
// two always agree (a surrogate stands for itself).
inline char16_t lower(char16_t c)
{
    if (c < 0x80)
        return asciiLower(c);
    return QChar(c).toLower().unicode();
}

// For every folded unit, the units that fold onto it besides itself. Built once by asking
// Qt's tables, so it holds the odd ones too (the Kelvin sign onto "k", the dotted capital I
// onto "i").
const QHash<char16_t, QList<char16_t>> &foldSources()
{
    static const QHash<char16_t, QList<char16_t>> sources = [] {
        QHash<char16_t, QList<char16_t>> table;
        for (char32_t c = 0x41; c <= 0xffff; ++c) {
            if (c >= 0xd800 && c <= 0xdfff)
                continue;
            const char16_t unit = char16_t(c);
            const char16_t folded = lower(unit);
            if (folded != unit)
                table[folded].append(unit);
        }
        return table;
    }();
    return sources;
}

// The code point starting at `p`, which moves past it. Never reads at or past `end`; a
// sequence cut off there reads as a character no word holds.
inline char32_t decodeAt(const char *&p, const char *end)
{
    const auto lead = static_cast<unsigned char>(*p++);
    if (lead < 0x80)
        return lead;
    const int more = lead >= 0xf0 ? 3 : lead >= 0xe0 ? 2 : 1;
    if (end - p < more) {
        p = end;
        return 0xfffe;
    }
    char32_t code = lead & (0x3f >> more);
    for (int i = 0; i < more; ++i)
        code = code << 6 | (static_cast<unsigned char>(*p++) & 0x3f);
    return code;
}

// One character folded: those of the Basic Multilingual Plane as their UTF-16 unit folds,
// the others as themselves (as their surrogates would).
inline char32_t fold(char32_t c)
{
    return c < 0x10000 ? lower(char16_t(c)) : c;
}

char leadByteOf(char32_t c)
{
    if (c < 0x80)
        return char(c);
    if (c < 0x800)
        return char(0xc0 | (c >> 6));
    if (c < 0x10000)
        return char(0xe0 | (c >> 12));
    return char(0xf0 | (c >> 18));
}

} // namespace

TextMatcher::TextMatcher(QStringView word)
{
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t unit = word[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < word.size()
            && QChar::isLowSurrogate(word[i + 1].unicode())) {
            m_word.append(QChar::surrogateToUcs4(unit, word[++i].unicode()));
            continue;
        }
        m_word.append(lower(unit));
    }
    if (m_word.isEmpty())
        return;
    const char32_t first = m_word.at(0);
    std::fill(std::begin(m_starts), std::end(m_starts), leadByteOf(first));
    if (first >= 0x10000)
        return;
    // The lead bytes of the characters folding onto the first one: distinct ones only.
    int used = 1;
    for (const char16_t other : foldSources().value(char16_t(first))) {
        const char lead = leadByteOf(other);
        if (std::find(m_starts, m_starts + used, lead) == m_starts + used && used < 4)
            m_starts[used++] = lead;
    }
}

// The offset from `from` of the next byte that may start a match.
qsizetype TextMatcher::candidate(const char *from, const char *end) const
{
    const char *p = from;
#if defined(__SSE2__)
    const __m128i a = _mm_set1_epi8(m_starts[0]);
    const __m128i b = _mm_set1_epi8(m_starts[1]);
    const __m128i c = _mm_set1_epi8(m_starts[2]);
    const __m128i d = _mm_set1_epi8(m_starts[3]);
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i hit = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, a), _mm_cmpeq_epi8(bytes, b)),
            _mm_or_si128(_mm_cmpeq_epi8(bytes, c), _mm_cmpeq_epi8(bytes, d)));
        const int mask = _mm_movemask_epi8(hit);
        if (mask != 0)
            return (p - from) + __builtin_ctz(unsigned(mask));
    }
#endif
    for (; p < end; ++p) {
        const char byte = *p;
        if (byte == m_starts[0] || byte == m_starts[1] || byte == m_starts[2]
            || byte == m_starts[3])
            return p - from;
    }
    return end - from;
}

bool TextMatcher::matchesAt(const char *at, const char *end) const
{
    for (const char32_t wanted : m_word) {
        if (at == end || fold(decodeAt(at, end)) != wanted)
            return false;
    }
    return true;
}

bool TextMatcher::foundIn(QUtf8StringView text) const
{
    if (m_word.isEmpty())
        return true;
    const char *p = text.data();
    const char *const end = p + text.size();
    // Every character takes at least one byte.
    const qsizetype length = m_word.size();
    while (end - p >= length) {
        p += candidate(p, end - length + 1);
        if (end - p < length)
            return false;
        if (matchesAt(p, end))
            return true;
        ++p;
    }
    return false;
}

QueryMatcher::QueryMatcher(const QString &query)
{
    for (const QStringView word : QStringView(query).split(u' ', Qt::SkipEmptyParts))
        m_words.append(TextMatcher(word));
}

bool QueryMatcher::matches(QUtf8StringView text) const
{
    return std::all_of(m_words.cbegin(), m_words.cend(),
                       [&](const TextMatcher &word) { return word.foundIn(text); });
}
