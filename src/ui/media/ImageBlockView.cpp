#include "ui/media/ImageBlockView.h"

#include "base/Localization.h"
#include "ui/media/MediaMenu.h"
#include "ui/style/ScreenStyle.h"

#include <QContextMenuEvent>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QFileInfo>
#include <QTimer>
#include <QPointer>
#include <QToolButton>
#include <QtConcurrent>

namespace {

constexpr int buttonSize = 22;
constexpr int buttonGap = 4;
constexpr int buttonInset = 6;
// Before the block is laid out: the panel's content width.
constexpr int defaultWidth = 356;

} // namespace

ImageBlockView::ImageBlockView(const QString &path, MediaContext media, QWidget *parent)
    : QWidget(parent), m_path(path), m_media(std::move(media))
{
    setObjectName(QStringLiteral("imageBlock"));
    m_file = m_media.resolve ? m_media.resolve(path) : QString();
    setAccessibleName(QFileInfo(m_file).fileName());
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setFocusPolicy(Qt::NoFocus);

    m_missing = new QWidget(this);
    m_missing->setObjectName(QStringLiteral("missing"));
    auto *missingRow = new QHBoxLayout(m_missing);
    missingRow->setContentsMargins(8, 8, 8, 8);
    missingRow->setSpacing(6);
    m_missingIcon = new QLabel(m_missing);
    m_missingText = new QLabel(L("editor.attachment.missing"), m_missing);
    m_missingText->setTextFormat(Qt::PlainText);
    missingRow->addWidget(m_missingIcon);
    missingRow->addWidget(m_missingText, 1);
    m_missing->setAccessibleName(L("editor.attachment.missing"));
    m_missing->hide();

    m_row = new QWidget(this);
    auto *row = new QHBoxLayout(m_row);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(buttonGap);
    const auto add = [&](const QString &symbol, const char *key,
                         const std::function<void(const QString &)> &action) {
        auto *button = new QToolButton(m_row);
        button->setObjectName(symbol);
        button->setProperty("scrivelSymbol", symbol);
        button->setProperty("scrivelKey", QString::fromLatin1(key));
        button->setFixedSize(buttonSize, buttonSize);
        button->setIconSize(QSize(11, 11));
        button->setFocusPolicy(Qt::TabFocus);
        button->installEventFilter(this);
        connect(button, &QToolButton::clicked, this, [this, action] {
            if (action)
                action(m_path);
        });
        row->addWidget(button);
        m_buttons.append(button);
    };
    if (m_media.extractText)
        add(QStringLiteral("text.viewfinder"), "ai.extractText", m_media.extractText);
    add(QStringLiteral("square.and.arrow.down"), "editor.export.image", m_media.exportMedia);
    add(QStringLiteral("xmark"), "editor.attachment.remove.image", m_media.remove);
    m_row->adjustSize();
    m_row->hide();
    applyLook();
}

ImageBlockView::~ImageBlockView() = default;

QImage ImageBlockView::decode(const QString &file, QSize box)
{
    QImageReader reader(file);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && !box.isEmpty()) {
        // Orientation may swap the sides: fit the picture as it will be shown.
        QSize shown = size;
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            shown.transpose();
        if (shown.width() > box.width() || shown.height() > box.height()) {
            QSize target = shown.scaled(box, Qt::KeepAspectRatio);
            if (reader.transformation() & QImageIOHandler::TransformationRotate90)
                target.transpose();
            reader.setScaledSize(target.expandedTo(QSize(1, 1)));
        }
    }
    QImage image = reader.read();
    if (image.isNull())
        return {};
    return image;
}

void ImageBlockView::requestDecode()
{
    if (m_decoding)
        return;
    const int width = this->width() > 50 ? this->width() : defaultWidth;
    m_decoding = true;
    m_decodedFor = width;
    const qreal ratio = devicePixelRatioF();
    const QSize box(int(width * ratio), int(maxHeight * ratio));
    const QString file = m_file;
    auto *watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, ratio] {
        watcher->deleteLater();
        m_decoding = false;
        m_image = watcher->result();
        m_image.setDevicePixelRatio(ratio);
        m_sourceSize = m_image.size();
        const bool first = !m_loaded;
        m_loaded = true;
        m_missing->setVisible(m_image.isNull());
        updateGeometry();
        update();
        if (first)
            Q_EMIT loaded();
    });
    watcher->setFuture(QtConcurrent::run([file, box] { return decode(file, box); }));
}

int ImageBlockView::heightForWidth(int width) const
{
    if (!m_loaded)
        return maxHeight / 2;
    if (m_image.isNull())
        return m_missing->sizeHint().height();
    const QSizeF size = m_image.deviceIndependentSize();
    const double scale = std::min({ 1.0, double(width) / size.width(), maxHeight / size.height() });
    return std::max(1, int(std::ceil(size.height() * scale)));
}

QSize ImageBlockView::sizeHint() const
{
    return { defaultWidth, heightForWidth(defaultWidth) };
}

QRect ImageBlockView::imageRect() const
{
    if (m_image.isNull())
        return {};
    const QSizeF size = m_image.deviceIndependentSize();
    const double scale = std::min({ 1.0, double(width()) / size.width(), maxHeight / size.height() });
    return QRect(0, 0, int(size.width() * scale), int(size.height() * scale));
}

void ImageBlockView::paintEvent(QPaintEvent *)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect target = imageRect();
    QPainterPath clip;
    clip.addRoundedRect(target, cornerRadius, cornerRadius);
    painter.setClipPath(clip);
    painter.drawImage(target, m_image);
}

void ImageBlockView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Decoded for a narrower block than it has become: decode again, sharper.
    if (!m_loaded && !m_decoding)
        requestDecode();
    else if (m_loaded && !m_image.isNull() && width() > m_decodedFor * 1.2
             && m_image.width() >= int(m_decodedFor * devicePixelRatioF()) - 1)
        requestDecode();
    m_missing->setGeometry(0, 0, width(), m_missing->sizeHint().height());
    placeButtons();
}

void ImageBlockView::placeButtons()
{
    m_row->adjustSize();
    const QRect picture = m_image.isNull() ? rect() : imageRect();
    m_row->move(picture.right() + 1 - buttonInset - m_row->width(), buttonInset);
    m_row->raise();
}

void ImageBlockView::setHovering(bool hovering)
{
    if (hovering == m_hovering)
        return;
    m_hovering = hovering;
    placeButtons();
    m_row->setVisible(hovering);
}

void ImageBlockView::enterEvent(QEnterEvent *event)
{
    setHovering(true);
    QWidget::enterEvent(event);
}

void ImageBlockView::leaveEvent(QEvent *event)
{
    // The keyboard may still be on one of the buttons: keep them while it is.
    if (!m_row->isAncestorOf(focusWidget()))
        setHovering(false);
    QWidget::leaveEvent(event);
}

bool ImageBlockView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut && !underMouse()) {
        QTimer::singleShot(0, this, [this] {
            if (!m_row->isAncestorOf(focusWidget()) && !underMouse())
                setHovering(false);
        });
    }
    return QWidget::eventFilter(watched, event);
}

void ImageBlockView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = MediaMenu::create(this, m_path, Attachment::Kind::Image, m_media);
    menu->popup(event->globalPos());
}

void ImageBlockView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyLook();
    QWidget::changeEvent(event);
}

void ImageBlockView::applyLook()
{
    const QPalette pal = palette();
    const QFont caption = ScreenStyle::captionFont(font());
    m_missingText->setFont(caption);
    m_missingText->setStyleSheet(QStringLiteral("color: %1;").arg(ScreenStyle::secondaryOnWindow(pal).name()));
    const int iconSize = QFontMetrics(caption).height();
    m_missingIcon->setPixmap(ScreenStyle::symbolPixmap(QStringLiteral("photo.badge.exclamationmark"), pal,
                                                       Icons::Tint::Secondary, iconSize, devicePixelRatioF()));
    // Round buttons on a thin translucent disc, symbols in the text colour.
    const QColor disc = ScreenStyle::withAlpha(pal.color(QPalette::Window), 0.78);
    for (QToolButton *button : std::as_const(m_buttons)) {
        ScreenStyle::setupButton(button, button->property("scrivelSymbol").toString(),
                                 L(button->property("scrivelKey").toString().toLatin1().constData()));
        button->setStyleSheet(QStringLiteral("QToolButton { border: none; border-radius: %1px; background: %2; }"
                                             " QToolButton:hover { background: %3; }"
                                             " QToolButton:focus { border: 1px solid %4; }")
                                  .arg(buttonSize / 2)
                                  .arg(disc.name(QColor::HexArgb),
                                       ScreenStyle::withAlpha(pal.color(QPalette::Window), 0.95).name(QColor::HexArgb),
                                       pal.color(QPalette::Highlight).name()));
    }
}
