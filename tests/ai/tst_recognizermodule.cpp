// The on-device recognizers live in a module the core loads on first use: no program of ours
// links tesseract or pocketsphinx, a started app never maps them, the first recognition loads
// them, and a module that is missing or cannot load fails the job in words and shows in the
// AI settings, without a crash.
#include "MemoryKeychain.h"
#include "MemoryLoginItem.h"
#include "TestSupport.h"

#include "ai/AIService.h"
#include "ai/local/LocalEngine.h"
#include "ai/local/RecognizerModule.h"
#include "base/Localization.h"
#include "settings/AppSettings.h"
#include "ui/account/AISettingsSection.h"

#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

namespace {

const QString kModule = QStringLiteral(SCRIVEL_RECOGNIZERS_MODULE);
const QString kRecording = QStringLiteral(
    "/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-0880.wav");
// The libraries that only the recognizers need (leptonica comes with tesseract). OpenMP is
// linked for them too, but Qt Core maps it anyway (through libb2), so only the module may
// name it and a running program may have it.
const QRegularExpression kRecognizerLibrary(QStringLiteral(
    "(libtesseract|liblept|libpocketsphinx|libsphinxbase)\\.so|scrivelbar-recognizers\\.so"));
const QRegularExpression kLinkedForRecognizers(
    QStringLiteral("(libtesseract|liblept|libpocketsphinx|libsphinxbase|libgomp)\\.so"));

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The recognizer libraries mapped into process `pid`, by file name.
QStringList mappedRecognizerLibraries(const QString &pid)
{
    QStringList found;
    const QString maps
        = QString::fromUtf8(TestSupport::readFile(QStringLiteral("/proc/%1/maps").arg(pid)));
    for (const QString &line : maps.split(u'\n')) {
        const QString name = line.section(u'/', -1);
        if (line.contains(u'/') && kRecognizerLibrary.match(name).hasMatch()
            && !found.contains(name))
            found.append(name);
    }
    found.sort();
    return found;
}

QString writeTextImage(const QString &path, const QString &text)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(30);
    QImage image(700, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(30, 60, text);
    painter.end();
    return image.save(path) ? path : QString();
}

// `data` as `path`, replacing what was there by a rename (a new file, as a package update
// makes it), so the loader never sees the old file changed in place.
bool replaceFile(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

} // namespace

class TestRecognizerModule : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSupport::TempFolders> m_folders;
    std::unique_ptr<AppSettings> m_settings;

    std::unique_ptr<LocalEngine> makeEngine(bool probe)
    {
        LocalEngine::Options options;
        options.probeAtStart = probe;
        return std::make_unique<LocalEngine>(m_settings.get(), options);
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        QVERIFY(QFileInfo(kModule).isFile());
        QVERIFY2(QFileInfo::exists(kRecording),
                 "pocketsphinx-testdata is not installed (scripts/setup)");
    }

    void init()
    {
        Localization::setLanguage(AppLanguage::En);
        qputenv(RecognizerModule::folderVariable, QFileInfo(kModule).path().toUtf8());
        m_folders = std::make_unique<TestSupport::TempFolders>();
        m_settings = std::make_unique<AppSettings>(m_folders->path(QStringLiteral("settings.ini")),
                                                   std::make_unique<MemoryLoginItem>());
        m_settings->setLocalSpeechURL(TestSupport::unusedAddress());
        m_settings->setLocalModelURL(TestSupport::unusedAddress());
        m_settings->setSpeechLanguage(AppLanguage::En);
        m_settings->setTranscriptionEngine(AIEngine::Local);
    }

    void cleanup()
    {
        m_settings.reset();
        m_folders.reset();
    }

    // First in this process: nothing has loaded the recognizers yet. Making the engine, its
    // look at the local servers and the settings' engine lines load nothing; the first
    // recognition loads them on a worker thread, not the caller's, and reads through them.
    void loadedByTheFirstRecognition()
    {
        const QString self = QString::number(QCoreApplication::applicationPid());
        QCOMPARE(mappedRecognizerLibraries(self), QStringList());
        auto engine = makeEngine(true);
        QSignalSpy probed(engine.get(), &LocalEngine::statusRefreshed);
        QVERIFY(probed.wait(10000));
        QVERIFY(engine->engineFor(LocalAI::Job::Text).contains(u"tesseract"));
        QCOMPARE(engine->engineFor(LocalAI::Job::Speech), L("ai.local.engine.speechClassic"));
        QCOMPARE(engine->textEngineStarts(), 0);
        QCOMPARE(mappedRecognizerLibraries(self), QStringList());

        const QString image = writeTextImage(m_folders->path(QStringLiteral("note.png")),
                                             QStringLiteral("Loaded when needed"));
        // The only worker is held at a gate: whatever loads on the calling thread shows now.
        QThreadPool *pool = QThreadPool::globalInstance();
        const int workers = pool->maxThreadCount();
        pool->setMaxThreadCount(1);
        auto gate = std::make_shared<QSemaphore>();
        pool->start([gate] { gate->acquire(); });
        auto open = qScopeGuard([&] { // also when a check below fails
            gate->release();
            pool->setMaxThreadCount(workers);
        });
        auto reading = engine->recognizeText(image);
        QCOMPARE(mappedRecognizerLibraries(self), QStringList());
        open.dismiss();
        gate->release();
        const auto text = QCoro::waitFor(std::move(reading));
        pool->setMaxThreadCount(workers);
        QVERIFY2(text, qPrintable(text ? QString() : text.error().description()));
        QCOMPARE(*text, QStringLiteral("Loaded when needed"));
        QCOMPARE(engine->textEngineStarts(), 1);
        const QString mapped = mappedRecognizerLibraries(self).join(u' ');
        for (const char *library :
             { "scrivelbar-recognizers.so", "libtesseract.so.5", "libpocketsphinx.so.3" })
            QVERIFY2(mapped.contains(QString::fromLatin1(library)), qPrintable(mapped));
    }

    // No program of ours names the recognizer libraries; the module alone does.
    void onlyTheModuleLinksTheRecognizers_data()
    {
        QTest::addColumn<QString>("binary");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("scrivelbar") << QStringLiteral(SCRIVELBAR_PATH) << QStringList();
        QTest::newRow("scrivel") << QStringLiteral(SCRIVEL_CLI_PATH) << QStringList();
        QTest::newRow("scrivelbar-bench") << QStringLiteral(SCRIVEL_BENCH_PATH) << QStringList();
        QTest::newRow("a test linking the core")
            << QCoreApplication::applicationFilePath() << QStringList();
        QTest::newRow("the module") << kModule
                                    << QStringList { "libgomp.so.1", "libpocketsphinx.so.3",
                                                     "libsphinxbase.so.3", "libtesseract.so.5" };
    }
    void onlyTheModuleLinksTheRecognizers()
    {
        QFETCH(QString, binary);
        QFETCH(QStringList, expected);
        const QString dynamic = run(QStringLiteral("readelf"), { QStringLiteral("-d"), binary });
        static const QRegularExpression needed(
            QStringLiteral("\\(NEEDED\\)\\s+Shared library: \\[([^\\]]+)\\]"));
        QStringList all;
        for (auto it = needed.globalMatch(dynamic); it.hasNext();)
            all.append(it.next().captured(1));
        QVERIFY2(all.contains(u"libc.so.6"), qPrintable(dynamic)); // the entries were read
        QStringList recognizers;
        for (const QString &library : std::as_const(all))
            if (kLinkedForRecognizers.match(library).hasMatch())
                recognizers.append(library);
        recognizers.sort();
        QCOMPARE(recognizers, expected);
    }

    // The core library calls no function of tesseract, pocketsphinx or OpenMP; the module does.
    void onlyTheModuleCallsTheRecognizers_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("calls");
        QTest::newRow("scrivel_core") << QStringList { "-u", "-C", SCRIVEL_CORE_PATH } << false;
        QTest::newRow("the module") << QStringList { "-D", "-u", "-C", kModule } << true;
    }
    void onlyTheModuleCallsTheRecognizers()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, calls);
        const QString undefined = run(QStringLiteral("nm"), arguments);
        QVERIFY(!undefined.isEmpty());
        for (const char *symbol :
             { "tesseract::TessBaseAPI::Init", "ps_init", "ps_process_raw", "omp_set_dynamic" })
            QVERIFY2(undefined.contains(QString::fromLatin1(symbol)) == calls, symbol);
    }

    // The real app, started over an empty notes folder, runs without the recognizers.
    void startedAppMapsNoRecognizer()
    {
        QTemporaryDir home;
        for (const char *folder : { "data", "config", "state", "run", "Documents" })
            QVERIFY(QDir(home.path()).mkpath(QString::fromLatin1(folder)));
        QFile::setPermissions(home.filePath(QStringLiteral("run")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("SCRIVEL_LOCAL_SPEECH_URL"), TestSupport::unusedAddress());
        env.insert(QStringLiteral("SCRIVEL_LOCAL_LLM_URL"), TestSupport::unusedAddress());
        env.remove(QString::fromLatin1(RecognizerModule::folderVariable)); // beside the program
        QProcess app;
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(SCRIVELBAR_PATH), QStringList());
        QVERIFY(app.waitForStarted());
        // A second start hands its arguments over and ends once the first one has answered
        // from its event loop: by then it has made all its services.
        const QString socket = home.filePath(QStringLiteral("data/ScrivelBar/instance.sock"));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 20000);
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(SCRIVELBAR_PATH), { QStringLiteral("--toggle") });
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
        const QString pid = QString::number(app.processId());
        const QString maps
            = QString::fromUtf8(TestSupport::readFile(QStringLiteral("/proc/%1/maps").arg(pid)));
        QVERIFY(maps.contains(u"libQt6Widgets.so") && maps.contains(u"libqoffscreen.so"));
        QCOMPARE(mappedRecognizerLibraries(pid), QStringList());
        QCOMPARE(app.state(), QProcess::Running);
        app.terminate();
        QVERIFY(app.waitForFinished(10000));
    }

    // A module that is not there or cannot be loaded fails each job in words, the settings
    // say so instead of naming the engines, and once a good module is in place the next job
    // loads it.
    void moduleThatCannotLoad_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("detail"); // in the message; "@" is the module's path
        QTest::addColumn<bool>("knownBeforeAJob");
        QTest::newRow("no module in the folder") << "none" << "@" << true;
        QTest::newRow("a file that is no library") << "garbage" << "@" << false;
        QTest::newRow("a module of another version") << "other version"
                                                     << "scrivel_create_recognizers_v1" << false;
        QTest::newRow("tesseract missing from the system") << "no tesseract"
                                                           << "libtesseract.no.5" << false;
    }
    void moduleThatCannotLoad()
    {
        QFETCH(QString, kind);
        QFETCH(QString, detail);
        QFETCH(bool, knownBeforeAJob);
        QTemporaryDir folder;
        qputenv(RecognizerModule::folderVariable, folder.path().toUtf8());
        const QString module = folder.filePath(QString::fromLatin1(RecognizerModule::fileName));
        detail.replace(u'@', module);
        const QByteArray real = TestSupport::readFile(kModule);
        QVERIFY(real.contains("libtesseract.so.5"));
        if (kind == u"garbage")
            QVERIFY(replaceFile(module, QByteArray(4096, '\x7f')));
        else if (kind == u"other version")
            QVERIFY(replaceFile(
                module, TestSupport::readFile(QStringLiteral(SCRIVEL_OTHER_VERSION_MODULE))));
        else if (kind == u"no tesseract") // as if libtesseract5 had been removed
            QVERIFY(replaceFile(module,
                                QByteArray(real).replace("libtesseract.so.", "libtesseract.no.")));

        auto engine = makeEngine(false);
        MemoryKeychain keychain;
        AIService::Options options;
        options.keychain = &keychain;
        options.local = engine.get();
        AIService ai(m_settings.get(), nullptr, options);
        AISettingsSection section(m_settings.get(), &ai, nullptr);
        section.show();
        auto *lines = section.findChild<QLabel *>(QStringLiteral("ai.local.engines"));
        QVERIFY(lines);
        const auto saysMissing = [lines] {
            const QStringList shown = lines->text().split(u'\n');
            return shown.contains(L("ai.local.engine.textMissing"))
                && shown.contains(L("ai.local.engine.speechMissing"))
                && !lines->text().contains(u"tesseract")
                && !lines->text().contains(u"pocketsphinx");
        };
        QTRY_VERIFY(!lines->text().isEmpty());
        QCOMPARE(saysMissing(), knownBeforeAJob);

        const QString image = writeTextImage(m_folders->path(QStringLiteral("note.png")),
                                             QStringLiteral("Back again"));
        const auto text = QCoro::waitFor(engine->recognizeText(image));
        QVERIFY(!text);
        const QString message = text.error().description();
        const QStringList around
            = L("ai.error.recognizerMissing", QStringLiteral("\x01")).split(u'\x01');
        QVERIFY2(message.startsWith(around.first()) && message.endsWith(around.last()),
                 qPrintable(message));
        QVERIFY2(message.contains(detail), qPrintable(message));
        QTRY_VERIFY2(saysMissing(), qPrintable(lines->text()));
        const auto words
            = QCoro::waitFor(engine->transcribe(kRecording, QLocale(QStringLiteral("en_US"))));
        QVERIFY(!words);
        QVERIFY2(words.error().description().contains(detail),
                 qPrintable(words.error().description()));

        QVERIFY(replaceFile(module, real));
        const auto again = QCoro::waitFor(engine->recognizeText(image));
        QVERIFY2(again, qPrintable(again ? QString() : again.error().description()));
        QCOMPARE(*again, QStringLiteral("Back again"));
        QTRY_VERIFY(lines->text().contains(u"tesseract"));
        QVERIFY(lines->text().contains(L("ai.local.engine.speechClassic")));
    }
};

QTEST_MAIN(TestRecognizerModule)
#include "tst_recognizermodule.moc"
