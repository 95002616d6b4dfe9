#pragma once

#include "ui/style/Icons.h"

#include <QAbstractButton>
#include <QColor>
#include <QLabel>
#include <QLayout>
#include <QList>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <optional>

class QPalette;
class QTimer;

/// The small widgets and helpers the account screen's parts are made of.
namespace AccountControls {

/// Lays its items out left to right and wraps to a new line when the width runs out, so a row
/// of buttons never forces the 380-wide panel to scroll sideways in a longer language.
class FlowLayout : public QLayout
{
public:
    explicit FlowLayout(QWidget *parent, int spacing = 8);
    ~FlowLayout() override;

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    void setGeometry(const QRect &rect) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;

private:
    int arrange(const QRect &rect, bool measureOnly) const;

    QList<QLayoutItem *> m_items;
    int m_space;
};

/// An on/off switch: a rounded track with a knob, accent-coloured when on. A checkable button,
/// so Space toggles it and accessibility reports its state. It draws no text: the label of
/// its row speaks for it (the text goes to its tooltip and accessible name).
class Switch : public QAbstractButton
{
public:
    explicit Switch(QWidget *parent);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;
};

/// A switch with its label on the left; clicking anywhere on the row toggles the switch.
class SwitchRow : public QWidget
{
public:
    SwitchRow(QWidget *parent, QLabel *label, Switch *toggle);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    Switch *m_switch;
};

/// A one-line label that shortens its text with "…" to the width it gets; the whole text
/// stays in the tooltip, the accessible name and the "fullText" property.
class ElidedLabel : public QLabel
{
public:
    ElidedLabel(QWidget *parent, Qt::TextElideMode mode);
    void setFullText(const QString &text);
    QString fullText() const { return m_full; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void elide();

    QString m_full;
    Qt::TextElideMode m_mode;
};

/// The coloured 7-point dot of the server status line.
class StatusDot : public QWidget
{
public:
    explicit StatusDot(QWidget *parent);
    void setColor(const QColor &color);
    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QColor m_color;
};

/// A small turning arc that stands next to the sign-in button while it works.
class Spinner : public QWidget
{
public:
    explicit Spinner(QWidget *parent);

protected:
    void showEvent(QShowEvent *) override;
    void hideEvent(QHideEvent *) override;
    void paintEvent(QPaintEvent *) override;

private:
    QTimer *m_timer;
    int m_angle = 0;
};

/// Addresses from the server (terms, privacy, the server itself) open only as web pages:
/// the address, or nothing when it is not an http(s) address with a host.
std::optional<QUrl> webAddress(const QString &text);
/// Opens `address` in the browser when it is a web address; anything else is ignored.
void openWebAddress(const QString &address);
/// Rich text for a label: a link to `url` reading `text`.
QString link(const QUrl &url, const QString &text);

/// The green of a healthy server, a little brighter on dark windows.
QColor green(const QPalette &palette);
void setTextColor(QWidget *widget, const QColor &color);

/// A square label of `size` points that shows a symbol.
QLabel *pictureLabel(QWidget *parent, int size);
/// Draws `symbol` into a label made by pictureLabel (a text glyph when the icon set lacks it).
void setSymbolPicture(QLabel *label, const QString &symbol, Icons::Tint tint);

} // namespace AccountControls
