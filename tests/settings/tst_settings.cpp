#include "TestSupport.h"
#include "platform/linux/XdgLoginItem.h"
#include "MemoryLoginItem.h"

#include "base/AppInfo.h"
#include "base/AppPaths.h"
#include "settings/AppSettings.h"

#include <QDir>
#include <QMetaProperty>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

using Status = LoginItem::Status;

namespace {

// A settings file holding exactly `body` under [General], the way a user or an older version
// might have left it.
QString iniWith(const QTemporaryDir &dir, const QByteArray &body)
{
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    TestSupport::writeFile(path, "[General]\n" + body);
    return path;
}

// Sets an environment variable for one scope.
class EnvironmentOverride
{
public:
    EnvironmentOverride(const char *name, const QByteArray &value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvironmentOverride()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace

class AppSettingsTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    std::unique_ptr<AppSettings> open(const QString &file, MemoryLoginItem **fake = nullptr,
                                      Status status = Status::NotRegistered)
    {
        auto item = std::make_unique<MemoryLoginItem>();
        item->setStatus(status);
        if (fake)
            *fake = item.get();
        return std::make_unique<AppSettings>(file, std::move(item));
    }

    QString freshFile()
    {
        return m_dir.filePath(QUuid::createUuid().toString(QUuid::WithoutBraces) + ".ini");
    }

private slots:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        QVERIFY(m_dir.isValid());
        Localization::setTableDirectory(QStringLiteral(TEST_TABLES_DIR));
        Localization::setLanguage(AppLanguage::En);
    }

    void cleanup() { Localization::setLanguage(AppLanguage::En); }

    void defaults()
    {
        auto settings = open(freshFile());
        QCOMPARE(settings->menuBarIcon(), MenuBarIcon::Dotted);
        QCOMPARE(settings->email(), QString());
        QCOMPARE(settings->autoSync(), true);
        QCOMPARE(settings->hotKey(), HotKeyCombo::OptionSpace);
        QCOMPARE(settings->notesFolder(), AppPaths::defaultNotesFolder());
        QCOMPARE(settings->panelHeight(), 520);
        QCOMPARE(settings->language(), AppLanguage::System);
        QCOMPARE(settings->aiProvider(), AIProvider::None);
        QVERIFY(settings->aiModels().isEmpty());
        QCOMPARE(settings->summaryEngine(), AIEngine::Local);
        QCOMPARE(settings->transcriptionEngine(), AIEngine::Local);
        QCOMPARE(settings->speechLanguage(), AppLanguage::System);
        QCOMPARE(settings->aiAskBeforeSending(), true);
        QCOMPARE(settings->launchAtLogin(), false);
        QCOMPARE(settings->launchAtLoginProblem(), QString());
        // Constructing applies the stored (here: default) language.
        QCOMPARE(Localization::language(), AppLanguage::System);
    }

    void storedValues_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("expected");
        const auto row = [](const char *name, const char *line, const char *property, QVariant v) {
            QTest::newRow(name) << QByteArray(line) << QString::fromLatin1(property) << v;
        };
        // panelHeight: clamped, wrong types give 520
        row("panelHeight 2000 is 900", "panelHeight=2000", "panelHeight", 900);
        row("panelHeight 100 is 380", "panelHeight=100", "panelHeight", 380);
        row("panelHeight missing is 520", "", "panelHeight", 520);
        row("panelHeight 640", "panelHeight=640", "panelHeight", 640);
        row("panelHeight fractional", "panelHeight=637.6", "panelHeight", 638);
        row("panelHeight negative", "panelHeight=-5", "panelHeight", 380);
        row("panelHeight padded", "panelHeight=\" 600 \"", "panelHeight", 600);
        row("panelHeight text", "panelHeight=abc", "panelHeight", 520);
        row("panelHeight Bool", "panelHeight=true", "panelHeight", 520);
        row("panelHeight nan", "panelHeight=nan", "panelHeight", 520);
        row("panelHeight inf", "panelHeight=inf", "panelHeight", 520);
        row("panelHeight huge", "panelHeight=1e308", "panelHeight", 900);
        row("panelHeight list", "panelHeight=500, 600", "panelHeight", 520);
        row("panelHeight empty", "panelHeight=", "panelHeight", 520);
        // Bools: only values that spell a Bool count
        row("autoSync false", "autoSync=false", "autoSync", false);
        row("autoSync 0", "autoSync=0", "autoSync", false);
        row("autoSync FALSE", "autoSync=FALSE", "autoSync", false);
        row("autoSync true", "autoSync=true", "autoSync", true);
        row("autoSync prose", "autoSync=yes please", "autoSync", true);
        row("aiAskBeforeSending false", "aiAskBeforeSending=false", "aiAskBeforeSending", false);
        row("aiAskBeforeSending 2", "aiAskBeforeSending=2", "aiAskBeforeSending", true);
        row("aiAskBeforeSending list", "aiAskBeforeSending=false, false", "aiAskBeforeSending",
            true);
        row("aiAskBeforeSending no", "aiAskBeforeSending=no", "aiAskBeforeSending", true);
        // Raw values
        row("hotKey f13", "hotKey=f13", "hotKey", QVariant::fromValue(HotKeyCombo::OptionSpace));
        row("hotKey controlOptionN", "hotKey=controlOptionN", "hotKey",
            QVariant::fromValue(HotKeyCombo::ControlOptionN));
        row("hotKey none", "hotKey=none", "hotKey", QVariant::fromValue(HotKeyCombo::None));
        row("hotKey wrong case", "hotKey=ControlSpace", "hotKey",
            QVariant::fromValue(HotKeyCombo::OptionSpace));
        row("menuBarIcon case name pencil", "menuBarIcon=pencil", "menuBarIcon",
            QVariant::fromValue(MenuBarIcon::Dotted));
        row("menuBarIcon pencil raw", "menuBarIcon=pencil.and.outline", "menuBarIcon",
            QVariant::fromValue(MenuBarIcon::Pencil));
        row("menuBarIcon list raw", "menuBarIcon=list.bullet.below.rectangle", "menuBarIcon",
            QVariant::fromValue(MenuBarIcon::List));
        row("language es", "language=es", "language", QVariant::fromValue(AppLanguage::Es));
        row("language pt-BR unknown", "language=pt-BR", "language",
            QVariant::fromValue(AppLanguage::System));
        row("aiProvider openrouter", "aiProvider=openrouter", "aiProvider",
            QVariant::fromValue(AIProvider::OpenRouter));
        row("aiProvider display name", "aiProvider=OpenAI", "aiProvider",
            QVariant::fromValue(AIProvider::None));
        row("summaryEngine provider", "summaryEngine=provider", "summaryEngine",
            QVariant::fromValue(AIEngine::Provider));
        row("summaryEngine Provider", "summaryEngine=Provider", "summaryEngine",
            QVariant::fromValue(AIEngine::Local));
        row("transcriptionEngine provider", "transcriptionEngine=provider", "transcriptionEngine",
            QVariant::fromValue(AIEngine::Provider));
        row("transcriptionEngine cloud", "transcriptionEngine=cloud", "transcriptionEngine",
            QVariant::fromValue(AIEngine::Local));
        row("speechLanguage pt", "speechLanguage=pt", "speechLanguage",
            QVariant::fromValue(AppLanguage::Pt));
        row("speechLanguage list", "speechLanguage=en, es", "speechLanguage",
            QVariant::fromValue(AppLanguage::System));
        // Text
        row("email", "email=ana@example.com", "email", QStringLiteral("ana@example.com"));
        row("email list", "email=a, b", "email", QString());
        row("notesFolder absolute", "notesFolder=/srv/notes/../my notes", "notesFolder",
            QStringLiteral("/srv/my notes"));
        row("notesFolder home", "notesFolder=~/Notes", "notesFolder",
            QDir::homePath() + QStringLiteral("/Notes"));
        row("notesFolder relative", "notesFolder=notes", "notesFolder",
            AppPaths::defaultNotesFolder());
        row("notesFolder empty", "notesFolder=", "notesFolder", AppPaths::defaultNotesFolder());
    }
    void storedValues()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, property);
        QFETCH(QVariant, expected);
        QTemporaryDir dir;
        if (line.startsWith("notesFolder=") && expected == AppPaths::defaultNotesFolder())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not absolute")));
        auto settings = open(iniWith(dir, line + "\n"));
        const QVariant actual = settings->property(qPrintable(property));
        QVERIFY(actual.isValid());
        QCOMPARE(actual, expected);
    }

    // A first start is told apart from a stored choice that equals the default.
    void hotKeyStored_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("stored");
        QTest::newRow("nothing") << QByteArray() << false;
        QTest::newRow("the default") << QByteArray("hotKey=optionSpace") << true;
        QTest::newRow("none") << QByteArray("hotKey=none") << true;
        QTest::newRow("unknown") << QByteArray("hotKey=f13") << false;
        QTest::newRow("wrong case") << QByteArray("hotKey=ControlSpace") << false;
    }
    void hotKeyStored()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, stored);
        QTemporaryDir dir;
        auto settings = open(iniWith(dir, line + "\n"));
        QCOMPARE(settings->hotKeyStored(), stored);
        settings->setHotKey(HotKeyCombo::ControlOptionN);
        QVERIFY(settings->hotKeyStored());
    }

    void changesAreSignalledAndWrittenAtOnce_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("menuBarIcon") << "menuBarIcon" << QVariant::fromValue(MenuBarIcon::Append)
                                     << QByteArray("menuBarIcon=doc.append");
        QTest::newRow("email") << "email" << QVariant(QStringLiteral("a@b.c"))
                               << QByteArray("email=a@b.c");
        QTest::newRow("autoSync") << "autoSync" << QVariant(false) << QByteArray("autoSync=false");
        QTest::newRow("hotKey") << "hotKey" << QVariant::fromValue(HotKeyCombo::CommandShiftSpace)
                                << QByteArray("hotKey=commandShiftSpace");
        QTest::newRow("notesFolder") << "notesFolder" << QVariant(QStringLiteral("/srv/n"))
                                     << QByteArray("notesFolder=/srv/n");
        QTest::newRow("panelHeight")
            << "panelHeight" << QVariant(640) << QByteArray("panelHeight=640");
        QTest::newRow("language") << "language" << QVariant::fromValue(AppLanguage::Pt)
                                  << QByteArray("language=pt");
        QTest::newRow("aiProvider") << "aiProvider" << QVariant::fromValue(AIProvider::DeepSeek)
                                    << QByteArray("aiProvider=deepseek");
        QTest::newRow("summaryEngine") << "summaryEngine" << QVariant::fromValue(AIEngine::Provider)
                                       << QByteArray("summaryEngine=provider");
        QTest::newRow("transcriptionEngine")
            << "transcriptionEngine" << QVariant::fromValue(AIEngine::Provider)
            << QByteArray("transcriptionEngine=provider");
        QTest::newRow("speechLanguage") << "speechLanguage" << QVariant::fromValue(AppLanguage::Es)
                                        << QByteArray("speechLanguage=es");
        QTest::newRow("aiAskBeforeSending")
            << "aiAskBeforeSending" << QVariant(false) << QByteArray("aiAskBeforeSending=false");
        QTest::newRow("aiModels") << "aiModels"
                                  << QVariant::fromValue(AppSettings::ModelMap {
                                         { QStringLiteral("openai"), QStringLiteral("gpt-x") } })
                                  << QByteArray("[aiModels]\nopenai=gpt-x");
    }
    void changesAreSignalledAndWrittenAtOnce()
    {
        QFETCH(QString, property);
        QFETCH(QVariant, value);
        QFETCH(QByteArray, stored);
        const QString file = freshFile();
        auto settings = open(file);
        const QMetaObject *meta = settings->metaObject();
        const QMetaProperty prop = meta->property(meta->indexOfProperty(qPrintable(property)));
        QVERIFY(prop.isValid());
        QVERIFY(prop.hasNotifySignal());
        QSignalSpy spy(settings.get(),
                       QByteArray("2" + prop.notifySignal().methodSignature()).constData());
        QVERIFY(spy.isValid());

        QVERIFY(prop.write(settings.get(), value));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0), value); // the signal carries the new value
        QCOMPARE(prop.read(settings.get()), value);
        // On disk before anything else happens.
        QVERIFY2(TestSupport::readFile(file).contains(stored),
                 TestSupport::readFile(file).constData());

        QVERIFY(prop.write(settings.get(), value));
        QCOMPARE(spy.count(), 1); // no change, no signal
    }

    void everyFieldPersists()
    {
        const QString file = freshFile();
        {
            auto a = open(file);
            a->setMenuBarIcon(MenuBarIcon::Stack);
            a->setEmail(QStringLiteral("ana@example.com"));
            a->setAutoSync(false);
            a->setHotKey(HotKeyCombo::None);
            a->setNotesFolder(QStringLiteral("/srv/Notes, with comma"));
            a->setPanelHeight(880);
            a->setLanguage(AppLanguage::Es);
            a->setAiProvider(AIProvider::Anthropic);
            a->setAiModel(AIProvider::Anthropic, QStringLiteral("claude-x"));
            a->setSummaryEngine(AIEngine::Provider);
            a->setTranscriptionEngine(AIEngine::Provider);
            a->setSpeechLanguage(AppLanguage::Pt);
            a->setAiAskBeforeSending(false);
        }
        // A fresh QSettings object reads the file from disk, not the first one's cache.
        QSettings raw(file, QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("menuBarIcon")).toString(),
                 QStringLiteral("rectangle.stack"));
        QVERIFY(!raw.contains(QStringLiteral("AppleLanguages")));

        auto b = open(file);
        QCOMPARE(b->menuBarIcon(), MenuBarIcon::Stack);
        QCOMPARE(b->email(), QStringLiteral("ana@example.com"));
        QCOMPARE(b->autoSync(), false);
        QCOMPARE(b->hotKey(), HotKeyCombo::None);
        QCOMPARE(b->notesFolder(), QStringLiteral("/srv/Notes, with comma"));
        QCOMPARE(b->panelHeight(), 880);
        QCOMPARE(b->language(), AppLanguage::Es);
        QCOMPARE(b->aiProvider(), AIProvider::Anthropic);
        QCOMPARE(b->aiModel(AIProvider::Anthropic), QStringLiteral("claude-x"));
        QCOMPARE(b->summaryEngine(), AIEngine::Provider);
        QCOMPARE(b->transcriptionEngine(), AIEngine::Provider);
        QCOMPARE(b->speechLanguage(), AppLanguage::Pt);
        QCOMPARE(b->aiAskBeforeSending(), false);
        // The stored language is in force as soon as the settings exist.
        QCOMPARE(Localization::language(), AppLanguage::Es);
    }

    void panelHeightSetterClamps_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("too high") << 1000 << 900;
        QTest::newRow("too low") << 0 << 380;
        QTest::newRow("in range") << 700 << 700;
    }
    void panelHeightSetterClamps()
    {
        QFETCH(int, value);
        QFETCH(int, expected);
        const QString file = freshFile();
        open(file)->setPanelHeight(value);
        QCOMPARE(open(file)->panelHeight(), expected);
    }

    void aiModel_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<AIProvider>("provider");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none default") << QByteArray() << AIProvider::None << "";
        QTest::newRow("anthropic default")
            << QByteArray() << AIProvider::Anthropic << "claude-opus-5";
        QTest::newRow("openai default") << QByteArray() << AIProvider::OpenAI << "gpt-5-mini";
        QTest::newRow("deepseek default")
            << QByteArray() << AIProvider::DeepSeek << "deepseek-chat";
        QTest::newRow("openrouter default")
            << QByteArray() << AIProvider::OpenRouter << "openrouter/auto";
        QTest::newRow("entry trimmed")
            << QByteArray("openai=\"  gpt-4o\\t\\n \"") << AIProvider::OpenAI << "gpt-4o";
        QTest::newRow("blank entry gives default")
            << QByteArray("deepseek=\"   \"") << AIProvider::DeepSeek << "deepseek-chat";
        QTest::newRow("other provider's entry")
            << QByteArray("openai=gpt-4o") << AIProvider::Anthropic << "claude-opus-5";
        QTest::newRow("slash in model name")
            << QByteArray("openrouter=meta/llama") << AIProvider::OpenRouter << "meta/llama";
        QTest::newRow("list value ignored")
            << QByteArray("openai=a, b") << AIProvider::OpenAI << "gpt-5-mini";
    }
    void aiModel()
    {
        QFETCH(QByteArray, stored);
        QFETCH(AIProvider, provider);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        auto settings = open(iniWith(dir, "\n[aiModels]\n" + stored + "\n"));
        QCOMPARE(settings->aiModel(provider), expected);
    }

    void aiModelsEditing()
    {
        const QString file = freshFile();
        auto settings = open(file);
        QSignalSpy spy(settings.get(), &AppSettings::aiModelsChanged);
        settings->setAiModels({ { QStringLiteral("openai"), QStringLiteral("gpt-x") },
                                { QStringLiteral("bad/key"), QStringLiteral("x") },
                                { QString(), QStringLiteral("x") },
                                { QStringLiteral("deepseek"), QString() } });
        const AppSettings::ModelMap expected { { QStringLiteral("openai"),
                                                 QStringLiteral("gpt-x") } };
        QCOMPARE(settings->aiModels(), expected);
        QCOMPARE(spy.count(), 1);
        settings->setAiModel(AIProvider::OpenAI, QString()); // emptying the field: default again
        QVERIFY(settings->aiModels().isEmpty());
        QCOMPARE(settings->aiModel(AIProvider::OpenAI), QStringLiteral("gpt-5-mini"));
        QCOMPARE(spy.count(), 2);
        QVERIFY(open(file)->aiModels().isEmpty()); // the removed entry is gone from disk too
    }

    void languageSwitchesLocalization()
    {
        const QString file = freshFile();
        auto settings = open(file);
        QSignalSpy spy(settings.get(), &AppSettings::languageChanged);
        settings->setLanguage(AppLanguage::Es);
        QCOMPARE(Localization::language(), AppLanguage::Es);
        QCOMPARE(Localization::loadedTable(), QStringLiteral("es_ES"));
        QCOMPARE(L("test.greeting"), QStringLiteral("Hola desde España"));
        QCOMPARE(spy.count(), 1);
        settings->setLanguage(AppLanguage::System);
        QCOMPARE(Localization::language(), AppLanguage::System);
        QSettings raw(file, QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("language")).toString(), QStringLiteral("system"));
        QVERIFY(!raw.contains(QStringLiteral("AppleLanguages")));
    }

    void speechLocale_data()
    {
        QTest::addColumn<AppLanguage>("speech");
        QTest::addColumn<AppLanguage>("interface");
        QTest::addColumn<QString>("name");
        QTest::newRow("en") << AppLanguage::En << AppLanguage::Es << "en_US";
        QTest::newRow("es") << AppLanguage::Es << AppLanguage::En << "es_ES";
        QTest::newRow("pt") << AppLanguage::Pt << AppLanguage::En << "pt_BR";
        QTest::newRow("system follows the interface")
            << AppLanguage::System << AppLanguage::Pt << "pt_BR";
        QTest::newRow("system with system interface")
            << AppLanguage::System << AppLanguage::System << QLocale::system().name();
    }
    void speechLocale()
    {
        QFETCH(AppLanguage, speech);
        QFETCH(AppLanguage, interface);
        QFETCH(QString, name);
        auto settings = open(freshFile());
        settings->setLanguage(interface);
        settings->setSpeechLanguage(speech);
        QCOMPARE(settings->speechLocale().name(), name);
    }

    void notesFolderSetterRefusesRelativePaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("relative") << "notes";
        QTest::newRow("empty") << "";
        QTest::newRow("blank") << "   ";
    }
    void notesFolderSetterRefusesRelativePaths()
    {
        QFETCH(QString, path);
        auto settings = open(freshFile());
        QSignalSpy spy(settings.get(), &AppSettings::notesFolderChanged);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("not an absolute path")));
        settings->setNotesFolder(path);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(settings->notesFolder(), AppPaths::defaultNotesFolder());
    }

    void serverAndFoldersFollowTheDevelopmentServer()
    {
        {
            EnvironmentOverride env("SCRIVEL_DEV_SERVER", "http://127.0.0.1:8787//");
            auto settings = open(freshFile());
            QCOMPARE(settings->serverURL(), QStringLiteral("http://127.0.0.1:8787"));
            QCOMPARE(AppPaths::folderName(), QStringLiteral("ScrivelBar Dev"));
            QVERIFY(AppPaths::defaultNotesFolder().endsWith(QStringLiteral("/ScrivelBar Dev")));
            QCOMPARE(AppPaths::defaultSupportFolder(),
                     QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                         + QStringLiteral("/ScrivelBar Dev"));
            QCOMPARE(settings->notesFolder(), AppPaths::defaultNotesFolder());
        }
        EnvironmentOverride env("SCRIVEL_DEV_SERVER", QByteArray());
        if (AppInfo::devServer())
            QSKIP("this build has a development server compiled in");
        QCOMPARE(open(freshFile())->serverURL(), QStringLiteral("https://api.scrivelbar.app"));
        QCOMPARE(AppPaths::defaultNotesFolder(),
                 QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                     + QStringLiteral("/ScrivelBar"));
        QCOMPARE(AppPaths::defaultSupportFolder(),
                 QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                     + QStringLiteral("/ScrivelBar"));
    }

    void appInfoFallbacks()
    {
        QCOMPARE(AppInfo::name(), QStringLiteral("ScrivelBar"));
        QVERIFY(!AppInfo::version().isEmpty());
        QVERIFY(!AppInfo::build().isEmpty());
        EnvironmentOverride env("SCRIVEL_DEV_SERVER", "   ");
        // Blank is the same as unset: the compiled-in value (empty in normal builds) applies.
        if (const auto dev = AppInfo::devServer())
            QVERIFY(!dev->trimmed().isEmpty());
    }

    // --- launch at login -------------------------------------------------------------------

    void launchAtLoginMirrorsTheLoginItem_data()
    {
        QTest::addColumn<Status>("status");
        QTest::addColumn<bool>("expected");
        QTest::newRow("enabled") << Status::Enabled << true;
        QTest::newRow("not registered") << Status::NotRegistered << false;
        QTest::newRow("requires approval") << Status::RequiresApproval << false;
        QTest::newRow("not found") << Status::NotFound << false;
    }
    void launchAtLoginMirrorsTheLoginItem()
    {
        QFETCH(Status, status);
        QFETCH(bool, expected);
        MemoryLoginItem *fake = nullptr;
        auto settings = open(freshFile(), &fake, status);
        QCOMPARE(settings->launchAtLogin(), expected);
        QCOMPARE(fake->registerCalls() + fake->unregisterCalls(), 0);
    }

    void launchAtLoginRegistersAndUnregisters()
    {
        MemoryLoginItem *fake = nullptr;
        auto settings = open(freshFile(), &fake);
        QSignalSpy spy(settings.get(), &AppSettings::launchAtLoginChanged);
        settings->setLaunchAtLogin(true);
        QCOMPARE(fake->status(), Status::Enabled);
        QCOMPARE(fake->registerCalls(), 1);
        QCOMPARE(settings->launchAtLoginProblem(), QString());
        settings->setLaunchAtLogin(false);
        QCOMPARE(fake->status(), Status::NotRegistered);
        QCOMPARE(fake->unregisterCalls(), 1);
        QCOMPARE(spy.count(), 2);
    }

    void launchAtLoginFailureRevertsAndExplains()
    {
        MemoryLoginItem *fake = nullptr;
        auto settings = open(freshFile(), &fake);
        fake->setFailure(QStringLiteral("session bus says no"));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("login item change failed")));
        QSignalSpy changed(settings.get(), &AppSettings::launchAtLoginChanged);
        QSignalSpy problem(settings.get(), &AppSettings::launchAtLoginProblemChanged);
        settings->setLaunchAtLogin(true);
        QCOMPARE(settings->launchAtLogin(), false);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.at(0).at(0).toBool(), true);
        QCOMPARE(changed.at(1).at(0).toBool(), false);
        QCOMPARE(fake->registerCalls(), 1); // going back does not try again
        QCOMPARE(settings->launchAtLoginProblem(),
                 QStringLiteral("Could not change the login item: session bus says no"));
        QCOMPARE(problem.count(), 1);

        // A later success clears the problem.
        fake->setFailure({});
        settings->setLaunchAtLogin(true);
        QCOMPARE(settings->launchAtLogin(), true);
        QCOMPARE(settings->launchAtLoginProblem(), QString());
    }

    void refreshLaunchAtLogin()
    {
        MemoryLoginItem *fake = nullptr;
        auto settings = open(freshFile(), &fake);
        QSignalSpy changed(settings.get(), &AppSettings::launchAtLoginChanged);

        fake->setStatus(Status::Enabled); // enabled elsewhere (by hand, another instance)
        settings->refreshLaunchAtLogin();
        QCOMPARE(settings->launchAtLogin(), true);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(fake->registerCalls(), 0);
        QCOMPARE(settings->launchAtLoginProblem(), QString());

        fake->setStatus(Status::RequiresApproval);
        settings->refreshLaunchAtLogin();
        QCOMPARE(settings->launchAtLogin(), false);
        QCOMPARE(fake->unregisterCalls(), 0);
        QCOMPARE(settings->launchAtLoginProblem(),
                 QStringLiteral("Allow ScrivelBar to start at login"));

        fake->setStatus(Status::NotRegistered);
        settings->refreshLaunchAtLogin();
        QCOMPARE(settings->launchAtLoginProblem(), QString());
        QCOMPARE(changed.count(), 2);
    }

    void launchAtLoginWithAutostartEntry()
    {
        QTemporaryDir dir;
        const QString autostart = dir.filePath(QStringLiteral("config/autostart"));
        const QString program = dir.filePath(QStringLiteral("usr/bin/scrivelbar"));
        QVERIFY(TestSupport::writeExecutable(program));
        auto item = std::make_unique<XdgLoginItem>(autostart, program);
        const QString entry = item->entryPath();
        AppSettings settings(freshFile(), std::move(item));
        QCOMPARE(settings.launchAtLogin(), false);
        settings.setLaunchAtLogin(true);
        QVERIFY(QFileInfo::exists(entry));
        QCOMPARE(settings.launchAtLoginProblem(), QString());
        settings.setLaunchAtLogin(false);
        QVERIFY(!QFileInfo::exists(entry));
    }

    void launchAtLoginWithUnwritableAutostartFolder()
    {
        QTemporaryDir dir;
        const QString autostart = dir.filePath(QStringLiteral("autostart"));
        QVERIFY(TestSupport::writeFile(autostart, "a file where the folder should be"));
        const QString program = dir.filePath(QStringLiteral("usr/bin/scrivelbar"));
        QVERIFY(TestSupport::writeExecutable(program));
        auto item = std::make_unique<XdgLoginItem>(autostart, program);
        const QString entry = item->entryPath();
        AppSettings settings(freshFile(), std::move(item));
        QSignalSpy changed(&settings, &AppSettings::launchAtLoginChanged);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("login item change failed")));
        settings.setLaunchAtLogin(true);
        QCOMPARE(settings.launchAtLogin(), false);
        QCOMPARE(changed.count(), 2);
        QVERIFY2(settings.launchAtLoginProblem().startsWith(QStringLiteral("Could not change")),
                 qPrintable(settings.launchAtLoginProblem()));
        QVERIFY2(settings.launchAtLoginProblem().contains(entry),
                 qPrintable(settings.launchAtLoginProblem()));
    }
};

QTEST_GUILESS_MAIN(AppSettingsTest)
#include "tst_settings.moc"
