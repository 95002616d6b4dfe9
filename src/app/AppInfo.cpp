#include "app/AppInfo.h"

#include "BuildInfo.h"

namespace {
QString orFallback(const char *value, const char *fallback)
{
    const QString text = QString::fromUtf8(value).trimmed();
    return text.isEmpty() ? QString::fromUtf8(fallback) : text;
}
} // namespace

namespace AppInfo {

QString name()
{
    return orFallback(SCRIVEL_APP_NAME, "ScrivelBar");
}
QString version()
{
    return orFallback(SCRIVEL_APP_VERSION, "0.0.0");
}
QString build()
{
    return orFallback(SCRIVEL_APP_BUILD, "0");
}

std::optional<QString> devServer()
{
    QString value = qEnvironmentVariable("SCRIVEL_DEV_SERVER").trimmed();
    if (value.isEmpty())
        value = QString::fromUtf8(SCRIVEL_COMPILED_DEV_SERVER).trimmed();
    if (value.isEmpty())
        return std::nullopt;
    return value;
}

} // namespace AppInfo
