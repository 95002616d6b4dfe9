#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

/// Finds a word in a text ignoring case, without making a lower-cased copy of the text.
///
/// A note list is searched on every keystroke over every body the store holds; folding each
/// body first would cost a second copy of all the text and a pass over it before the first
/// result. Instead the matcher scans the text as it is: ASCII compares by a table and a
/// vectorised scan for the word's first character; other characters fold one at a time.
class TextMatcher
{
public:
    /// `word` is folded here; an empty word matches every text.
    explicit TextMatcher(QStringView word);

    bool foundIn(QStringView text) const;
    const QString &word() const { return m_word; }

private:
    qsizetype candidate(const char16_t *from, const char16_t *end) const;
    bool matchesAt(const char16_t *at, const char16_t *end) const;

    QString m_word; ///< folded unit by unit
    /// Every unit that folds onto the word's first unit (at most four: "k", "K" and the Kelvin
    /// sign, say); unused places repeat the first.
    char16_t m_starts[4] = {};
};

/// All words of a query, each of which a text must hold (in any order, ignoring case).
class QueryMatcher
{
public:
    explicit QueryMatcher(const QString &query);

    bool isEmpty() const { return m_words.isEmpty(); }
    bool matches(QStringView text) const;

private:
    QList<TextMatcher> m_words;
};
