#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

/// The diagnostics bundle a feedback message may carry: versions, the computer's model, the
/// app's own log of the last 24 hours and its newest crash reports, as one text capped for
/// upload. Collecting never fails: what cannot be read is replaced by a fixed line or left out.
/// `collect` reads files and may take a moment: run it off the main thread.
class Diagnostics
{
public:
    struct Bundle
    {
        QString text;
        int crashReports = 0; ///< how many crash reports the text holds
    };

    /// Where collect() looks and what it says about the machine; the defaults are this
    /// installation's (tests point the folders at temporary ones).
    struct Sources
    {
        QString logFolder; ///< AppLog::stateFolder()
        QStringList crashFolders; ///< CrashHandler::crashFolder()
        QDateTime now; ///< the current time
        QString system; ///< "Linux " + the distribution's pretty name
        QString model; ///< hardwareModel()
        static Sources installation();
    };

    static constexpr int maxLogLines = 2000;
    static constexpr int maxCrashReports = 3;
    static constexpr int maxReportCharacters = 200000;
    static constexpr int maxBytes = 1900000;

    static Bundle collect();
    static Bundle collect(const Sources &sources);

    /// The computer's model as the firmware names it ("<vendor> <product>"), or "unknown";
    /// read once.
    static QString hardwareModel();
    /// "Linux " and the PRETTY_NAME of os-release (`osRelease`'s text), else Qt's product
    /// name for the system.
    static QString systemLine(const QByteArray &osRelease);

    /// The log lines of the bundle: the fixed line "(the log could not be read)" or
    /// "(nothing logged this session)" when there are none to show.
    static QStringList logLines(const QString &logFolder, const QDateTime &now);

    struct CrashReport
    {
        QString fileName;
        QString content;
    };
    /// The newest `maxCrashReports` readable reports ("ScrivelBar…" with the extension
    /// "crash" or "ips") of `folders`, newest first, each cut to `maxReportCharacters`.
    static QList<CrashReport> crashReports(const QStringList &folders);
};
