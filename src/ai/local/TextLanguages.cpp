#include "ai/local/TextLanguages.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr const char *kDebianData = "/usr/share/tesseract-ocr/5/tessdata";
// The languages the interface and the speech settings offer, in the order used when none
// of them is preferred.
constexpr const char *kKnown[] = { "eng", "spa", "por" };

QString codeFor(const QLocale &locale)
{
    switch (locale.language()) {
    case QLocale::English:
        return QStringLiteral("eng");
    case QLocale::Spanish:
        return QStringLiteral("spa");
    case QLocale::Portuguese:
        return QStringLiteral("por");
    default:
        return {};
    }
}

} // namespace

namespace TextLanguages {

QString dataPath(const QString &configured)
{
    if (!configured.isEmpty())
        return configured;
    if (const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX"); !prefix.isEmpty())
        return prefix;
    return QString::fromLatin1(kDebianData);
}

QStringList installed(const QString &dataPath)
{
    QStringList codes;
    for (const char *code : kKnown)
        if (QFileInfo(
                QDir(dataPath).filePath(QString::fromLatin1(code) + QStringLiteral(".traineddata")))
                .isFile())
            codes.append(QString::fromLatin1(code));
    return codes;
}

QStringList forLocales(const QString &dataPath, const QList<QLocale> &locales)
{
    const QStringList available = installed(dataPath);
    QStringList ordered;
    for (const QLocale &locale : locales) {
        const QString code = codeFor(locale);
        if (!code.isEmpty() && available.contains(code) && !ordered.contains(code))
            ordered.append(code);
    }
    for (const QString &code : available)
        if (!ordered.contains(code))
            ordered.append(code);
    return ordered;
}

} // namespace TextLanguages
