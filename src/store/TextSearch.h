#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <QUtf8StringView>

/// Finds a word in a text ignoring case, without making a lower-cased copy of the text.
///
/// A note list is searched on every keystroke over every body the store holds; folding each
/// body first would cost a second copy of all the text and a pass over it before the first
/// result. Instead the matcher scans the UTF-8 text as it is held: a vectorised scan finds
/// the bytes that may start the word's first character, and characters fold one at a time from
/// there. Characters of the Basic Multilingual Plane fold by Qt's case tables; others match
/// only themselves.
class TextMatcher
{
public:
    /// `word` is folded here; an empty word matches every text.
    explicit TextMatcher(QStringView word);

    /// `text` must be valid UTF-8 (as a note's text always is); anything else never matches
    /// past the first broken sequence, and is never read beyond its end.
    bool foundIn(QUtf8StringView text) const;

private:
    qsizetype candidate(const char *from, const char *end) const;
    bool matchesAt(const char *at, const char *end) const;

    QList<char32_t> m_word; ///< folded character by character
    /// The first byte of every character that folds onto the word's first one (at most four:
    /// "k", "K" and the Kelvin sign's lead byte, say); unused places repeat the first.
    char m_starts[4] = {};
};

/// All words of a query, each of which a text must hold (in any order, ignoring case).
class QueryMatcher
{
public:
    explicit QueryMatcher(const QString &query);

    bool isEmpty() const { return m_words.isEmpty(); }
    bool matches(QUtf8StringView text) const;

private:
    QList<TextMatcher> m_words;
};
