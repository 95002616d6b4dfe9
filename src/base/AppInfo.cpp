#include "base/AppInfo.h"

#include "BuildInfo.h"
#include "base/Localization.h"

#include <QFile>
#include <QSysInfo>
#include <QVersionNumber>

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

QString osVersion(int parts)
{
    const QVersionNumber version = QVersionNumber::fromString(QSysInfo::productVersion());
    QStringList numbers;
    for (int i = 0; i < std::clamp(parts, 1, 3); ++i)
        numbers << QString::number(std::max(0, version.segmentAt(i)));
    return numbers.join(u'.');
}

QString hardwareModel()
{
    auto readLine = [](const char *path) {
        QFile file(QString::fromLatin1(path));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(file.read(256)).simplified();
    };
    const QString model = (readLine("/sys/class/dmi/id/sys_vendor") + u' '
                           + readLine("/sys/class/dmi/id/product_name"))
                              .simplified();
    return model.isEmpty() ? QStringLiteral("unknown") : model;
}

QString languageCode()
{
    const QString code = Localization::locale().name().section(u'_', 0, 0);
    return code.isEmpty() || code == u"C" ? QStringLiteral("en") : code;
}

} // namespace AppInfo
