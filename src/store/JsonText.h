#pragma once

#include <QByteArray>
#include <QStringView>
#include <QUtf8StringView>

/// Writes `code` as UTF-8 at `out` (up to four bytes) and returns the end.
inline char *appendUtf8(char *out, char32_t code)
{
    if (code < 0x80) {
        *out++ = char(code);
    } else if (code < 0x800) {
        *out++ = char(0xc0 | (code >> 6));
        *out++ = char(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
        *out++ = char(0xe0 | (code >> 12));
        *out++ = char(0x80 | ((code >> 6) & 0x3f));
        *out++ = char(0x80 | (code & 0x3f));
    } else {
        *out++ = char(0xf0 | (code >> 18));
        *out++ = char(0x80 | ((code >> 12) & 0x3f));
        *out++ = char(0x80 | ((code >> 6) & 0x3f));
        *out++ = char(0x80 | (code & 0x3f));
    }
    return out;
}

/// Writes JSON text straight into a byte array, character for character as Qt's own encoder
/// writes it (`QJsonDocument::toJson`): the same escapes, the same numbers, four spaces a
/// level. The index file is written this way so that no document tree is built for it, while
/// every file stays byte-identical to what the tree would have produced.
class JsonText
{
public:
    explicit JsonText(QByteArray &out) : m_out(out) { }

    /// A quoted string: `"`, `\` and control characters escaped, everything else UTF-8, a lone
    /// surrogate as `\uXXXX`.
    void string(QStringView text);
    /// The same for text already in UTF-8, which must be valid (it then holds no surrogate):
    /// the bytes are copied but for the few that are escaped.
    void string(QUtf8StringView text);
    /// A number the way a JSON value holding `value` prints: integral values that fit in 64
    /// bits as integers, others in the shortest form that reads back exactly, and `null` for
    /// what is not finite.
    void number(double value);
    void integer(qint64 value);
    void boolean(bool value) { m_out += value ? "true" : "false"; }
    /// The indentation of `level`.
    void indent(int level);
    /// `"key": ` at `level`.
    void key(int level, const char *name);
    QByteArray &out() { return m_out; }

private:
    QByteArray &m_out;
};
