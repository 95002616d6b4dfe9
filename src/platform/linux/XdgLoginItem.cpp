#include "platform/linux/XdgLoginItem.h"

#include "base/AppInfo.h"
#include "base/Localization.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {

// An autostart entry is a few hundred bytes; anything far larger is not ours to parse.
constexpr qint64 maximumEntrySize = 64 * 1024;

const QString reservedExecCharacters = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

LoginItemError writeError(const QString &path, const QString &reason)
{
    return { LoginItemError::Code::WriteFailed,
             QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason };
}

QString escapeStringValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString unescapeStringValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value.at(++i);
        switch (next.unicode()) {
        case 's':
            out += QLatin1Char(' ');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        default:
            // Not a string escape: the backslash belongs to the Exec quoting level.
            out += c;
            out += next;
        }
    }
    return out;
}

struct DesktopEntry
{
    QHash<QString, QString> values; // keys of the [Desktop Entry] group, values unescaped
};

std::optional<DesktopEntry> parseDesktopEntry(const QByteArray &data)
{
    DesktopEntry entry;
    bool seenMainGroup = false;
    bool inMainGroup = false;
    const QString text = QString::fromUtf8(data);
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        if (trimmed.startsWith(QLatin1Char('['))) {
            if (!trimmed.endsWith(QLatin1Char(']')))
                return std::nullopt;
            const bool isMain = trimmed == QLatin1String("[Desktop Entry]");
            // The format requires the main group to come first.
            if (!seenMainGroup && !isMain)
                return std::nullopt;
            if (isMain && seenMainGroup)
                return std::nullopt;
            seenMainGroup = seenMainGroup || isMain;
            inMainGroup = isMain;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!seenMainGroup || equals <= 0)
            return std::nullopt;
        if (!inMainGroup)
            continue;
        const QString key = line.left(equals).trimmed();
        if (!entry.values.contains(key))
            entry.values.insert(key, unescapeStringValue(line.mid(equals + 1).trimmed()));
    }
    if (!seenMainGroup)
        return std::nullopt;
    return entry;
}

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.isFile() && info.isExecutable();
}

bool isInside(const QString &path, const QString &folder)
{
    const QString base = QDir::cleanPath(folder);
    return !folder.isEmpty() && base != QLatin1String("/")
        && QDir::cleanPath(path).startsWith(base + QLatin1Char('/'));
}

// The top of the CMake build tree that holds `path`, or nothing when it is not in one. A
// build folder is a developer's working copy: cleaned, rebuilt or deleted at any time.
QString buildTreeOf(const QString &path)
{
    QDir dir = QFileInfo(path).absoluteDir();
    while (true) {
        if (QFileInfo::exists(dir.filePath(QStringLiteral("CMakeCache.txt"))))
            return dir.absolutePath();
        if (!dir.cdUp())
            return {};
    }
}

bool isFieldCode(const QString &argument)
{
    static const QString codes = QStringLiteral("fFuUickdDnNvm");
    return argument.size() == 2 && argument.at(0) == QLatin1Char('%')
        && codes.contains(argument.at(1));
}

} // namespace

XdgLoginItem::XdgLoginItem(QString autostartDirectory, QString executable)
    : m_directory(std::move(autostartDirectory))
    , m_executable(std::move(executable))
{
    if (m_directory.isEmpty())
        m_directory = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                          .filePath(QStringLiteral("autostart"));
    if (m_executable.isEmpty()) {
        const QString running = QCoreApplication::applicationFilePath();
        const auto program = programToStart(running, QProcessEnvironment::systemEnvironment());
        m_executable = program.value_or(running);
        if (!program)
            m_notInstalled = program.error();
    }
}

std::expected<QString, QString>
XdgLoginItem::programToStart(const QString &running, const QProcessEnvironment &environment)
{
    // An AppImage runs from a mount point ($APPDIR) that exists only while it runs; the file
    // to start is $APPIMAGE. Both are inherited by programs it starts, so they count only for
    // a program inside that mount.
    const QString appDir = environment.value(QStringLiteral("APPDIR"));
    if (isInside(running, appDir)) {
        const QString image = environment.value(QStringLiteral("APPIMAGE"));
        if (QDir::isAbsolutePath(image) && isExecutableFile(image))
            return QDir::cleanPath(image);
        return std::unexpected(L("account.launchAtLogin.appImage", QDir::toNativeSeparators(appDir)));
    }
    const QString buildTree = buildTreeOf(running);
    if (buildTree.isEmpty())
        return running;
    const QStringList path
        = environment.value(QStringLiteral("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &folder : path) {
        if (!QDir::isAbsolutePath(folder))
            continue;
        const QString candidate = QDir(folder).filePath(QFileInfo(running).fileName());
        if (isExecutableFile(candidate) && !isInside(candidate, buildTree))
            return QDir::cleanPath(candidate);
    }
    return std::unexpected(
        L("account.launchAtLogin.buildFolder", QDir::toNativeSeparators(running)));
}

QString XdgLoginItem::entryPath() const
{
    return QDir(m_directory)
        .filePath(QString::fromLatin1(AppInfo::identifier) + QStringLiteral(".desktop"));
}

QString XdgLoginItem::quoteExecArgument(const QString &argument)
{
    QString quoted;
    const bool needsQuotes = argument.isEmpty()
        || std::any_of(argument.begin(), argument.end(),
                       [](QChar c) { return reservedExecCharacters.contains(c); });
    if (needsQuotes) {
        quoted += QLatin1Char('"');
        for (const QChar c : argument) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
                || c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        quoted += QLatin1Char('"');
    } else {
        quoted = argument;
    }
    // A bare % would start a field code that the session expands.
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return escapeStringValue(quoted);
}

std::optional<QStringList> XdgLoginItem::splitExec(const QString &value)
{
    // `value` has already had the string escapes undone; what is left is the quoting level.
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool inQuotes = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else if (c == QLatin1Char('\\')) {
                if (i + 1 == value.size())
                    return std::nullopt;
                const QChar next = value.at(++i);
                if (!QStringLiteral("\"`$\\").contains(next))
                    return std::nullopt;
                current += next;
            } else {
                current += c;
            }
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (inArgument)
                arguments.append(current);
            current.clear();
            inArgument = false;
        } else if (c == QLatin1Char('"')) {
            inQuotes = true;
            inArgument = true;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inQuotes)
        return std::nullopt;
    if (inArgument)
        arguments.append(current);

    QStringList result;
    for (QString argument : std::as_const(arguments)) {
        if (isFieldCode(argument))
            continue;
        argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
        result.append(argument);
    }
    return result;
}

QByteArray XdgLoginItem::entryText(const QString &executable)
{
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Version=1.5\n");
    text += QStringLiteral("Name=") + escapeStringValue(AppInfo::name()) + QLatin1Char('\n');
    // Session managers show the comment under the name in their startup list.
    text += QStringLiteral("Comment=") + escapeStringValue(L("account.launchAtLogin"))
        + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + quoteExecArgument(executable) + QLatin1Char(' ')
        + hiddenArgument() + QLatin1Char('\n');
    text += QStringLiteral("Icon=") + QString::fromLatin1(AppInfo::identifier) + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

LoginItem::Status XdgLoginItem::status() const
{
    QFile file(entryPath());
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return Status::NotRegistered;
    if (file.size() > maximumEntrySize)
        return Status::NotRegistered;
    const auto entry = parseDesktopEntry(file.readAll());
    if (!entry)
        return Status::NotRegistered;
    const auto &values = entry->values;
    const auto isTrue = [&](const char *key) {
        return values.value(QString::fromLatin1(key))
                   .compare(QLatin1String("true"), Qt::CaseInsensitive)
            == 0;
    };
    const auto isFalse = [&](const char *key) {
        return values.value(QString::fromLatin1(key))
                   .compare(QLatin1String("false"), Qt::CaseInsensitive)
            == 0;
    };
    if (values.value(QStringLiteral("Type")) != QLatin1String("Application"))
        return Status::NotRegistered;
    if (isTrue("Hidden") || isFalse("X-GNOME-Autostart-enabled"))
        return Status::NotRegistered;
    const auto arguments = splitExec(values.value(QStringLiteral("Exec")));
    if (!arguments || arguments->isEmpty() || arguments->first().isEmpty())
        return Status::NotRegistered;
    // An entry that starts a program which is gone (the app was moved or removed) would do
    // nothing at login, so it must not show as enabled.
    const QString program = arguments->first();
    const QString resolved
        = QDir::isAbsolutePath(program) ? program : QStandardPaths::findExecutable(program);
    const QFileInfo info(resolved);
    if (resolved.isEmpty() || !info.isFile() || !info.isExecutable())
        return Status::NotFound;
    return Status::Enabled;
}

std::expected<void, LoginItemError> XdgLoginItem::registerItem()
{
    // An entry for a program that is gone at the next login would do nothing.
    if (!m_notInstalled.isEmpty())
        return std::unexpected(LoginItemError { LoginItemError::Code::NotInstalled, m_notInstalled });
    // mkpath's result carries no reason; the file open below reports the real one.
    QDir().mkpath(m_directory);
    const QString path = entryPath();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return std::unexpected(writeError(path, file.errorString()));
    const QByteArray text = entryText(m_executable);
    if (file.write(text) != text.size() || !file.commit())
        return std::unexpected(writeError(path, file.errorString()));
    const Status after = status();
    if (after != Status::Enabled) {
        // Reporting success here would leave the switch on while nothing starts at login.
        return std::unexpected(LoginItemError { LoginItemError::Code::NotEffective,
                                                QDir::toNativeSeparators(path)
                                                    + QStringLiteral(": ")
                                                    + QDir::toNativeSeparators(m_executable) });
    }
    return {};
}

std::expected<void, LoginItemError> XdgLoginItem::unregisterItem()
{
    const QString path = entryPath();
    QFile file(path);
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return {};
    if (!file.remove())
        return std::unexpected(writeError(path, file.errorString()));
    return {};
}
