#include "telemetry/AppLog.h"

#include "base/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>

#include <memory>

namespace AppLog {

namespace {

struct Sink
{
    QMutex mutex;
    QString folder;
    std::unique_ptr<QFile> file;
    QtMessageHandler previous = nullptr;
    bool installed = false;
};

Sink &sink()
{
    // Never destroyed: messages may still arrive while static objects go away at exit.
    static auto *instance = new Sink;
    return *instance;
}

thread_local bool t_writing = false;

bool isOurCategory(const char *category)
{
    if (!category)
        return false;
    const QLatin1StringView name(category);
    const QLatin1StringView prefix(categoryPrefix);
    return name == prefix || (name.startsWith(prefix) && name.size() > prefix.size()
                              && name.at(prefix.size()) == QLatin1Char('.'));
}

QString area(const QString &category)
{
    const QString prefix = QString::fromLatin1(categoryPrefix);
    if (category.startsWith(prefix + u'.'))
        return category.mid(prefix.size() + 1);
    return category == prefix ? QStringLiteral("app") : category;
}

// Moves scrivelbar.log → .1 → .2 …, dropping the oldest. Called with the mutex held.
void rotate(Sink &s)
{
    const QString path = filePath(s.folder);
    s.file.reset();
    QFile::remove(path + u'.' + QString::number(generations));
    for (int i = generations - 1; i >= 1; --i)
        QFile::rename(path + u'.' + QString::number(i), path + u'.' + QString::number(i + 1));
    QFile::rename(path, path + QStringLiteral(".1"));
}

bool openFile(Sink &s)
{
    if (s.file && s.file->isOpen())
        return true;
    QDir().mkpath(s.folder);
    s.file = std::make_unique<QFile>(filePath(s.folder));
    if (!s.file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        s.file.reset();
        return false;
    }
    s.file->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

void write(const QByteArray &line)
{
    Sink &s = sink();
    const QMutexLocker locker(&s.mutex);
    if (!s.installed || !openFile(s))
        return;
    s.file->write(line);
    if (s.file->size() >= maxBytes)
        rotate(s);
}

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!t_writing && isOurCategory(context.category)) {
        // A warning raised while writing (a full disk) must not come back here.
        t_writing = true;
        const QString line = formatLine(QDateTime::currentDateTimeUtc(),
                                        QString::fromLatin1(context.category), message);
        write(line.toUtf8() + '\n');
        t_writing = false;
    }
    QtMessageHandler previous = nullptr;
    {
        Sink &s = sink();
        const QMutexLocker locker(&s.mutex);
        previous = s.previous;
    }
    if (previous)
        previous(type, context, message);
}

} // namespace

QString stateFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir(base).filePath(AppPaths::folderName());
}

QString filePath(const QString &folder)
{
    return QDir(folder).filePath(QString::fromLatin1(fileName));
}

void install(const QString &folder)
{
    Sink &s = sink();
    const QMutexLocker locker(&s.mutex);
    s.file.reset();
    s.folder = folder;
    if (!s.installed) {
        s.previous = qInstallMessageHandler(handler);
        s.installed = true;
    }
}

void uninstall()
{
    Sink &s = sink();
    const QMutexLocker locker(&s.mutex);
    if (!s.installed)
        return;
    qInstallMessageHandler(s.previous);
    s.previous = nullptr;
    s.installed = false;
    s.file.reset();
}

QString redact(const QString &message)
{
    static const QRegularExpression bearer(QStringLiteral("(Bearer\\s+)[^\\s\"',;]+"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression member(
        QStringLiteral("(\\b(?:access_token|id_token|refresh_token|session[_-]?token|token|"
                       "code_verifier|codeVerifier|api[_-]?key|key|client_secret|secret|"
                       "password)\"?\\s*[=:]\\s*\"?)[^\\s\"&,;]+"),
        QRegularExpression::CaseInsensitiveOption);
    // The sign-in code rides in redirect addresses ("?code=…&state=…").
    static const QRegularExpression queryCode(QStringLiteral("([?&]code=)[^\\s&\"]+"));
    static const QRegularExpression providerKey(QStringLiteral("\\bsk-[A-Za-z0-9_-]{8,}"));
    QString text = message;
    text.replace(bearer, QStringLiteral("\\1<redacted>"));
    text.replace(member, QStringLiteral("\\1<redacted>"));
    text.replace(queryCode, QStringLiteral("\\1<redacted>"));
    text.replace(providerKey, QStringLiteral("<redacted>"));
    return text;
}

QString formatLine(const QDateTime &time, const QString &category, const QString &message)
{
    QString text = redact(message);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
    text.replace(u'\n', QStringLiteral("\\n"));
    text.replace(u'\r', QStringLiteral("\\n"));
    return time.toUTC().toString(Qt::ISODate) + QStringLiteral(" [") + area(category)
        + QStringLiteral("] ") + text;
}

std::optional<QStringList> readLines(const QString &folder, const QDateTime &now, int maxLines)
{
    const QDateTime since = now.addSecs(-86400);
    const QString path = filePath(folder);
    QStringList files;
    for (int i = generations; i >= 1; --i)
        files << path + u'.' + QString::number(i);
    files << path;

    QStringList lines;
    bool anyFile = false;
    for (const QString &name : std::as_const(files)) {
        const QFileInfo info(name);
        if (!info.exists())
            continue;
        anyFile = true;
        QFile file(name);
        if (!info.isFile() || !file.open(QIODevice::ReadOnly))
            return std::nullopt;
        // Rotation bounds the files; a file made larger by someone else is read only this far.
        const QByteArray data = file.read(maxBytes * 2);
        for (const QByteArray &raw : data.split('\n')) {
            if (raw.isEmpty())
                continue;
            const qsizetype space = raw.indexOf(' ');
            if (space <= 0)
                continue;
            const QDateTime at
                = QDateTime::fromString(QString::fromLatin1(raw.left(space)), Qt::ISODate);
            if (!at.isValid() || at < since)
                continue;
            lines << QString::fromUtf8(raw);
        }
    }
    Q_UNUSED(anyFile);
    if (lines.size() > maxLines)
        lines = lines.mid(lines.size() - maxLines);
    return lines;
}

} // namespace AppLog
