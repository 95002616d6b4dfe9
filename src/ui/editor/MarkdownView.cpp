#include "ui/editor/MarkdownView.h"

#include "base/Localization.h"
#include "markdown/InlineRenderer.h"
#include "ui/media/AudioBlockView.h"
#include "ui/media/ImageBlockView.h"
#include "ui/style/ScreenStyle.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QFont headingFont(const QFont &base, int level)
{
    QFont font = base;
    static constexpr int sizes[] = { 20, 17, 15, 13 };
    font.setPixelSize(sizes[std::clamp(level, 1, 4) - 1]);
    font.setWeight(level <= 2 ? QFont::Bold : QFont::DemiBold);
    return font;
}

// What a screen reader says for a block's inline Markdown: the words, without the markup.
QString spokenText(const QString &markdown)
{
    return QTextDocumentFragment::fromHtml(Markdown::inlineHtml(markdown)).toPlainText().trimmed();
}

QWidget *row(QWidget *parent, int spacing, int leading)
{
    auto *widget = new QWidget(parent);
    auto *layout = new QHBoxLayout(widget);
    layout->setContentsMargins(leading, 0, 0, 0);
    layout->setSpacing(spacing);
    return widget;
}

} // namespace

MarkdownView::MarkdownView(QWidget *parent) : QWidget(parent)
{
    setAccessibleName(L("editor.preview.page"));
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(10);
    m_layout->addStretch(1);
}

void MarkdownView::setText(const QString &text)
{
    if (text == m_text && !m_blocks.isEmpty())
        return;
    m_text = text;
    rebuild();
}

void MarkdownView::setOnToggleCheckbox(std::function<void(int)> handler)
{
    m_onToggle = std::move(handler);
    for (QToolButton *box : std::as_const(m_checkboxes))
        box->setEnabled(bool(m_onToggle));
}

void MarkdownView::setMediaContext(MediaContext media)
{
    m_media = std::move(media);
    if (!m_blocks.isEmpty())
        rebuild();
}

bool MarkdownView::isSafeLink(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid()
        && (scheme == u"http" || scheme == u"https" || scheme == u"mailto");
}

bool MarkdownView::openLink(const QUrl &url)
{
    if (!isSafeLink(url))
        return false;
    return QDesktopServices::openUrl(url);
}

void MarkdownView::rebuild()
{
    // The old widgets may be in the middle of handling the click that changed the text
    // (a task box): let them finish before they go.
    for (QWidget *block : std::as_const(m_blocks)) {
        m_layout->removeWidget(block);
        block->hide();
        block->deleteLater();
    }
    m_blocks.clear();
    m_checkboxes.clear();
    int ordinal = 0;
    const QList<MarkdownBlock> blocks = Markdown::parse(m_text);
    for (const MarkdownBlock &block : blocks) {
        QWidget *widget = makeBlock(block, ordinal);
        m_layout->insertWidget(m_layout->count() - 1, widget);
        m_blocks.append(widget);
    }
}

QLabel *MarkdownView::plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setText(text);
    label->installEventFilter(this);
    return label;
}

QLabel *MarkdownView::inlineLabel(const QString &markdown, QWidget *parent, const QString &colour,
                                  bool struck)
{
    QString html = Markdown::inlineHtml(markdown);
    html.replace(u'\n', QStringLiteral("<br>"));
    // Rich text draws <code> in the body font (or a Courier that may be missing): give it the
    // desktop's fixed-width font on the code blocks' subtle background.
    const QPalette pal = palette();
    const QString codeStyle
        = QStringLiteral("<code style=\"font-family:'%1'; background-color:%2;\">")
              .arg(
                  Markdown::escapeHtml(QFontDatabase::systemFont(QFontDatabase::FixedFont).family())
                      .remove(u'\''),
                  ScreenStyle::opaque(ScreenStyle::withAlpha(ScreenStyle::secondary(pal), 0.12),
                                      pal.color(QPalette::Window))
                      .name());
    html.replace(QStringLiteral("<code>"), codeStyle);
    const bool hasLinks = html.contains(QStringLiteral("<a "));
    if (struck)
        html = QStringLiteral("<s>") + html + QStringLiteral("</s>");
    QString style = QStringLiteral("white-space:pre-wrap;");
    if (!colour.isEmpty())
        style += QStringLiteral("color:%1;").arg(colour);
    html = QStringLiteral("<span style=\"%1\">%2</span>").arg(style, html);
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setText(html);
    // Top, not centred: a row's text starts level with its bullet or number even when the
    // label gets more height than its lines take.
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setOpenExternalLinks(false);
    // Keyboard interaction makes a label a Tab stop: only labels with links get it, so Tab
    // goes from link to box to link instead of through every paragraph.
    label->setTextInteractionFlags(hasLinks
                                       ? Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard
                                       : Qt::NoTextInteraction);
    // Keep the height-for-width that word wrap asks for: without it a layout gives the label
    // its size hint, the height of the text wrapped at a guessed narrow width.
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    label->setSizePolicy(policy);
    connect(label, &QLabel::linkActivated, this, [this](const QString &link) {
        const QUrl url(link);
        if (isSafeLink(url) && !openLink(url))
            Q_EMIT linkFailed(url);
    });
    connect(label, &QLabel::linkHovered, label,
            [label](const QString &link) { label->setProperty("hoveredLink", link); });
    label->installEventFilter(this);
    return label;
}

QWidget *MarkdownView::makeBlock(const MarkdownBlock &block, int &ordinal)
{
    const QPalette pal = palette();
    const QString secondary = ScreenStyle::secondaryOnWindow(pal).name();
    switch (block.kind) {
    case MarkdownBlock::Kind::Heading: {
        QLabel *label = inlineLabel(block.text, this);
        label->setFont(headingFont(font(), block.level));
        label->setContentsMargins(0, block.level <= 2 ? 6 : 2, 0, 0);
        label->setAccessibleDescription(L("editor.preview.heading", block.level));
        return label;
    }
    case MarkdownBlock::Kind::Paragraph:
        return inlineLabel(block.text, this);
    case MarkdownBlock::Kind::Bullet: {
        QWidget *line = row(this, 6, 2);
        auto *layout = static_cast<QHBoxLayout *>(line->layout());
        if (block.hasCheckbox()) {
            const bool checked = *block.checked;
            auto *box = new QToolButton(line);
            box->setAutoRaise(true);
            box->setObjectName(QStringLiteral("checkbox"));
            box->setProperty("taskChecked", checked);
            const QString state
                = checked ? L("editor.checkbox.checked") : L("editor.checkbox.unchecked");
            ScreenStyle::setupButton(
                box, checked ? QStringLiteral("checkmark.square.fill") : QStringLiteral("square"),
                state, checked ? Icons::Tint::Accent : Icons::Tint::Secondary);
            // A screen reader names the box by its task and reads the state from the check.
            const QString task = spokenText(block.text);
            box->setAccessibleName(task.isEmpty() ? state : task);
            box->setAccessibleDescription(state);
            box->setCheckable(true);
            box->setChecked(checked);
            box->setEnabled(bool(m_onToggle));
            box->setStyleSheet(QStringLiteral(
                "QToolButton { border: none; padding: 0; background: transparent; }"));
            const int index = ordinal++;
            connect(box, &QToolButton::clicked, this, [this, box, index, checked] {
                // The box shows the note's state, not its own: the store's toggle rebuilds the
                // page, and a toggle that did not happen leaves the box as it was.
                box->setChecked(checked);
                if (m_onToggle)
                    m_onToggle(index);
            });
            m_checkboxes.append(box);
            layout->addWidget(box, 0, Qt::AlignTop);
            layout->addWidget(inlineLabel(block.text, line, checked ? secondary : QString(), checked), 1);
        } else {
            QLabel *dot = plainLabel(QStringLiteral("•"), line);
            dot->setStyleSheet(QStringLiteral("color: %1;").arg(secondary));
            layout->addWidget(dot, 0, Qt::AlignTop);
            layout->addWidget(inlineLabel(block.text, line), 1);
        }
        return line;
    }
    case MarkdownBlock::Kind::Ordered: {
        QWidget *line = row(this, 7, 2);
        auto *layout = static_cast<QHBoxLayout *>(line->layout());
        QLabel *marker = plainLabel(block.marker, line);
        marker->setWordWrap(false);
        marker->setStyleSheet(QStringLiteral("color: %1;").arg(secondary));
        layout->addWidget(marker, 0, Qt::AlignTop);
        layout->addWidget(inlineLabel(block.text, line), 1);
        return line;
    }
    case MarkdownBlock::Kind::Quote: {
        QWidget *line = row(this, 8, 0);
        auto *layout = static_cast<QHBoxLayout *>(line->layout());
        auto *bar = new QFrame(line);
        bar->setFixedWidth(3);
        bar->setStyleSheet(QStringLiteral("background: %1; border-radius: 1px;")
                               .arg(ScreenStyle::tertiary(pal).name()));
        layout->addWidget(bar);
        layout->addWidget(inlineLabel(block.text, line, secondary), 1);
        return line;
    }
    case MarkdownBlock::Kind::Code: {
        QLabel *code = plainLabel(block.text, this);
        code->setObjectName(QStringLiteral("code"));
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPixelSize(12);
        code->setFont(mono);
        code->setStyleSheet(QStringLiteral("QLabel#code { background: %1; border-radius: 6px; padding: 8px; }")
                                .arg(ScreenStyle::withAlpha(ScreenStyle::secondary(pal), 0.12).name(QColor::HexArgb)));
        return code;
    }
    case MarkdownBlock::Kind::Image: {
        if (m_media)
            return new ImageBlockView(block.path, *m_media, this);
        QLabel *caption = plainLabel(block.alt.isEmpty() ? block.path : block.alt, this);
        caption->setStyleSheet(QStringLiteral("color: %1;").arg(secondary));
        return caption;
    }
    case MarkdownBlock::Kind::Audio: {
        if (m_media)
            return new AudioBlockView(block.path, *m_media, this);
        QLabel *caption = plainLabel(block.label, this);
        caption->setStyleSheet(QStringLiteral("color: %1;").arg(secondary));
        return caption;
    }
    case MarkdownBlock::Kind::Rule: {
        auto *holder = new QWidget(this);
        auto *layout = new QVBoxLayout(holder);
        layout->setContentsMargins(0, 2, 0, 2);
        auto *line = new QFrame(holder);
        line->setFixedHeight(1);
        line->setStyleSheet(QStringLiteral("background: %1;")
                                .arg(ScreenStyle::withAlpha(pal.color(QPalette::Mid), 0.7).name(QColor::HexArgb)));
        layout->addWidget(line);
        return holder;
    }
    }
    return new QWidget(this);
}

void MarkdownView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        Q_EMIT backgroundClicked();
    QWidget::mouseReleaseEvent(event);
}

bool MarkdownView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton
            && watched->property("hoveredLink").toString().isEmpty()) {
            Q_EMIT backgroundClicked();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MarkdownView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange && !m_blocks.isEmpty())
        rebuild();
    QWidget::changeEvent(event);
}
