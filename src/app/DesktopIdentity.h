#pragma once

#include <QIcon>

/// How the installed application is known to the desktop: its icons in the icon theme, named
/// as the installed desktop entry (app.scrivelbar.desktop) names them.
namespace DesktopIdentity {

/// The application icon's name in the icon theme (the desktop entry's Icon=).
inline constexpr const char *iconName = "app.scrivelbar";
/// The one-colour tray glyph's name in the icon theme.
inline constexpr const char *trayIconName = "app.scrivelbar-symbolic";
/// The copy of the application icon compiled into the program.
inline constexpr const char *bundledIconPath = ":/app/app.scrivelbar.svg";

/// The application icon: the icon theme's (the installed one, or a theme's own drawing of it),
/// else the bundled copy, so a program run from its build folder still has one.
QIcon applicationIcon();

/// The tray icon: `drawn` (the chosen glyph, drawn for any panel) named after the installed
/// tray glyph when `isAppGlyph` and the theme holds it. Trays that take icons by name
/// (StatusNotifierItem: Plasma, GNOME's AppIndicator extension) then draw it in their own
/// colours; the others keep the drawn pixmaps.
QIcon trayIcon(const QIcon &drawn, bool isAppGlyph);

} // namespace DesktopIdentity
