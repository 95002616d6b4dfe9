#pragma once

#include <QString>

#include <optional>

/// Facts about this build: name, version and build number come from CMake; the development
/// server override comes from the environment variable SCRIVEL_DEV_SERVER, else from the
/// CMake option of the same name. Empty values give the fallbacks.
namespace AppInfo {

/// The application identifier, used for logging categories, the autostart entry and D-Bus.
inline constexpr const char *identifier = "app.scrivelbar";

QString name(); ///< "ScrivelBar" when unset
QString version(); ///< "0.0.0" when unset
QString build(); ///< "0" when unset
/// The development server address, or nothing when no override is set.
std::optional<QString> devServer();

/// The operating system's version as `parts` numbers (1–3) joined by ".", e.g. "12.4".
QString osVersion(int parts);
/// The hardware model as the firmware names it ("<vendor> <product>"), or "unknown".
QString hardwareModel();
/// The language code of the interface locale ("pt" for pt_BR), or "en" when it has none.
QString languageCode();

} // namespace AppInfo
