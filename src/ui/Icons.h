#pragma once

#include <QIcon>
#include <QPalette>
#include <QString>

/// The one symbol table: each symbol name the product uses ("magnifyingglass",
/// "square.and.pencil", "gearshape", …) maps to a vendored SVG under resources/icons/,
/// drawn tinted from the palette so it follows light and dark themes.
namespace Icons {

enum class Tint { Text, Secondary, Accent, Orange, Red };

/// The icon for `symbol`, tinted. An unknown symbol gives an empty icon and a warning.
QIcon icon(const QString &symbol, const QPalette &palette, Tint tint = Tint::Text);
/// Whether the table knows `symbol`.
bool has(const QString &symbol);

} // namespace Icons
