#include "TestSupport.h"

#include "markdown/MarkdownBlock.h"

#include <QJsonDocument>
#include <QTest>

using Blocks = QList<MarkdownBlock>;
Q_DECLARE_METATYPE(MarkdownBlock)

// Readable failure messages for QCOMPARE on blocks and lists of blocks.
char *toString(const MarkdownBlock &block)
{
    return qstrdup(
        QJsonDocument(Markdown::toJson(block)).toJson(QJsonDocument::Compact).constData());
}

namespace {

using B = MarkdownBlock;

} // namespace

class TestMarkdownBlock : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Blocks>("expected");

        // Paragraphs and blank lines
        QTest::newRow("empty text") << QString() << Blocks {};
        QTest::newRow("only blank lines") << QStringLiteral("\n \n\t\n") << Blocks {};
        QTest::newRow("lines joined, blank line splits")
            << QStringLiteral("a\nb\n\nc") << Blocks { B::paragraph("a\nb"), B::paragraph("c") };
        QTest::newRow("paragraph lines trimmed")
            << QStringLiteral("  a  \n\tb\t") << Blocks { B::paragraph("a\nb") };
        QTest::newRow("other white space is not trimmed")
            << QStringLiteral("\u00a0- a\f") << Blocks { B::paragraph("\u00a0- a\f") };

        // Quotes
        QTest::newRow("quote then text") << QStringLiteral("> one\n> two\ntext")
                                         << Blocks { B::quote("one\ntwo"), B::paragraph("text") };
        QTest::newRow("quote marker without space and padding")
            << QStringLiteral("  >   spaced  \n>tight") << Blocks { B::quote("spaced\ntight") };
        QTest::newRow("empty quote line kept inside the quote")
            << QStringLiteral("> a\n>\n> b") << Blocks { B::quote("a\n\nb") };
        QTest::newRow("blank line ends a quote")
            << QStringLiteral("> a\n\n> b") << Blocks { B::quote("a"), B::quote("b") };
        QTest::newRow("quote ends a paragraph")
            << QStringLiteral("p\n> q") << Blocks { B::paragraph("p"), B::quote("q") };
        QTest::newRow("fence marker in a quote is quote text")
            << QStringLiteral("> ```\n> # h") << Blocks { B::quote("```\n# h") };
        QTest::newRow("fence inside a quote run")
            << QStringLiteral("> a\n```\ncode\n```\n> b")
            << Blocks { B::quote("a"), B::code("code"), B::quote("b") };
        QTest::newRow("image line ends a quote")
            << QStringLiteral("> q\n![i](p.png)\n> r")
            << Blocks { B::quote("q"), B::image("i", "p.png"), B::quote("r") };
        QTest::newRow("bullet ends a quote")
            << QStringLiteral("> q\n- b") << Blocks { B::quote("q"), B::bullet("b") };

        // Fences
        QTest::newRow("fence keeps indentation, drops info string")
            << QStringLiteral("```text\n  let x\n```") << Blocks { B::code("  let x") };
        QTest::newRow("indented fence lines, raw code lines")
            << QStringLiteral("  ```\n    x\t\n  ```") << Blocks { B::code("    x\t") };
        QTest::newRow("empty fence gives empty code")
            << QStringLiteral("```\n```") << Blocks { B::code(QString()) };
        QTest::newRow("blank lines inside a fence are code")
            << QStringLiteral("```\na\n\nb\n```") << Blocks { B::code("a\n\nb") };
        QTest::newRow("heading inside a fence is code")
            << QStringLiteral("```\n# not\n- no\n---\n```")
            << Blocks { B::code("# not\n- no\n---") };
        QTest::newRow("tilde fence closes backtick fence")
            << QStringLiteral("```\na\n~~~ info") << Blocks { B::code("a") };
        QTest::newRow("unclosed fence keeps its lines")
            << QStringLiteral("intro\n```\nx\ny")
            << Blocks { B::paragraph("intro"), B::code("x\ny") };
        QTest::newRow("unclosed empty fence yields nothing")
            << QStringLiteral("para\n```") << Blocks { B::paragraph("para") };
        QTest::newRow("fence flushes paragraph and quote")
            << QStringLiteral("p\n```\nc\n```\nq")
            << Blocks { B::paragraph("p"), B::code("c"), B::paragraph("q") };

        // Rules
        QTest::newRow("three stars") << QStringLiteral("***") << Blocks { B::rule() };
        QTest::newRow("spaced underscores") << QStringLiteral("_ _ _") << Blocks { B::rule() };
        QTest::newRow("long dashes") << QStringLiteral("  ----------  ") << Blocks { B::rule() };
        QTest::newRow("two dashes is text")
            << QStringLiteral("--") << Blocks { B::paragraph("--") };
        QTest::newRow("rule beats bullet") << QStringLiteral("- - -") << Blocks { B::rule() };
        QTest::newRow("short spaced rule beats bullet")
            << QStringLiteral("* *") << Blocks { B::rule() };
        QTest::newRow("mixed rule characters")
            << QStringLiteral("-_-") << Blocks { B::paragraph("-_-") };
        QTest::newRow("tab inside rule is text")
            << QStringLiteral("-\t-\t-") << Blocks { B::paragraph("-\t-\t-") };
        QTest::newRow("rule ends a paragraph")
            << QStringLiteral("a\n---\nb")
            << Blocks { B::paragraph("a"), B::rule(), B::paragraph("b") };
        QTest::newRow("bold line is not a rule")
            << QStringLiteral("***bold***") << Blocks { B::paragraph("***bold***") };

        // Headings
        QTest::newRow("level 1") << QStringLiteral("# Title  ")
                                 << Blocks { B::heading(1, "Title") };
        QTest::newRow("level 6") << QStringLiteral("###### six") << Blocks { B::heading(6, "six") };
        QTest::newRow("hashes alone")
            << QStringLiteral("###") << Blocks { B::heading(3, QString()) };
        QTest::newRow("seven hashes")
            << QStringLiteral("####### x") << Blocks { B::paragraph("####### x") };
        QTest::newRow("hashtag") << QStringLiteral("#tag") << Blocks { B::paragraph("#tag") };
        QTest::newRow("tab after hashes")
            << QStringLiteral("#\tx") << Blocks { B::paragraph("#\tx") };
        QTest::newRow("heading text trimmed, inner hashes kept")
            << QStringLiteral("##   a # b\t") << Blocks { B::heading(2, "a # b") };
        QTest::newRow("indented heading")
            << QStringLiteral("\t# Heading") << Blocks { B::heading(1, "Heading") };
        QTest::newRow("heading ends paragraph")
            << QStringLiteral("p\n# h\nq")
            << Blocks { B::paragraph("p"), B::heading(1, "h"), B::paragraph("q") };

        // Media
        QTest::newRow("image") << QStringLiteral("![Receipt](attachments/n1/A.jpg)")
                               << Blocks { B::image("Receipt", "attachments/n1/A.jpg") };
        QTest::newRow("image with empty alt")
            << QStringLiteral("![](x.png)") << Blocks { B::image(QString(), "x.png") };
        QTest::newRow("image with any extension")
            << QStringLiteral("![a](x.m4a)") << Blocks { B::image("a", "x.m4a") };
        QTest::newRow("audio") << QStringLiteral("[audio 0:12](attachments/n1/B.m4a)")
                               << Blocks { B::audio("audio 0:12", "attachments/n1/B.m4a") };
        QTest::newRow("audio extension upper case")
            << QStringLiteral("  [Voice](a/B.MP3)  ") << Blocks { B::audio("Voice", "a/B.MP3") };
        QTest::newRow("audio aiff")
            << QStringLiteral("[x](y.aiff)") << Blocks { B::audio("x", "y.aiff") };
        QTest::newRow("link to a page is text") << QStringLiteral("[site](notes.html)")
                                                << Blocks { B::paragraph("[site](notes.html)") };
        QTest::newRow("extension only in folder name")
            << QStringLiteral("[x](a.mp3/b)") << Blocks { B::paragraph("[x](a.mp3/b)") };
        QTest::newRow("bracket in label")
            << QStringLiteral("![a]b](x.png)") << Blocks { B::paragraph("![a]b](x.png)") };
        QTest::newRow("space in path")
            << QStringLiteral("[a](b c.m4a)") << Blocks { B::paragraph("[a](b c.m4a)") };
        QTest::newRow("empty path")
            << QStringLiteral("![a]()") << Blocks { B::paragraph("![a]()") };
        QTest::newRow("parenthesis in path")
            << QStringLiteral("![a](b)c.png)") << Blocks { B::paragraph("![a](b)c.png)") };
        QTest::newRow("text after media")
            << QStringLiteral("![a](b.png) x") << Blocks { B::paragraph("![a](b.png) x") };
        QTest::newRow("media ends paragraph")
            << QStringLiteral("p\n![a](b.png)\nq")
            << Blocks { B::paragraph("p"), B::image("a", "b.png"), B::paragraph("q") };

        // Bullets
        QTest::newRow("dash bullet") << QStringLiteral("- item") << Blocks { B::bullet("item") };
        QTest::newRow("star and plus bullets")
            << QStringLiteral("* a\n+ b") << Blocks { B::bullet("a"), B::bullet("b") };
        QTest::newRow("indented bullet")
            << QStringLiteral("   - item") << Blocks { B::bullet("item") };
        QTest::newRow("tab-indented bullet")
            << QStringLiteral("\t\t- item") << Blocks { B::bullet("item") };
        QTest::newRow("no space after marker")
            << QStringLiteral("-item") << Blocks { B::paragraph("-item") };
        QTest::newRow("tab after marker")
            << QStringLiteral("-\titem") << Blocks { B::paragraph("-\titem") };
        QTest::newRow("marker alone") << QStringLiteral("-") << Blocks { B::paragraph("-") };
        QTest::newRow("bullet text trimmed")
            << QStringLiteral("-   spaced  ") << Blocks { B::bullet("spaced") };
        QTest::newRow("open task")
            << QStringLiteral("- [ ] milk") << Blocks { B::bullet("milk", false) };
        QTest::newRow("done task upper case")
            << QStringLiteral("- [X] Done") << Blocks { B::bullet("Done", true) };
        QTest::newRow("done task lower case")
            << QStringLiteral("* [x]   eggs ") << Blocks { B::bullet("eggs", true) };
        QTest::newRow("empty open task")
            << QStringLiteral("- [ ]") << Blocks { B::bullet(QString(), false) };
        QTest::newRow("empty done task")
            << QStringLiteral("+ [x]") << Blocks { B::bullet(QString(), true) };
        QTest::newRow("box glued to text")
            << QStringLiteral("- [x]done") << Blocks { B::bullet("[x]done") };
        QTest::newRow("other mark in box")
            << QStringLiteral("- [y] maybe") << Blocks { B::bullet("[y] maybe") };
        QTest::newRow("box with two spaces")
            << QStringLiteral("- [  ] a") << Blocks { B::bullet("[  ] a") };
        QTest::newRow("box after extra spaces")
            << QStringLiteral("-    [ ] a") << Blocks { B::bullet("a", false) };
        QTest::newRow("bullet of dashes") << QStringLiteral("- - x") << Blocks { B::bullet("- x") };
        QTest::newRow("bullets are separate blocks")
            << QStringLiteral("p\n- a\n- b\nq")
            << Blocks { B::paragraph("p"), B::bullet("a"), B::bullet("b"), B::paragraph("q") };

        // Ordered items
        QTest::newRow("dot") << QStringLiteral("1. First") << Blocks { B::ordered("1.", "First") };
        QTest::newRow("parenthesis normalised")
            << QStringLiteral("3) Third") << Blocks { B::ordered("3.", "Third") };
        QTest::newRow("three digits")
            << QStringLiteral("123. x") << Blocks { B::ordered("123.", "x") };
        QTest::newRow("leading zero kept")
            << QStringLiteral("007. bond") << Blocks { B::ordered("007.", "bond") };
        QTest::newRow("text trimmed")
            << QStringLiteral("2.    two  ") << Blocks { B::ordered("2.", "two") };
        QTest::newRow("marker alone") << QStringLiteral("1.") << Blocks { B::paragraph("1.") };
        QTest::newRow("no space") << QStringLiteral("1.x") << Blocks { B::paragraph("1.x") };
        QTest::newRow("four digits")
            << QStringLiteral("1234. x") << Blocks { B::paragraph("1234. x") };
        QTest::newRow("tab after delimiter")
            << QStringLiteral("1.\tx") << Blocks { B::paragraph("1.\tx") };
        QTest::newRow("other delimiter")
            << QStringLiteral("1: x") << Blocks { B::paragraph("1: x") };
        QTest::newRow("non-ASCII digits are text")
            << QStringLiteral("\u0661. x") << Blocks { B::paragraph("\u0661. x") };

        // Line ends
        QTest::newRow("CRLF lines")
            << QStringLiteral("# Title\r\n- [ ]\r\n---\r\n```\r\ncode\r\n```\r\ntext\r\nmore\r\n")
            << Blocks { B::heading(1, "Title"), B::bullet(QString(), false), B::rule(),
                        B::code("code"), B::paragraph("text\nmore") };
        QTest::newRow("CR inside a line is text")
            << QStringLiteral("a\rb") << Blocks { B::paragraph("a\rb") };
        QTest::newRow("only one CR dropped")
            << QStringLiteral("```\nx\r\r\n```") << Blocks { B::code("x\r") };

        // A note the way people write them
        QTest::newRow("mixed note") << QStringLiteral(
            "# Shopping\n\n- [ ] milk\n- [x] eggs\n- bread\n\n1. shop\n2) cook\n\n"
            "> tip\n\n***\n![Receipt](attachments/n1/A.jpg)\n[audio 0:12](attachments/n1/B.m4a)\n"
            "Thanks")
                                    << Blocks { B::heading(1, "Shopping"),
                                                B::bullet("milk", false),
                                                B::bullet("eggs", true),
                                                B::bullet("bread"),
                                                B::ordered("1.", "shop"),
                                                B::ordered("2.", "cook"),
                                                B::quote("tip"),
                                                B::rule(),
                                                B::image("Receipt", "attachments/n1/A.jpg"),
                                                B::audio("audio 0:12", "attachments/n1/B.m4a"),
                                                B::paragraph("Thanks") };
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(Blocks, expected);
        QCOMPARE(Markdown::parse(text), expected);
    }

    void equality_data()
    {
        QTest::addColumn<MarkdownBlock>("a");
        QTest::addColumn<MarkdownBlock>("b");
        QTest::addColumn<bool>("equal");

        MarkdownBlock ruleWithLeftovers = B::rule();
        ruleWithLeftovers.text = QStringLiteral("ignored");
        MarkdownBlock imageWithLabel = B::image("a", "p");
        imageWithLabel.label = QStringLiteral("not an image field");

        QTest::newRow("same heading") << B::heading(2, "x") << B::heading(2, "x") << true;
        QTest::newRow("heading level differs") << B::heading(1, "x") << B::heading(2, "x") << false;
        QTest::newRow("case differs, same text") << B::paragraph("x") << B::quote("x") << false;
        QTest::newRow("no box vs open box") << B::bullet("x") << B::bullet("x", false) << false;
        QTest::newRow("open vs done") << B::bullet("x", false) << B::bullet("x", true) << false;
        QTest::newRow("marker differs") << B::ordered("1.", "x") << B::ordered("2.", "x") << false;
        QTest::newRow("audio path differs")
            << B::audio("l", "a.m4a") << B::audio("l", "b.m4a") << false;
        QTest::newRow("fields outside the case ignored") << ruleWithLeftovers << B::rule() << true;
        QTest::newRow("label is not an image field")
            << imageWithLabel << B::image("a", "p") << true;
    }

    void equality()
    {
        QFETCH(MarkdownBlock, a);
        QFETCH(MarkdownBlock, b);
        QFETCH(bool, equal);
        QCOMPARE(a == b, equal);
        QCOMPARE(b == a, equal);
    }

    void audioExtensions()
    {
        const QSet<QString> expected { "m4a", "mp3", "wav", "aac", "caf", "aiff" };
        QCOMPARE(Markdown::audioExtensions(), expected);
    }

    void checkboxLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<qsizetype>>("lines");

        QTest::newRow("none") << QStringLiteral("- a\ntext") << QList<qsizetype> {};
        QTest::newRow("plain bullet between tasks")
            << QStringLiteral("- [ ] a\n- b\n- [x] c") << QList<qsizetype> { 0, 2 };
        QTest::newRow("tasks in a fence are code")
            << QStringLiteral("```\n- [ ] no\n```\n  * [X] yes") << QList<qsizetype> { 3 };
        QTest::newRow("CRLF empty task")
            << QStringLiteral("intro\r\n- [ ]\r\n- [x] b\r\n") << QList<qsizetype> { 1, 2 };
    }

    void checkboxLines()
    {
        QFETCH(QString, text);
        QFETCH(QList<qsizetype>, lines);
        QCOMPARE(Markdown::checkboxLines(text), lines);
        // Entry n belongs to the n-th checkbox bullet of the parse.
        qsizetype boxes = 0;
        for (const MarkdownBlock &block : Markdown::parse(text))
            boxes += block.hasCheckbox() ? 1 : 0;
        QCOMPARE(boxes, lines.size());
    }

    void json()
    {
        const QString text = QStringLiteral(
            "## Head\npara\n- plain\n- [ ] open\n- [X] done\n4) four\n> q\n```\nc\n```\n"
            "![Alt](attachments/n/i.png)\n[Rec](attachments/n/r.wav)\n---");
        const QByteArray expected = R"([
            {"type": "heading", "level": 2, "text": "Head"},
            {"type": "paragraph", "text": "para"},
            {"type": "bullet", "text": "plain", "checked": null},
            {"type": "bullet", "text": "open", "checked": false},
            {"type": "bullet", "text": "done", "checked": true},
            {"type": "ordered", "marker": "4.", "text": "four"},
            {"type": "quote", "text": "q"},
            {"type": "code", "text": "c"},
            {"type": "image", "alt": "Alt", "path": "attachments/n/i.png"},
            {"type": "audio", "label": "Rec", "path": "attachments/n/r.wav"},
            {"type": "rule"}
        ])";
        const QJsonArray actual = Markdown::toJson(Markdown::parse(text));
        QCOMPARE(QJsonDocument(actual).toJson(QJsonDocument::Compact),
                 QJsonDocument::fromJson(expected).toJson(QJsonDocument::Compact));
        // Members of other cases never leak in, whatever the unused fields hold.
        MarkdownBlock rule = MarkdownBlock::rule();
        rule.text = QStringLiteral("x");
        rule.checked = true;
        const QJsonObject onlyType { { "type", "rule" } };
        QCOMPARE(Markdown::toJson(rule), onlyType);
    }
};

QTEST_GUILESS_MAIN(TestMarkdownBlock)
#include "tst_markdownblock.moc"
