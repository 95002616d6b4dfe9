#include "telemetry/Diagnostics.h"

#include "base/AppInfo.h"
#include "telemetry/AppLog.h"
#include "telemetry/CrashHandler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QSysInfo>

#include <algorithm>

namespace {

// Reads at most `characters` UTF-16 units of UTF-8 text; nothing when the file cannot be
// opened or is not UTF-8.
std::optional<QString> readText(const QString &path, int characters)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Four bytes at most per character: enough bytes for the characters kept.
    const QByteArray data = file.read(qint64(characters) * 4 + 4);
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(data);
    if (decoder.hasError())
        return std::nullopt;
    if (text.size() > characters) {
        qsizetype cut = characters;
        if (text.at(cut - 1).isHighSurrogate())
            --cut;
        text.truncate(cut);
    }
    return text;
}

// The longest start of `text` whose UTF-8 form fits in `bytes`, never splitting a character.
QString fitUtf8(const QString &text, qsizetype bytes)
{
    if (text.size() * 3 <= bytes || text.toUtf8().size() <= bytes)
        return text;
    qsizetype used = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char16_t unit = text.at(i).unicode();
        int width = 1;
        qsizetype step = 1;
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size()
            && text.at(i + 1).isLowSurrogate()) {
            width = 4;
            step = 2;
        } else if (unit >= 0x800) {
            width = 3;
        } else if (unit >= 0x80) {
            width = 2;
        }
        if (used + width > bytes)
            break;
        used += width;
        i += step;
    }
    return text.left(i);
}

} // namespace

Diagnostics::Sources Diagnostics::Sources::installation()
{
    Sources sources;
    sources.logFolder = AppLog::stateFolder();
    sources.crashFolders = { CrashHandler::crashFolder() };
    sources.now = QDateTime::currentDateTimeUtc();
    QFile osRelease(QStringLiteral("/etc/os-release"));
    QByteArray release;
    if (osRelease.open(QIODevice::ReadOnly))
        release = osRelease.read(64 * 1024);
    else if (QFile usrRelease(QStringLiteral("/usr/lib/os-release"));
             usrRelease.open(QIODevice::ReadOnly))
        release = usrRelease.read(64 * 1024);
    sources.system = systemLine(release);
    sources.model = hardwareModel();
    return sources;
}

QString Diagnostics::hardwareModel()
{
    static const QString model = AppInfo::hardwareModel();
    return model;
}

QString Diagnostics::systemLine(const QByteArray &osRelease)
{
    for (const QByteArray &raw : osRelease.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith("PRETTY_NAME="))
            continue;
        QString value = QString::fromUtf8(line.mid(12)).trimmed();
        if (value.size() >= 2 && (value.startsWith(u'"') || value.startsWith(u'\''))
            && value.endsWith(value.at(0)))
            value = value.mid(1, value.size() - 2);
        value.replace(QStringLiteral("\\\""), QStringLiteral("\""));
        value = value.simplified();
        if (!value.isEmpty())
            return QStringLiteral("Linux ") + value;
    }
    return QStringLiteral("Linux ") + QSysInfo::prettyProductName();
}

QStringList Diagnostics::logLines(const QString &logFolder, const QDateTime &now)
{
    const auto lines = AppLog::readLines(logFolder, now, maxLogLines);
    if (!lines)
        return { QStringLiteral("(the log could not be read)") };
    if (lines->isEmpty())
        return { QStringLiteral("(nothing logged this session)") };
    return *lines;
}

QList<Diagnostics::CrashReport> Diagnostics::crashReports(const QStringList &folders)
{
    QFileInfoList candidates;
    for (const QString &folder : folders) {
        for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
            const QString suffix = info.suffix();
            if (info.fileName().startsWith(QStringLiteral("ScrivelBar"))
                && (suffix == u"crash" || suffix == u"ips"))
                candidates << info;
        }
    }
    // Newest first; a file without a date counts as the oldest.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const QFileInfo &a, const QFileInfo &b) {
                         const QDateTime da = a.lastModified(), db = b.lastModified();
                         if (!db.isValid())
                             return da.isValid();
                         return da.isValid() && da > db;
                     });
    QList<CrashReport> reports;
    for (const QFileInfo &info : std::as_const(candidates)) {
        if (reports.size() >= maxCrashReports)
            break;
        if (const auto content = readText(info.filePath(), maxReportCharacters))
            reports.append({ info.fileName(), *content });
    }
    return reports;
}

Diagnostics::Bundle Diagnostics::collect()
{
    return collect(Sources::installation());
}

Diagnostics::Bundle Diagnostics::collect(const Sources &sources)
{
    QString text = QStringLiteral("%1 %2 (%3)").arg(AppInfo::name(), AppInfo::version(),
                                                     AppInfo::build());
    text += u'\n' + sources.system;
    text += QStringLiteral("\nMachine ") + sources.model;
    text += QStringLiteral("\n\n== Log (last 24 hours)\n");
    text += logLines(sources.logFolder, sources.now).join(u'\n');
    const QList<CrashReport> reports = crashReports(sources.crashFolders);
    if (!reports.isEmpty()) {
        text += QStringLiteral("\n\n== Crash reports (%1)\n").arg(reports.size());
        for (const CrashReport &report : reports)
            text += QStringLiteral("\n--- ") + report.fileName + u'\n' + report.content + u'\n';
    }
    return Bundle { fitUtf8(text, maxBytes), int(reports.size()) };
}
