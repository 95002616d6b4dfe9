#pragma once

#include <QStyledItemDelegate>

#include <functional>

#include "base/Date.h"

class NoteListModel;

/// Paints one note row (`NoteRow`): the thumbnail or a symbol, the title in medium weight,
/// and a caption line with the relative date and the detail; a divider inset from the
/// leading edge. Every row has the same height, so the list can use uniform item sizes.
class NoteRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int thumbnailSize = 44;

    NoteRowDelegate(NoteListModel *model, QObject *parent = nullptr);

    /// The clock the relative dates are measured against (tests fix it).
    void setClock(std::function<Date()> now) { m_now = std::move(now); }
    /// The time the rows are drawn at now.
    Date now() const { return m_now(); }

    /// The fixed row height for `font`.
    static int rowHeight(const QFont &font);

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    NoteListModel *m_model;
    std::function<Date()> m_now;
};
