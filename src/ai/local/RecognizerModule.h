#pragma once

#include "ai/local/Recognizers.h"

#include <QMutex>
#include <QString>
#include <QStringList>

#include <expected>
#include <memory>

/// The recognizers of one on-device engine, made from the recognizer module when a job first
/// needs one. Loading the module maps tesseract, pocketsphinx and their libraries (tens of
/// milliseconds), so `engines` belongs on a worker thread; nothing else here loads it.
class RecognizerModule
{
public:
    /// The module's file name.
    static constexpr const char *fileName = "scrivelbar-recognizers.so";
    /// When set, the one folder the module is looked for in (tests point it elsewhere).
    static constexpr const char *folderVariable = "SCRIVEL_RECOGNIZERS_DIR";

    explicit RecognizerModule(Recognizers::Paths paths);
    ~RecognizerModule();
    RecognizerModule(const RecognizerModule &) = delete;
    RecognizerModule &operator=(const RecognizerModule &) = delete;

    /// The recognizers, made on the first call, which loads the module and blocks meanwhile.
    /// When it cannot be loaded: why, in the loader's words (the folders looked in, the
    /// library that is missing), to be shown inside a message; the next call tries again, as
    /// the missing part may have been installed since.
    std::expected<Recognizers::Engines *, QString> engines();
    /// How many times the text engine has been started; 0 before the recognizers are made.
    int textStarts();

    /// Where the module is looked for, in order: $SCRIVEL_RECOGNIZERS_DIR alone when set;
    /// else the program's own folder (a build tree), then the private library folder beside
    /// the program's (an install: bin/../lib/<triplet>/scrivelbar).
    static QStringList searchFolders();
    /// The module in the first of those folders that has it; empty when none does. Looks at
    /// files only: cheap enough for the main thread, and it never loads anything.
    static QString locate();

private:
    QMutex m_lock;
    const Recognizers::Paths m_paths;
    std::unique_ptr<Recognizers::Engines> m_engines;
};
