#include "TestSupport.h"
#include "ScriptedDialogs.h"

#include "settings/AppSettings.h"
#include "base/Localization.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"
#include "telemetry/Telemetry.h"
#include "ui/editor/EditorView.h"
#include "ui/list/NoteListView.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/FooterView.h"
#include "ui/shell/RootView.h"

#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <chrono>

#include <dlfcn.h>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(Screen)

namespace {

const char *kindName(Screen::Kind kind)
{
    switch (kind) {
    case Screen::Kind::List:
        return "list";
    case Screen::Kind::Editor:
        return "editor";
    case Screen::Kind::Account:
        return "account";
    case Screen::Kind::Trash:
        return "trash";
    }
    return "?";
}

} // namespace

namespace QTest {
template<> char *toString(const Screen &screen)
{
    return qstrdup(QStringLiteral("%1(%2,%3,%4)")
                       .arg(QLatin1String(kindName(screen.kind)), screen.noteId)
                       .arg(screen.isNew)
                       .arg(screen.record)
                       .toUtf8()
                       .constData());
}
} // namespace QTest

/// Screens that record what the root view built them with, so a test can press their
/// buttons by calling the callbacks.
struct Recorder
{
    ListScreenArgs list;
    EditorScreenArgs editor;
    AccountScreenArgs account;
    int editorBuilds = 0;
    bool editorNoteExistedAtBuild = false;

    ScreenFactories factories()
    {
        ScreenFactories f;
        f.list = [this](const ScreenEnvironment &, const ListScreenArgs &args) {
            list = args;
            return new QWidget;
        };
        f.editor = [this](const ScreenEnvironment &environment, const EditorScreenArgs &args) {
            editor = args;
            ++editorBuilds;
            editorNoteExistedAtBuild = environment.store->note(args.noteId).has_value();
            return new QWidget;
        };
        f.account = [this](const ScreenEnvironment &, const AccountScreenArgs &args) {
            account = args;
            return new QWidget;
        };
        return f;
    }
};

class TestRootView : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::TempFolders> m_folders;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<NoteStore> m_store;
    std::unique_ptr<SyncEngine> m_sync;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<Recorder> m_recorder;
    std::unique_ptr<RootView> m_root;
    int m_terminations = 0;
    QTemporaryDir m_noPlugins;

    void makeRoot()
    {
        ScreenEnvironment environment { m_store.get(), m_sync.get(), m_settings.get(),
                                        m_dialogs.get(), [this] {
                                            ++m_terminations;
                                        } };
        m_root = std::make_unique<RootView>(environment, m_recorder->factories());
    }

    // The text on disk of note `id`, to tell whether a pending edit was flushed.
    QString onDisk(const QString &id) const
    {
        const auto path = m_store->filePath(id);
        return path ? QString::fromUtf8(TestSupport::readFile(*path)) : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        // A GStreamer without plugins: whatever this process loads of it cannot record.
        QVERIFY(m_noPlugins.isValid());
        qputenv("GST_PLUGIN_SYSTEM_PATH_1_0", m_noPlugins.path().toLocal8Bit());
        qputenv("GST_PLUGIN_PATH_1_0", m_noPlugins.path().toLocal8Bit());
        qputenv("GST_REGISTRY_1_0", m_noPlugins.filePath(QStringLiteral("registry.bin")).toLocal8Bit());
    }

    void init()
    {
        m_folders = std::make_unique<TestSupport::TempFolders>();
        m_settings = std::make_unique<AppSettings>(m_folders->path(QStringLiteral("s.ini")));
        NoteStore::Options options;
        options.notesFolder = m_folders->notes();
        options.supportFolder = m_folders->support();
        // Scheduled writes never come during a test: only a flush puts edits on disk.
        options.noteWriteDelay = 1h;
        options.indexWriteDelay = 1h;
        options.watchFolder = false;
        options.backgroundIndexWrites = false;
        m_store = std::make_unique<NoteStore>(options);
        m_sync = std::make_unique<SyncEngine>(m_store.get(), m_settings.get());
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_recorder = std::make_unique<Recorder>();
        m_terminations = 0;
        makeRoot();
    }

    void cleanup()
    {
        m_root.reset();
        m_sync.reset();
        m_store.reset();
        m_settings.reset();
        Localization::setLanguage(AppLanguage::En);
    }

    // The list does not load GStreamer to decide on its record button: that waits for the
    // button's first use. Where GStreamer cannot record, the button then goes and the list
    // says why, and no empty note is left behind. (First: nothing in this process may have
    // loaded GStreamer before.)
    void recordButtonAsksOnFirstUse()
    {
        ScreenEnvironment environment { m_store.get(), m_sync.get(), m_settings.get(),
                                        m_dialogs.get(), [] {} };
        m_root = std::make_unique<RootView>(environment);
        m_root->show();
        auto *list = qobject_cast<NoteListView *>(m_root->currentScreenWidget());
        QVERIFY(list);
        const auto gstLoaded = reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "gst_is_initialized"));
        QVERIFY(gstLoaded);
        QVERIFY(!gstLoaded());
        QVERIFY(list->canRecord());

        QToolButton *record = nullptr;
        for (QToolButton *button : list->findChildren<QToolButton *>()) {
            if (button->toolTip() == L("list.newAudio"))
                record = button;
        }
        QVERIFY(record && record->isVisibleTo(list));
        record->click();
        QVERIFY(gstLoaded());
        QVERIFY(!list->canRecord());
        QVERIFY(!record->isVisibleTo(list));
        QCOMPARE(list->errorBannerText(), L("recorder.failed", L("recorder.noEncoder")));
        QCOMPARE(m_root->currentScreenWidget(), list);
        QVERIFY(m_store->notes().isEmpty());
    }

    void startsOnTheList()
    {
        QCOMPARE(m_root->screen(), Screen::list());
        QVERIFY(!m_recorder->list.trash);
        // The normal list has no back; the trash list no create or record.
        QVERIFY(!m_recorder->list.onBack);
        m_root->setScreen(Screen::trash());
        QVERIFY(m_recorder->list.trash);
        QVERIFY(!m_recorder->list.onCreate);
        QVERIFY(!m_recorder->list.onRecord);
        QVERIFY(m_recorder->list.onBack);
    }

    void transitions_data()
    {
        QTest::addColumn<Screen>("from");
        QTest::addColumn<QString>("action");
        QTest::addColumn<Screen>("expected"); // editor id "A" stands for the existing note
        QTest::addColumn<bool>("createsNote");

        const Screen list = Screen::list();
        const Screen account = Screen::account();
        const Screen trash = Screen::trash();
        const Screen editorA = Screen::editor(QStringLiteral("A"), false, false);
        QTest::newRow("list open") << list << "list.onOpen" << editorA << false;
        QTest::newRow("list new") << list << "list.onNew"
                                  << Screen::editor(QStringLiteral("*"), true, false) << true;
        QTest::newRow("list create")
            << list << "list.onCreate" << Screen::editor(QStringLiteral("A"), true, false) << false;
        QTest::newRow("list record")
            << list << "list.onRecord" << Screen::editor(QStringLiteral("*"), true, true) << true;
        QTest::newRow("trash open does nothing") << trash << "list.onOpen" << trash << false;
        QTest::newRow("trash new does nothing") << trash << "list.onNew" << trash << false;
        QTest::newRow("trash back goes to account") << trash << "list.onBack" << account << false;
        QTest::newRow("editor back") << editorA << "editor.onBack" << list << false;
        QTest::newRow("editor opens another note")
            << Screen::editor(QStringLiteral("A"), true, true) << "editor.onOpenNote:B"
            << Screen::editor(QStringLiteral("B"), false, false) << false;
        QTest::newRow("account back") << account << "account.onBack" << list << false;
        QTest::newRow("account shows trash") << account << "account.onShowTrash" << trash << false;
        QTest::newRow("footer from list") << list << "footer" << account << false;
        QTest::newRow("footer from account") << account << "footer" << list << false;
        QTest::newRow("footer from trash") << trash << "footer" << account << false;
        QTest::newRow("footer from editor") << editorA << "footer" << account << false;
        QTest::newRow("footer from new recording editor")
            << Screen::editor(QStringLiteral("A"), true, true) << "footer" << account << false;
    }

    void transitions()
    {
        QFETCH(Screen, from);
        QFETCH(QString, action);
        QFETCH(Screen, expected);
        QFETCH(bool, createsNote);

        const Note a = m_store->create(QStringLiteral("# A"));
        const Note b = m_store->create(QStringLiteral("# B"));
        auto real = [&](Screen s) {
            if (s.noteId == QLatin1String("A"))
                s.noteId = a.id;
            else if (s.noteId == QLatin1String("B"))
                s.noteId = b.id;
            return s;
        };
        m_root->setScreen(real(from));
        QCOMPARE(m_root->screen(), real(from));
        const qsizetype notesBefore = m_store->notes().size();

        Recorder &r = *m_recorder;
        if (action == QLatin1String("list.onOpen"))
            r.list.onOpen(a);
        else if (action == QLatin1String("list.onNew"))
            r.list.onNew();
        else if (action == QLatin1String("list.onCreate"))
            r.list.onCreate(a);
        else if (action == QLatin1String("list.onRecord"))
            r.list.onRecord();
        else if (action == QLatin1String("list.onBack"))
            r.list.onBack();
        else if (action == QLatin1String("editor.onBack"))
            r.editor.onBack();
        else if (action == QLatin1String("editor.onOpenNote:B"))
            r.editor.onOpenNote(b.id);
        else if (action == QLatin1String("account.onBack"))
            r.account.onBack();
        else if (action == QLatin1String("account.onShowTrash"))
            r.account.onShowTrash();
        else if (action == QLatin1String("footer"))
            m_root->footer()->accountButton()->click();
        else
            QFAIL("unknown action");

        const Screen now = m_root->screen();
        QCOMPARE(m_store->notes().size(), notesBefore + (createsNote ? 1 : 0));
        if (expected.noteId == QLatin1String("*")) {
            // A new note: created in the store, empty, before the editor was built.
            QCOMPARE(now.kind, Screen::Kind::Editor);
            QCOMPARE(now.isNew, expected.isNew);
            QCOMPARE(now.record, expected.record);
            const auto created = m_store->note(now.noteId);
            QVERIFY(created);
            QVERIFY(created->body.isEmpty());
            QVERIFY(r.editorNoteExistedAtBuild);
            QCOMPARE(r.editor.startInEdit, true);
            QCOMPARE(r.editor.startRecording, expected.record);
        } else {
            QCOMPARE(now, real(expected));
        }
    }

    void pressingAccountTwice_data()
    {
        QTest::addColumn<Screen>("from");
        QTest::addColumn<Screen>("afterTwo");
        QTest::newRow("list") << Screen::list() << Screen::list();
        QTest::newRow("editor goes to the list, not back")
            << Screen::editor("x", false, false) << Screen::list();
        QTest::newRow("trash") << Screen::trash() << Screen::list();
        QTest::newRow("account") << Screen::account() << Screen::account();
    }

    void pressingAccountTwice()
    {
        QFETCH(Screen, from);
        QFETCH(Screen, afterTwo);
        m_root->setScreen(from);
        m_root->footer()->accountButton()->click();
        m_root->footer()->accountButton()->click();
        QCOMPARE(m_root->screen(), afterTwo);
    }

    void flushesOnlyOnReturnToTheList_data()
    {
        QTest::addColumn<Screen>("from");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("flushed");
        const Screen editor = Screen::editor(QStringLiteral("A"), false, false);
        QTest::newRow("editor back flushes") << editor << "editor.onBack" << true;
        QTest::newRow("editor to account through the footer does not")
            << editor << "footer" << false;
        QTest::newRow("account back flushes") << Screen::account() << "account.onBack" << true;
        QTest::newRow("footer from account flushes") << Screen::account() << "footer" << true;
        QTest::newRow("list to account does not") << Screen::list() << "footer" << false;
        QTest::newRow("account to trash does not")
            << Screen::account() << "account.onShowTrash" << false;
        QTest::newRow("trash back to account does not")
            << Screen::trash() << "list.onBack" << false;
    }

    void flushesOnlyOnReturnToTheList()
    {
        QFETCH(Screen, from);
        QFETCH(QString, action);
        QFETCH(bool, flushed);
        const Note a = m_store->create(QStringLiteral("# A\nfirst"));
        m_store->flush();
        if (from.kind == Screen::Kind::Editor)
            from.noteId = a.id;
        m_root->setScreen(from);
        m_store->setBody(QStringLiteral("# A\nsecond"), a.id, true);
        QVERIFY(onDisk(a.id).contains(QLatin1String("first")));

        if (action == QLatin1String("editor.onBack"))
            m_recorder->editor.onBack();
        else if (action == QLatin1String("account.onBack"))
            m_recorder->account.onBack();
        else if (action == QLatin1String("account.onShowTrash"))
            m_recorder->account.onShowTrash();
        else if (action == QLatin1String("list.onBack"))
            m_recorder->list.onBack();
        else
            m_root->footer()->accountButton()->click();

        QCOMPARE(onDisk(a.id).contains(QLatin1String("second")), flushed);
    }

    void noFlushWhenFirstShown()
    {
        const Note a = m_store->create(QStringLiteral("# A\nfirst"));
        m_store->flush();
        m_store->setBody(QStringLiteral("# A\nsecond"), a.id, true);
        makeRoot(); // a fresh root starts on the list without a transition
        m_root->show();
        QVERIFY(onDisk(a.id).contains(QLatin1String("first")));
    }

    void editorIsKeyedByNote()
    {
        const Note a = m_store->create(QStringLiteral("# A"));
        const Note b = m_store->create(QStringLiteral("# B"));
        m_recorder->list.onOpen(a);
        QCOMPARE(m_recorder->editorBuilds, 1);
        QWidget *first = m_root->currentScreenWidget();

        // Another note: a fresh editor.
        m_recorder->editor.onOpenNote(b.id);
        QCOMPARE(m_recorder->editorBuilds, 2);
        QCOMPARE(m_recorder->editor.noteId, b.id);
        QVERIFY(m_root->currentScreenWidget() != first);

        // The same note again: nothing changes.
        m_recorder->editor.onOpenNote(b.id);
        QCOMPARE(m_recorder->editorBuilds, 2);

        // Only the start flags differ: the open editor stays.
        m_root->setScreen(Screen::editor(b.id, true, true));
        QCOMPARE(m_recorder->editorBuilds, 2);
        QCOMPARE(m_root->screen(), Screen::editor(b.id, true, true));
    }

    void survivesHideAndShow()
    {
        const Note a = m_store->create(QStringLiteral("# A"));
        m_root->show();
        m_recorder->list.onOpen(a);
        m_root->hide();
        m_root->show();
        QCOMPARE(m_root->screen(), Screen::editor(a.id, false, false));
        QCOMPARE(m_recorder->editorBuilds, 1);
    }

    // The product's screens record into the environment's telemetry, not a process-wide one.
    void standardScreensRecordIntoTheEnvironmentsTelemetry()
    {
        Telemetry telemetry;
        QSignalSpy recorded(&telemetry, &Telemetry::recorded);
        ScreenEnvironment environment { m_store.get(), m_sync.get(), m_settings.get(),
                                        m_dialogs.get(), [] {}, &telemetry };
        m_root = std::make_unique<RootView>(environment);
        m_root->show();

        auto *list = qobject_cast<NoteListView *>(m_root->currentScreenWidget());
        QVERIFY(list);
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString image = m_folders->path(QStringLiteral("pick.png"));
        QVERIFY(picture.save(image));
        m_dialogs->openAnswer = QStringList { image };
        list->importImage();
        QTRY_VERIFY(qobject_cast<EditorView *>(m_root->currentScreenWidget()));
        qobject_cast<EditorView *>(m_root->currentScreenWidget())->exportMarkdown();
        QStringList names;
        for (const auto &event : recorded)
            names << event.first().toString();
        QCOMPARE(names, (QStringList { QStringLiteral("image_added"), QStringLiteral("note_exported") }));

        // The account screen's telemetry row is there (a screen without telemetry has none).
        m_root->setScreen(Screen::account());
        QWidget *row = m_root->currentScreenWidget()->findChild<QWidget *>(QStringLiteral("account.telemetry"));
        QVERIFY(row);
        QVERIFY(!row->isHidden());
    }

    void appliesTheInterfaceLocale_data()
    {
        QTest::addColumn<AppLanguage>("language");
        QTest::addColumn<QString>("locale");
        QTest::newRow("en") << AppLanguage::En << "en_US";
        QTest::newRow("es") << AppLanguage::Es << "es_ES";
        QTest::newRow("pt is Brazilian") << AppLanguage::Pt << "pt_BR";
        QTest::newRow("system") << AppLanguage::System << QLocale::system().name();
    }

    void appliesTheInterfaceLocale()
    {
        QFETCH(AppLanguage, language);
        QFETCH(QString, locale);
        m_settings->setLanguage(language == AppLanguage::Pt ? AppLanguage::Es : AppLanguage::Pt);
        m_settings->setLanguage(language);
        QCOMPARE(m_root->locale().name(), locale);
        // Everything below the root inherits it.
        QCOMPARE(m_root->currentScreenWidget()->locale().name(), locale);
        QCOMPARE(m_root->footer()->locale().name(), locale);
    }
};

QTEST_MAIN(TestRootView)
#include "tst_rootview.moc"
