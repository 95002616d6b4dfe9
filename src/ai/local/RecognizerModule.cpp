#include "ai/local/RecognizerModule.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcRecognizers, "app.scrivelbar.app.ai")

std::expected<Recognizers::Create, QString> loadModule()
{
    const QString path = RecognizerModule::locate();
    if (path.isEmpty()) {
        // Words would be English here; the paths looked at speak every language.
        QStringList tried;
        for (const QString &folder : RecognizerModule::searchFolders())
            tried << QDir(folder).filePath(QString::fromLatin1(RecognizerModule::fileName));
        return std::unexpected(tried.join(QStringLiteral(", ")));
    }
    QElapsedTimer timer;
    timer.start();
    // A module that loaded stays loaded (a later load only counts up): tesseract and OpenMP
    // leave threads and exit handlers behind that must not outlive their code.
    QLibrary library(path);
    if (!library.load()) {
        qCWarning(lcRecognizers).noquote()
            << "cannot load the recognizers:" << library.errorString();
        return std::unexpected(library.errorString());
    }
    const auto create
        = reinterpret_cast<Recognizers::Create>(library.resolve(Recognizers::createSymbol));
    if (!create) {
        // Qt leaves the reason out; the words are the dynamic loader's own.
        const QString problem = QStringLiteral("%1: undefined symbol: %2")
                                    .arg(path, QString::fromLatin1(Recognizers::createSymbol));
        qCWarning(lcRecognizers).noquote() << "not a recognizer module:" << problem;
        // Unmapped again, so that a good module put in its place is read the next time.
        library.unload();
        return std::unexpected(problem);
    }
    qCInfo(lcRecognizers, "recognizers loaded from %s in %.1f ms", qUtf8Printable(path),
           double(timer.nsecsElapsed()) / 1e6);
    return create;
}

} // namespace

RecognizerModule::RecognizerModule(Recognizers::Paths paths)
    : m_paths(std::move(paths))
{
}

RecognizerModule::~RecognizerModule() = default;

std::expected<Recognizers::Engines *, QString> RecognizerModule::engines()
{
    const QMutexLocker locker(&m_lock);
    if (m_engines)
        return m_engines.get();
    const auto create = loadModule();
    if (!create)
        return std::unexpected(create.error());
    m_engines.reset((*create)(m_paths));
    if (!m_engines)
        return std::unexpected(locate()); // it threw while making them
    return m_engines.get();
}

int RecognizerModule::textStarts()
{
    const QMutexLocker locker(&m_lock);
    return m_engines ? m_engines->text().starts() : 0;
}

QStringList RecognizerModule::searchFolders()
{
    if (const QString chosen = qEnvironmentVariable(folderVariable); !chosen.isEmpty())
        return { QDir::cleanPath(chosen) };
    // Only where the program itself came from, never the working folder or a search path:
    // the module is code. Its own folder is a build tree; the private folder relative to it
    // an install (under any prefix, moved or not).
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (program.isEmpty())
        return {};
    const QDir own = QFileInfo(program).dir();
    return { own.path(),
             QDir::cleanPath(own.filePath(QStringLiteral(SCRIVEL_RECOGNIZERS_RELATIVE_DIR))) };
}

QString RecognizerModule::locate()
{
    for (const QString &folder : searchFolders()) {
        const QFileInfo module(QDir(folder).filePath(QString::fromLatin1(fileName)));
        if (module.isFile())
            return module.filePath();
    }
    return {};
}
