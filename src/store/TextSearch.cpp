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

} // namespace

TextMatcher::TextMatcher(QStringView word)
{
    m_word.resize(word.size());
    for (qsizetype i = 0; i < word.size(); ++i)
        m_word[i] = QChar(lower(word[i].unicode()));
    if (m_word.isEmpty())
        return;
    const char16_t first = m_word.at(0).unicode();
    std::fill(std::begin(m_starts), std::end(m_starts), first);
    const QList<char16_t> others = foldSources().value(first);
    for (qsizetype i = 0; i < others.size() && i < 3; ++i)
        m_starts[i + 1] = others[i];
}

// The offset from `from` of the next unit that may start a match.
qsizetype TextMatcher::candidate(const char16_t *from, const char16_t *end) const
{
    const char16_t *p = from;
#if defined(__SSE2__)
    const __m128i a = _mm_set1_epi16(short(m_starts[0]));
    const __m128i b = _mm_set1_epi16(short(m_starts[1]));
    const __m128i c = _mm_set1_epi16(short(m_starts[2]));
    const __m128i d = _mm_set1_epi16(short(m_starts[3]));
    for (; end - p >= 8; p += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i hit = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(units, a), _mm_cmpeq_epi16(units, b)),
            _mm_or_si128(_mm_cmpeq_epi16(units, c), _mm_cmpeq_epi16(units, d)));
        const int mask = _mm_movemask_epi8(hit);
        if (mask != 0)
            return (p - from) + __builtin_ctz(unsigned(mask)) / 2;
    }
#endif
    for (; p < end; ++p) {
        const char16_t unit = *p;
        if (unit == m_starts[0] || unit == m_starts[1] || unit == m_starts[2]
            || unit == m_starts[3])
            return p - from;
    }
    return end - from;
}

bool TextMatcher::matchesAt(const char16_t *at, const char16_t *end) const
{
    const qsizetype length = m_word.size();
    if (end - at < length)
        return false;
    const char16_t *word = reinterpret_cast<const char16_t *>(m_word.constData());
    for (qsizetype i = 0; i < length; ++i) {
        if (lower(at[i]) != word[i])
            return false;
    }
    return true;
}

bool TextMatcher::foundIn(QStringView text) const
{
    if (m_word.isEmpty())
        return true;
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
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

bool QueryMatcher::matches(QStringView text) const
{
    return std::all_of(m_words.cbegin(), m_words.cend(),
                       [&](const TextMatcher &word) { return word.foundIn(text); });
}
