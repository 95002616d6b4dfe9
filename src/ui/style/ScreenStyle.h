#pragma once

#include "ui/style/Icons.h"

#include <QColor>
#include <QFont>
#include <QMenu>
#include <QPalette>
#include <QString>

class Dialogs;
class QAbstractButton;
class QAction;
class QWidget;

/// The look shared by the screens: palette roles for the secondary and tertiary colours,
/// caption fonts, and buttons drawn from the symbol table with a localized tooltip and
/// accessible name.
class QToolButton;

namespace ScreenStyle {

/// Secondary colour: the palette's placeholder text.
QColor secondary(const QPalette &palette);
/// Tertiary colour: halfway between text and window.
QColor tertiary(const QPalette &palette);
/// `color` with `alpha` (0…1).
QColor withAlpha(QColor color, double alpha);
/// `color` blended over `background` into an opaque colour. Style sheets and rich text take
/// a colour by its name, and QColor::name() drops the alpha: a half-transparent grey would
/// turn into solid black.
QColor opaque(const QColor &color, const QColor &background);
/// The secondary colour as it looks on the window, opaque, for style sheets and rich text.
QColor secondaryOnWindow(const QPalette &palette);
/// The orange of banners and warnings: dark enough on light windows, light enough on dark
/// ones, that text in it reaches `minimumTextContrast` against the palette's window colour.
QColor orange(const QPalette &palette);
/// The red of destructive actions, legible on the window and base colours alike.
QColor red(const QPalette &palette);
/// The contrast ratio of two opaque colours as WCAG 2 defines it: 1 (none) to 21.
double contrastRatio(const QColor &a, const QColor &b);
/// The least contrast of body text with its background (WCAG AA).
inline constexpr double minimumTextContrast = 4.5;
/// Dark when the window colour is dark (Qt 6.4 has no colour-scheme hint).
bool isDark(const QPalette &palette);

/// The UI font two points smaller.
QFont captionFont(const QFont &base);

/// Sets the symbol icon, the tooltip and the accessible name (both from `text`). When the
/// symbol table has no picture for the symbol the button shows a small text glyph instead,
/// so it never turns into an empty square.
void setSymbol(QAbstractButton *button, const QString &symbol, Icons::Tint tint = Icons::Tint::Text);
void setupButton(QAbstractButton *button, const QString &symbol, const QString &text,
                 Icons::Tint tint = Icons::Tint::Text);
/// Tooltip and accessible name of any widget.
void describe(QWidget *widget, const QString &text);
/// A pixmap of the symbol at `size` device-independent pixels (null when unknown).
QPixmap symbolPixmap(const QString &symbol, const QPalette &palette, Icons::Tint tint, int size,
                     qreal devicePixelRatio);
/// Holds the panel open while `menu` is up (it takes focus away from the panel) and
/// releases it once when the menu closes.
void holdPanelWhileOpen(QMenu *menu, Dialogs *dialogs);

/// A one-character stand-in for a symbol, for when the icon set lacks it.
QString glyph(const QString &symbol);

/// A flat toolbar button with its symbol, tooltip and accessible name, reachable by Tab.
QToolButton *toolButton(QWidget *parent, const QString &symbol, const QString &text);
/// "*.png *.jpg …": every image format this build can read, for open dialogs.
QString imageFilePatterns();

} // namespace ScreenStyle
