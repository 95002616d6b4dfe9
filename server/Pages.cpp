#include "Pages.h"

#include "markdown/InlineRenderer.h"
#include "markdown/MarkdownBlock.h"

#include <QLocale>

using Markdown::escapeHtml;

namespace Pages {

const char *const contentSecurityPolicy
    = "default-src 'none'; img-src 'self'; media-src 'self'; style-src 'unsafe-inline'; "
      "base-uri 'none'; form-action 'self'; frame-ancestors 'none'";

namespace {

QString page(const QString &title, const QString &body)
{
    return QStringLiteral(
               "<!doctype html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
               "<meta name=\"referrer\" content=\"no-referrer\">"
               "<title>%1</title><style>"
               "body{font-family:system-ui,sans-serif;max-width:42rem;margin:2rem auto;padding:0 1rem;"
               "line-height:1.55;color:#222;background:#fff}"
               "@media (prefers-color-scheme:dark){body{color:#ddd;background:#1e1e1e}a{color:#8ab4f8}}"
               "pre{background:rgba(127,127,127,.12);padding:.75rem;overflow:auto;border-radius:6px}"
               "code{font-family:ui-monospace,monospace}blockquote{border-left:3px solid #999;margin:0;"
               "padding-left:1rem;color:#666}img{max-width:100%%;border-radius:6px}"
               "ul.tasks{list-style:none;padding-left:1rem}footer{margin-top:3rem;font-size:.85rem;color:#888}"
               "table{border-collapse:collapse}td{padding:.25rem 1rem .25rem 0}"
               "</style></head><body>\n%2\n</body></html>\n")
        .arg(escapeHtml(title), body);
}

QString inlineText(const QString &text)
{
    return Markdown::inlineHtml(text).replace(u'\n', QStringLiteral("<br>"));
}

QString sizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

QString mediaFileOf(const QString &path, const QString &noteId)
{
    const QString prefix = QStringLiteral("attachments/") + noteId + u'/';
    if (!path.startsWith(prefix))
        return {};
    const QString file = path.mid(prefix.size());
    if (!Wire::isUsableName(file, Wire::maxFilenameBytes) || file.startsWith(u'.'))
        return {};
    return file;
}

QString sharedNote(const WireNote &note, const std::function<QString(const QString &)> &mediaAddress)
{
    const QList<MarkdownBlock> blocks = Markdown::parse(note.body);
    QString title;
    QString html;
    QString openList; // "ul", "ul class=tasks" or "ol"
    const auto closeList = [&] {
        if (!openList.isEmpty())
            html += QStringLiteral("</%1>\n").arg(openList.section(u' ', 0, 0));
        openList.clear();
    };
    const auto list = [&](const QString &kind) {
        if (openList != kind) {
            closeList();
            html += u'<' + kind + QStringLiteral(">\n");
            openList = kind;
        }
    };
    for (const MarkdownBlock &block : blocks) {
        if (title.isEmpty() && !block.text.trimmed().isEmpty())
            title = block.text.section(u'\n', 0, 0).trimmed().left(120);
        switch (block.kind) {
        case MarkdownBlock::Kind::Heading:
            closeList();
            html += QStringLiteral("<h%1>%2</h%1>\n").arg(block.level).arg(inlineText(block.text));
            break;
        case MarkdownBlock::Kind::Paragraph:
            closeList();
            html += QStringLiteral("<p>%1</p>\n").arg(inlineText(block.text));
            break;
        case MarkdownBlock::Kind::Bullet:
            if (block.hasCheckbox()) {
                list(QStringLiteral("ul class=\"tasks\""));
                html += QStringLiteral("<li>%1 %2</li>\n")
                            .arg(*block.checked ? QStringLiteral("&#9745;") : QStringLiteral("&#9744;"),
                                 inlineText(block.text));
            } else {
                list(QStringLiteral("ul"));
                html += QStringLiteral("<li>%1</li>\n").arg(inlineText(block.text));
            }
            break;
        case MarkdownBlock::Kind::Ordered: {
            list(QStringLiteral("ol"));
            QString number = block.marker;
            number.chop(1);
            html += QStringLiteral("<li value=\"%1\">%2</li>\n").arg(number.toInt()).arg(inlineText(block.text));
            break;
        }
        case MarkdownBlock::Kind::Quote:
            closeList();
            html += QStringLiteral("<blockquote>%1</blockquote>\n").arg(inlineText(block.text));
            break;
        case MarkdownBlock::Kind::Code:
            closeList();
            html += QStringLiteral("<pre><code>%1</code></pre>\n").arg(escapeHtml(block.text));
            break;
        case MarkdownBlock::Kind::Image: {
            closeList();
            const QString file = mediaFileOf(block.path, note.id);
            const QString address = file.isEmpty() ? QString() : mediaAddress(file);
            if (address.isEmpty())
                html += QStringLiteral("<p>%1</p>\n").arg(escapeHtml(block.alt));
            else
                html += QStringLiteral("<p><img src=\"%1\" alt=\"%2\"></p>\n")
                            .arg(escapeHtml(address), escapeHtml(block.alt));
            break;
        }
        case MarkdownBlock::Kind::Audio: {
            closeList();
            const QString file = mediaFileOf(block.path, note.id);
            const QString address = file.isEmpty() ? QString() : mediaAddress(file);
            if (address.isEmpty())
                html += QStringLiteral("<p>%1</p>\n").arg(escapeHtml(block.label));
            else
                html += QStringLiteral("<p>%1<br><audio controls preload=\"none\" src=\"%2\"></audio></p>\n")
                            .arg(escapeHtml(block.label), escapeHtml(address));
            break;
        }
        case MarkdownBlock::Kind::Rule:
            closeList();
            html += QStringLiteral("<hr>\n");
            break;
        }
    }
    closeList();
    html += QStringLiteral("<footer>Shared read-only from ScrivelBar.</footer>");
    return page(title.isEmpty() ? QStringLiteral("Shared note") : title, html);
}

QString dashboard(const Account &account, const AccountStats &stats, qint64 mediaQuota,
                  const QList<ShareRecord> &shares, const QString &publicBase)
{
    QString links;
    for (const ShareRecord &share : shares) {
        const QString url = publicBase + QStringLiteral("/s/") + share.token;
        links += QStringLiteral("<li><a href=\"%1\">%1</a></li>\n").arg(escapeHtml(url));
    }
    if (links.isEmpty())
        links = QStringLiteral("<li>No note is shared.</li>\n");
    const QString body = QStringLiteral(
        "<h1>ScrivelBar account</h1>\n<p>%1</p>\n<table>"
        "<tr><td>Notes</td><td>%2</td></tr>"
        "<tr><td>Note text</td><td>%3</td></tr>"
        "<tr><td>Media</td><td>%4 files, %5 of %6</td></tr></table>\n"
        "<h2>Shared links</h2>\n<ul>\n%7</ul>\n"
        "<form method=\"post\" action=\"/dashboard/logout\"><button type=\"submit\">Sign out</button></form>\n"
        "<footer><a href=\"/privacy\">Privacy</a> · <a href=\"/terms\">Terms</a></footer>")
        .arg(escapeHtml(account.email))
        .arg(stats.notes)
        .arg(sizeText(stats.noteBytes))
        .arg(stats.mediaFiles)
        .arg(sizeText(stats.mediaBytes), sizeText(mediaQuota), links);
    return page(QStringLiteral("ScrivelBar account"), body);
}

QString privacy(const QString &publicBase)
{
    return page(QStringLiteral("Privacy"), QStringLiteral(
        "<h1>Privacy</h1>\n"
        "<p>This server at %1 keeps what the ScrivelBar app sends it for your account: your "
        "e-mail address and picture from Google sign-in, your notes and their media files, the "
        "links you share, and, when telemetry is on, a few usage events (app version, system "
        "version, which features were used). Feedback you send is kept with the picture and "
        "diagnostics you chose to attach.</p>\n"
        "<p>Session tokens are stored only as hashes. Shared notes are readable by anyone with "
        "the link until you stop sharing. Deleting your account in the app removes every note, "
        "file, link, event and feedback of it from this server.</p>\n"
        "<p>Nothing is sold or given to anyone. The operator of this server can read what it "
        "stores.</p>").arg(escapeHtml(publicBase)));
}

QString terms(const QString &version)
{
    return page(QStringLiteral("Terms of use"), QStringLiteral(
        "<h1>Terms of use</h1>\n<p>Version %1.</p>\n"
        "<p>This server stores and syncs your notes as a service of its operator, without "
        "warranty. Keep your own copies: the notes stay on your devices as plain files. Do not "
        "use it to store or share what you have no right to. The operator may limit storage and "
        "requests, and may close accounts that abuse the service.</p>").arg(escapeHtml(version)));
}

QString message(const QString &title, const QString &text)
{
    return page(title, QStringLiteral("<h1>%1</h1>\n<p>%2</p>").arg(escapeHtml(title), escapeHtml(text)));
}

} // namespace Pages
