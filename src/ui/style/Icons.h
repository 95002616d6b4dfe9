#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

/// The one symbol table: each symbol name the product uses ("magnifyingglass",
/// "square.and.pencil", "gearshape", …) maps to a vendored SVG under resources/icons/,
/// drawn tinted from the palette so it follows light and dark themes.
namespace Icons {

enum class Tint { Text, Secondary, Accent, Orange, Red };

/// The icon for `symbol`, tinted. An unknown symbol gives an empty icon and a warning.
/// The icon renders at any size and device pixel ratio; its disabled form is faded.
QIcon icon(const QString &symbol, const QPalette &palette, Tint tint = Tint::Text);
/// Whether the table knows `symbol`.
bool has(const QString &symbol);

/// Every symbol name in the table.
QStringList symbols();
/// The resource path of the SVG drawn for `symbol` (empty when unknown).
QString filePath(const QString &symbol);
/// The colour `tint` stands for in `palette`.
QColor color(Tint tint, const QPalette &palette);
/// `symbol` rendered in `color`, `size` device-independent pixels at `devicePixelRatio`.
/// Cached per symbol, colour, size and ratio. Null for an unknown symbol.
QPixmap pixmap(const QString &symbol, const QColor &color, QSize size,
               qreal devicePixelRatio = 1.0);

/// The tray icon: the symbol in `foreground` on a thin halo of `halo`, so that it stays
/// visible on light and dark panels alike (the tray's background is not known to us).
QIcon trayIcon(const QString &symbol, const QColor &foreground, const QColor &halo);

} // namespace Icons
