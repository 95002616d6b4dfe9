// Placeholder: the vendored icon set and its table arrive with the tray app.
#include "ui/Icons.h"

namespace Icons {
QIcon icon(const QString &, const QPalette &, Tint) { return {}; }
bool has(const QString &) { return false; }
} // namespace Icons
