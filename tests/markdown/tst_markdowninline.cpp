#include "TestSupport.h"

#include "markdown/InlineRenderer.h"
#include "markdown/MarkdownBlock.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

class TestMarkdownInline : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void escapeHtml_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain") << QStringLiteral("plain") << QStringLiteral("plain");
        QTest::newRow("all four") << QStringLiteral("a&<>\"'")
                                  << QStringLiteral("a&amp;&lt;&gt;&quot;'");
        QTest::newRow("ampersand first, once")
            << QStringLiteral("&lt;") << QStringLiteral("&amp;lt;");
        QTest::newRow("line breaks kept")
            << QStringLiteral("a\nb\r\n") << QStringLiteral("a\nb\r\n");
    }

    void escapeHtml()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(Markdown::escapeHtml(text), expected);
    }

    void inlineHtml_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        // Styles
        QTest::newRow("plain") << QStringLiteral("hello world") << QStringLiteral("hello world");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("emphasis star")
            << QStringLiteral("a *b* c") << QStringLiteral("a <em>b</em> c");
        QTest::newRow("emphasis underscore")
            << QStringLiteral("_b_") << QStringLiteral("<em>b</em>");
        QTest::newRow("strong") << QStringLiteral("**b** and __c__")
                                << QStringLiteral("<strong>b</strong> and <strong>c</strong>");
        QTest::newRow("code") << QStringLiteral("run `ls -l` now")
                              << QStringLiteral("run <code>ls -l</code> now");
        QTest::newRow("strikethrough")
            << QStringLiteral("~~gone~~") << QStringLiteral("<s>gone</s>");
        QTest::newRow("strong and emphasis")
            << QStringLiteral("***both***") << QStringLiteral("<em><strong>both</strong></em>");
        QTest::newRow("nested runs")
            << QStringLiteral("**bold *both* bold**")
            << QStringLiteral(
                   "<strong>bold </strong><em><strong>both</strong></em><strong> bold</strong>");
        QTest::newRow("code inside strong")
            << QStringLiteral("**`x`**") << QStringLiteral("<strong><code>x</code></strong>");
        QTest::newRow("struck emphasis")
            << QStringLiteral("~~*x*~~") << QStringLiteral("<s><em>x</em></s>");
        QTest::newRow("stars inside code")
            << QStringLiteral("`a*b*c` and `**`")
            << QStringLiteral("<code>a*b*c</code> and <code>**</code>");
        QTest::newRow("markup inside code escaped")
            << QStringLiteral("`<b>&`") << QStringLiteral("<code>&lt;b&gt;&amp;</code>");
        QTest::newRow("unbalanced stays raw")
            << QStringLiteral("**a and _b") << QStringLiteral("**a and _b");
        QTest::newRow("backslash escapes") << QStringLiteral("\\*x\\*") << QStringLiteral("*x*");
        QTest::newRow("intraword underscores")
            << QStringLiteral("snake_case_name") << QStringLiteral("snake_case_name");
        QTest::newRow("three tildes are text")
            << QStringLiteral("~~~x~~~") << QStringLiteral("~~~x~~~");

        // Links
        QTest::newRow("https link")
            << QStringLiteral("[site](https://example.com/a?b=1&c=2)")
            << QStringLiteral("<a href=\"https://example.com/a?b=1&amp;c=2\">site</a>");
        QTest::newRow("http link with title") << QStringLiteral("[l](http://a.io \"t\")")
                                              << QStringLiteral("<a href=\"http://a.io\">l</a>");
        QTest::newRow("mailto link") << QStringLiteral("[mail](mailto:a@b.com)")
                                     << QStringLiteral("<a href=\"mailto:a@b.com\">mail</a>");
        QTest::newRow("scheme compared without case")
            << QStringLiteral("[x](HTTPS://example.com)")
            << QStringLiteral("<a href=\"https://example.com\">x</a>");
        QTest::newRow("styled link text, one anchor per run")
            << QStringLiteral("[**b** c](http://u.io)")
            << QStringLiteral(
                   "<a href=\"http://u.io\"><strong>b</strong></a><a href=\"http://u.io\"> c</a>");
        QTest::newRow("quote in address encoded")
            << QStringLiteral("[x](http://a.io/?q=\"y\")")
            << QStringLiteral("<a href=\"http://a.io/?q=%22y%22\">x</a>");
        QTest::newRow("javascript link is text")
            << QStringLiteral("[click](javascript:alert(1))") << QStringLiteral("click");
        QTest::newRow("javascript in mixed case")
            << QStringLiteral("[click](JaVaScRiPt:alert(1))") << QStringLiteral("click");
        QTest::newRow("file link is text")
            << QStringLiteral("[f](file:///etc/passwd)") << QStringLiteral("f");
        QTest::newRow("data link is text")
            << QStringLiteral("[d](data:text/html;base64,PHNjcmlwdD4=)") << QStringLiteral("d");
        QTest::newRow("relative link is text")
            << QStringLiteral("[site](notes.html)") << QStringLiteral("site");
        QTest::newRow("protocol-relative link is text")
            << QStringLiteral("[x](//evil.com)") << QStringLiteral("x");
        QTest::newRow("unsafe link keeps styles")
            << QStringLiteral("[*x*](ftp://a.io)") << QStringLiteral("<em>x</em>");
        QTest::newRow("angle autolink")
            << QStringLiteral("<https://example.com>")
            << QStringLiteral("<a href=\"https://example.com\">https://example.com</a>");
        QTest::newRow("unsafe angle autolink")
            << QStringLiteral("<javascript:alert(1)>") << QStringLiteral("javascript:alert(1)");
        QTest::newRow("bare address, trailing dot outside")
            << QStringLiteral("see https://example.com/x.")
            << QStringLiteral("see <a href=\"https://example.com/x\">https://example.com/x</a>.");
        QTest::newRow("bare address at line ends")
            << QStringLiteral("http://a.io\nhttp://b.io")
            << QStringLiteral("<a href=\"http://a.io\">http://a.io</a>\n<a "
                              "href=\"http://b.io\">http://b.io</a>");
        QTest::newRow("www address")
            << QStringLiteral("www.example.com")
            << QStringLiteral("<a href=\"http://www.example.com\">www.example.com</a>");
        QTest::newRow("e-mail address")
            << QStringLiteral("write a@b.co")
            << QStringLiteral("write <a href=\"mailto:a@b.co\">a@b.co</a>");
        QTest::newRow("inline image shows its alt text")
            << QStringLiteral("see ![a *b*](x.png)") << QStringLiteral("see a <em>b</em>");

        // Nothing passes through as HTML
        QTest::newRow("tags are text")
            << QStringLiteral("<b>hi</b>") << QStringLiteral("&lt;b&gt;hi&lt;/b&gt;");
        QTest::newRow("script is text") << QStringLiteral("<script>alert(1)</script>")
                                        << QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;");
        QTest::newRow("html block opener is text")
            << QStringLiteral("<div onclick=\"x\">\nhi")
            << QStringLiteral("&lt;div onclick=&quot;x&quot;&gt;\nhi");
        QTest::newRow("ampersand and quotes")
            << QStringLiteral("Tom & \"Jerry\" > 'x'")
            << QStringLiteral("Tom &amp; &quot;Jerry&quot; &gt; 'x'");
        QTest::newRow("character references stay as written")
            << QStringLiteral("AT&amp;T &#60;") << QStringLiteral("AT&amp;amp;T &amp;#60;");

        // Block syntax stays text
        QTest::newRow("heading marker")
            << QStringLiteral("# not a heading") << QStringLiteral("# not a heading");
        QTest::newRow("ordered marker") << QStringLiteral("1. one") << QStringLiteral("1. one");
        QTest::newRow("ordered parenthesis")
            << QStringLiteral("3) three") << QStringLiteral("3) three");
        QTest::newRow("quote marker")
            << QStringLiteral("> quoted") << QStringLiteral("&gt; quoted");
        QTest::newRow("dash marker") << QStringLiteral("- dash") << QStringLiteral("- dash");
        QTest::newRow("plus marker") << QStringLiteral("+ plus") << QStringLiteral("+ plus");
        QTest::newRow("star marker") << QStringLiteral("* star") << QStringLiteral("* star");
        QTest::newRow("task marker") << QStringLiteral("[ ] task") << QStringLiteral("[ ] task");
        QTest::newRow("rule line") << QStringLiteral("***") << QStringLiteral("***");
        QTest::newRow("fence lines")
            << QStringLiteral("```js\ncode\n```") << QStringLiteral("```js\ncode\n```");
        QTest::newRow("indented code")
            << QStringLiteral("    indented") << QStringLiteral("    indented");
        QTest::newRow("setext equals")
            << QStringLiteral("Title\n===") << QStringLiteral("Title\n===");
        QTest::newRow("setext dashes")
            << QStringLiteral("Title\n---") << QStringLiteral("Title\n---");
        QTest::newRow("markers on later lines") << QStringLiteral("a\n# b\n> c\n- d\n1. e")
                                                << QStringLiteral("a\n# b\n&gt; c\n- d\n1. e");
        QTest::newRow("reference definition is not eaten")
            << QStringLiteral("[ref]: https://x.io\n[ref]")
            << QStringLiteral("[ref]: <a href=\"https://x.io\">https://x.io</a>\n[ref]");
        QTest::newRow("table row")
            << QStringLiteral("| a | b |\n|---|---|") << QStringLiteral("| a | b |\n|---|---|");
        QTest::newRow("styles right after a marker")
            << QStringLiteral("# *x*") << QStringLiteral("# <em>x</em>");

        // White space as written
        QTest::newRow("multi-line with blank line")
            << QStringLiteral("a\nb\n\nc") << QStringLiteral("a\nb\n\nc");
        QTest::newRow("leading and trailing spaces")
            << QStringLiteral("  a  \n\tb\t") << QStringLiteral("  a  \n\tb\t");
        QTest::newRow("two trailing spaces are not a break")
            << QStringLiteral("a  \nb") << QStringLiteral("a  \nb");
        QTest::newRow("trailing backslash kept")
            << QStringLiteral("a\\\nb") << QStringLiteral("a\\\nb");
        QTest::newRow("inner spaces kept") << QStringLiteral("a   b") << QStringLiteral("a   b");
        QTest::newRow("emphasis across lines")
            << QStringLiteral("*a\nb*") << QStringLiteral("<em>a\nb</em>");
        QTest::newRow("code across lines")
            << QStringLiteral("`a\nb`") << QStringLiteral("<code>a\nb</code>");
        QTest::newRow("carriage return kept")
            << QStringLiteral("a\rb\r\n*c*\r") << QStringLiteral("a\rb\r\n<em>c</em>\r");
        QTest::newRow("form feed of the text kept")
            << QStringLiteral("a\fb") << QStringLiteral("a\fb");
        QTest::newRow("unicode")
            << QStringLiteral("h\u00e9llo *w\u00f6rld* \u65e5\u672c \U0001F389")
            << QStringLiteral("h\u00e9llo <em>w\u00f6rld</em> \u65e5\u672c \U0001F389");
        QTest::newRow("no-break space kept")
            << QStringLiteral("\u00a0*a*\u00a0") << QStringLiteral("\u00a0<em>a</em>\u00a0");
        QTest::newRow("nul character replaced")
            << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << QStringLiteral("a\ufffdb");
    }

    void inlineHtml()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(Markdown::inlineHtml(text), expected);
    }

    // Whatever the input, no tag other than the renderer's own can appear in the output.
    void noForeignTags_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("img onerror") << QStringLiteral("<img src=x onerror=alert(1)>");
        QTest::newRow("tag split over lines") << QStringLiteral("<scr\nipt>");
        QTest::newRow("tag inside link text") << QStringLiteral("[<b>x</b>](https://a.io)");
        QTest::newRow("tag inside code") << QStringLiteral("`<iframe>`");
        QTest::newRow("quote breaking out of href")
            << QStringLiteral("[x](https://a.io/\"onmouseover=\"x)");
        QTest::newRow("comment") << QStringLiteral("<!-- x -->");
    }

    void noForeignTags()
    {
        QFETCH(QString, text);
        const QString html = Markdown::inlineHtml(text);
        static const QRegularExpression tag(QStringLiteral("<(/?)([a-zA-Z!]+)"));
        const QSet<QString> allowed { QStringLiteral("a"), QStringLiteral("code"),
                                      QStringLiteral("strong"), QStringLiteral("em"),
                                      QStringLiteral("s") };
        for (auto it = tag.globalMatch(html); it.hasNext();) {
            const auto match = it.next();
            QVERIFY2(allowed.contains(match.captured(2)), qPrintable(html));
        }
        // Attributes only ever come from our own anchors, whose values have no raw quotes.
        static const QRegularExpression attribute(QStringLiteral("<a href=\"[^\"<>]*\">"));
        QCOMPARE(html.count(QStringLiteral("=\"")), html.count(attribute));
    }

    // The texts of the parsed blocks go through the renderer in the preview and the PDF export.
    void blockTextsRenderAsWritten()
    {
        const auto blocks
            = Markdown::parse(QStringLiteral("# 1. Step\n> # quoted heading\n> - item\n- > arrow"));
        QCOMPARE(blocks.size(), 3);
        QCOMPARE(Markdown::inlineHtml(blocks[0].text), QStringLiteral("1. Step"));
        QCOMPARE(Markdown::inlineHtml(blocks[1].text), QStringLiteral("# quoted heading\n- item"));
        QCOMPARE(Markdown::inlineHtml(blocks[2].text), QStringLiteral("&gt; arrow"));
    }
};

QTEST_GUILESS_MAIN(TestMarkdownInline)
#include "tst_markdowninline.moc"
