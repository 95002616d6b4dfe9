#include "store/JsonText.h"

#include <QLocale>

#include <cmath>

namespace {

char hexDigit(unsigned value)
{
    return char(value < 10 ? '0' + value : 'a' + value - 10);
}

} // namespace

void JsonText::string(QStringView text)
{
    // Filled in chunks: a body may be megabytes, and appending byte by byte is the slow part.
    char buffer[4096];
    qsizetype used = 0;
    m_out += '"';
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    while (p < end) {
        if (used > qsizetype(sizeof buffer) - 8) {
            m_out.append(buffer, used);
            used = 0;
        }
        const char16_t unit = *p++;
        if (unit < 0x80) {
            if (unit >= 0x20 && unit != u'"' && unit != u'\\') {
                buffer[used++] = char(unit);
                continue;
            }
            buffer[used++] = '\\';
            switch (unit) {
            case u'"': buffer[used++] = '"'; break;
            case u'\\': buffer[used++] = '\\'; break;
            case 0x08: buffer[used++] = 'b'; break;
            case 0x0c: buffer[used++] = 'f'; break;
            case 0x0a: buffer[used++] = 'n'; break;
            case 0x0d: buffer[used++] = 'r'; break;
            case 0x09: buffer[used++] = 't'; break;
            default:
                buffer[used++] = 'u';
                buffer[used++] = '0';
                buffer[used++] = '0';
                buffer[used++] = hexDigit(unit >> 4);
                buffer[used++] = hexDigit(unit & 0xf);
            }
        } else if (unit < 0x800) {
            buffer[used++] = char(0xc0 | (unit >> 6));
            buffer[used++] = char(0x80 | (unit & 0x3f));
        } else if (QChar::isHighSurrogate(unit) && p < end && QChar::isLowSurrogate(*p)) {
            const char32_t code = QChar::surrogateToUcs4(unit, *p++);
            buffer[used++] = char(0xf0 | (code >> 18));
            buffer[used++] = char(0x80 | ((code >> 12) & 0x3f));
            buffer[used++] = char(0x80 | ((code >> 6) & 0x3f));
            buffer[used++] = char(0x80 | (code & 0x3f));
        } else if (QChar::isSurrogate(unit)) {
            buffer[used++] = '\\';
            buffer[used++] = 'u';
            buffer[used++] = hexDigit((unit >> 12) & 0xf);
            buffer[used++] = hexDigit((unit >> 8) & 0xf);
            buffer[used++] = hexDigit((unit >> 4) & 0xf);
            buffer[used++] = hexDigit(unit & 0xf);
        } else {
            buffer[used++] = char(0xe0 | (unit >> 12));
            buffer[used++] = char(0x80 | ((unit >> 6) & 0x3f));
            buffer[used++] = char(0x80 | (unit & 0x3f));
        }
    }
    m_out.append(buffer, used);
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
