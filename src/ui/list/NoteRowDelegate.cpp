#include "ui/list/NoteRowDelegate.h"

#include "ui/list/NoteListModel.h"
#include "ui/style/RelativeDate.h"
#include "ui/style/ScreenStyle.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kHPadding = 12;
constexpr int kVPadding = 8;

QFont titleFont(const QFont &base)
{
    QFont font = base;
    font.setWeight(QFont::Medium);
    return font;
}
} // namespace

NoteRowDelegate::NoteRowDelegate(NoteListModel *model, QObject *parent)
    : QStyledItemDelegate(parent), m_model(model), m_now([] { return Clock::now(); })
{
}

int NoteRowDelegate::rowHeight(const QFont &font)
{
    const int text = QFontMetrics(titleFont(font)).height() + 3
        + QFontMetrics(ScreenStyle::captionFont(font)).height();
    return 2 * kVPadding + std::max(thumbnailSize, text);
}

QSize NoteRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return { option.rect.width() > 0 ? option.rect.width() : 380, rowHeight(option.font) };
}

void NoteRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = option.palette;
    const QRect rect = option.rect;

    if (option.state & (QStyle::State_MouseOver | QStyle::State_Selected)) {
        QColor hover = pal.color(QPalette::Highlight);
        hover.setAlphaF((option.state & QStyle::State_Selected) ? 0.16f : 0.08f);
        painter->fillRect(rect, hover);
    }
    if (option.state & QStyle::State_HasFocus && option.state & QStyle::State_Selected) {
        painter->setPen(QPen(ScreenStyle::withAlpha(pal.color(QPalette::Highlight), 0.7), 1));
        painter->drawRect(rect.adjusted(1, 1, -2, -2));
    }

    const QString thumbnailPath = index.data(NoteListModel::ThumbnailRole).toString();
    const QImage thumbnail = m_model ? m_model->thumbnail(thumbnailPath) : QImage();
    const QFont title = titleFont(option.font);
    const QFont caption = ScreenStyle::captionFont(option.font);
    const QFontMetrics titleMetrics(title);
    const QFontMetrics captionMetrics(caption);
    const int textHeight = titleMetrics.height() + 3 + captionMetrics.height();
    const int textTop = rect.top() + (rect.height() - textHeight) / 2;

    int x = rect.left() + kHPadding;
    if (!thumbnailPath.isEmpty()) {
        // Rows with an image keep a square for it; the symbol stands in until it is decoded
        // and when it cannot be.
        const QRect square(x, rect.top() + (rect.height() - thumbnailSize) / 2, thumbnailSize,
                           thumbnailSize);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(square), 6, 6);
        if (!thumbnail.isNull()) {
            painter->setClipPath(clip);
            // Fill the square, cropping the longer side.
            const QSize scaled = thumbnail.size().scaled(square.size(), Qt::KeepAspectRatioByExpanding);
            const QRect target(square.center().x() - scaled.width() / 2 + 1,
                               square.center().y() - scaled.height() / 2 + 1, scaled.width(),
                               scaled.height());
            painter->setRenderHint(QPainter::SmoothPixmapTransform);
            painter->drawImage(target, thumbnail);
            painter->setClipping(false);
        } else {
            painter->fillPath(clip, ScreenStyle::withAlpha(ScreenStyle::secondary(pal), 0.12));
            const QPixmap symbol = ScreenStyle::symbolPixmap(QStringLiteral("photo"), pal, Icons::Tint::Secondary, 16,
                                                             painter->device()->devicePixelRatioF());
            if (!symbol.isNull())
                painter->drawPixmap(square.center() - QPoint(8, 8), symbol);
        }
        x += thumbnailSize + 10;
    } else {
        const QString symbolName = index.data(NoteListModel::SymbolRole).toString();
        const QRect box(x, textTop + (titleMetrics.height() - 16) / 2, 16, 16);
        const QPixmap symbol = ScreenStyle::symbolPixmap(symbolName, pal, Icons::Tint::Secondary, 16,
                                                         painter->device()->devicePixelRatioF());
        if (!symbol.isNull()) {
            painter->drawPixmap(box.topLeft(), symbol);
        } else {
            painter->setPen(ScreenStyle::secondary(pal));
            painter->setFont(option.font);
            painter->drawText(box, Qt::AlignCenter, ScreenStyle::glyph(symbolName));
        }
        x += 16 + 8;
    }

    const int width = rect.right() - kHPadding - x;
    painter->setFont(title);
    painter->setPen(pal.color(QPalette::Text));
    const QString titleText = index.data(NoteListModel::TitleRole).toString();
    painter->drawText(QRect(x, textTop, width, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      titleMetrics.elidedText(titleText.simplified(), Qt::ElideRight, width));

    QString line = RelativeDate::format(Date { index.data(NoteListModel::DateRole).toDouble() }, m_now());
    const QString detail = index.data(NoteListModel::DetailRole).toString();
    if (!detail.isEmpty())
        line += QStringLiteral("  ·  ") + detail.simplified();
    painter->setFont(caption);
    painter->setPen(ScreenStyle::secondary(pal));
    painter->drawText(QRect(x, textTop + titleMetrics.height() + 3, width, captionMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      captionMetrics.elidedText(line, Qt::ElideRight, width));

    painter->setPen(QPen(ScreenStyle::withAlpha(pal.color(QPalette::Mid), 0.5), 1));
    painter->drawLine(QPointF(rect.left() + kHPadding, rect.bottom() + 0.5),
                      QPointF(rect.right() + 1, rect.bottom() + 0.5));
    painter->restore();
}
