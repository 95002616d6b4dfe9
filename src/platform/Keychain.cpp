#include "platform/Keychain.h"

#include "base/AppInfo.h"

QString Keychain::syncService()
{
    const QString base = QString::fromUtf8(AppInfo::identifier);
    return AppInfo::devServer() ? base + QStringLiteral(".sync.dev")
                                : base + QStringLiteral(".sync");
}
