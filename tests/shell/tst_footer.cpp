#include "TestSupport.h"
#include "ScriptedDialogs.h"

#include "settings/AppSettings.h"
#include "base/Localization.h"
#include "store/NoteStore.h"
#include "sync/SyncEngine.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/FooterView.h"

#include <QApplication>
#include <QLabel>
#include <QToolButton>
#include <QtTest>

#include <chrono>

using namespace std::chrono_literals;

class TestFooter : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::TempFolders> m_folders;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<NoteStore> m_store;
    std::unique_ptr<SyncEngine> m_sync;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<FooterView> m_footer;
    int m_accountPresses = 0;
    int m_terminations = 0;
    bool m_flushedBeforeTerminate = false;

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void init()
    {
        m_folders = std::make_unique<TestSupport::TempFolders>();
        m_settings = std::make_unique<AppSettings>(m_folders->path(QStringLiteral("s.ini")));
        NoteStore::Options options;
        options.notesFolder = m_folders->notes();
        options.supportFolder = m_folders->support();
        options.noteWriteDelay = 1h;
        options.indexWriteDelay = 1h;
        options.watchFolder = false;
        options.backgroundIndexWrites = false;
        m_store = std::make_unique<NoteStore>(options);
        m_sync = std::make_unique<SyncEngine>(m_store.get(), m_settings.get());
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_accountPresses = 0;
        m_terminations = 0;
        m_flushedBeforeTerminate = false;
        m_footer = std::make_unique<FooterView>(
            m_store.get(), m_sync.get(), m_dialogs.get(), [this] { ++m_accountPresses; },
            [this] {
                ++m_terminations;
                m_flushedBeforeTerminate = m_store->pendingWriteCount() == 0;
            });
        m_footer->resize(380, 32);
    }

    void cleanup()
    {
        m_footer.reset();
        m_sync.reset();
        m_store.reset();
    }

    void statusLine_data()
    {
        QTest::addColumn<SyncState>("state");
        QTest::addColumn<int>("dirty");
        QTest::addColumn<int>("media");
        QTest::addColumn<int>("notes");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("mustContain");

        QTest::newRow("failed shows the message")
            << SyncState::failed(QStringLiteral("Server unreachable")) << 4 << 2 << 9
            << QStringLiteral("Server unreachable") << QStringLiteral("unreachable");
        QTest::newRow("syncing") << SyncState::syncing() << 4 << 2 << 9
                                 << L("footer.status.syncing") << QString();
        QTest::newRow("idle with 3 dirty wins over media")
            << SyncState::idle() << 3 << 2 << 9 << L("footer.status.pending", 3)
            << QStringLiteral("3");
        QTest::newRow("idle with one dirty")
            << SyncState::idle() << 1 << 0 << 9 << L("footer.status.pending", 1)
            << QStringLiteral("1");
        QTest::newRow("idle with media pending")
            << SyncState::idle() << 0 << 2 << 9 << L("footer.status.mediaPending", 2)
            << QStringLiteral("2");
        QTest::newRow("idle, nothing pending, never synced")
            << SyncState::idle() << 0 << 0 << 9 << L("footer.status.connected") << QString();
        const QDateTime last = QDateTime(QDate(2025, 3, 4), QTime(14, 5), Qt::LocalTime);
        QTest::newRow("idle, up to date")
            << SyncState::idle(Date::fromDateTime(last)) << 0 << 0 << 9
            << L("footer.status.upToDate",
                 QLocale(QLocale::English).toString(last.time(), QLocale::ShortFormat))
            << QStringLiteral("2:05");
        QTest::newRow("idle, up to date, no seconds in the C locale")
            << SyncState::idle(Date::fromDateTime(last)) << 0 << 0 << 9
            << L("footer.status.upToDate", QStringLiteral("14:05")) << QStringLiteral("14:05");
        QTest::newRow("signed out without notes")
            << SyncState::signedOut() << 0 << 0 << 0 << L("footer.status.localOnly") << QString();
        QTest::newRow("signed out with 12 notes")
            << SyncState::signedOut() << 5 << 1 << 12 << L("footer.status.localOnlyCount", 12)
            << QStringLiteral("12");
        QTest::newRow("local only without notes")
            << SyncState::localOnly() << 3 << 0 << 0 << L("footer.status.localOnly") << QString();
        QTest::newRow("local only with one note")
            << SyncState::localOnly() << 0 << 0 << 1 << L("footer.status.localOnlyCount", 1)
            << QStringLiteral("1");
    }

    void statusLine()
    {
        QFETCH(SyncState, state);
        QFETCH(int, dirty);
        QFETCH(int, media);
        QFETCH(int, notes);
        QFETCH(QString, expected);
        QFETCH(QString, mustContain);
        FooterView::Inputs inputs { state, dirty, media, notes, QStringLiteral("a@b.c") };
        const QLocale locale(
            QString::fromLatin1(QTest::currentDataTag()).contains(QLatin1String("C locale"))
                ? QLocale::C
                : QLocale::English);
        const QString text = FooterView::statusText(inputs, locale);
        QCOMPARE(text, expected);
        QVERIFY(!text.isEmpty());
        QVERIFY(!text.startsWith(QLatin1String("footer."))); // the key exists in the table
        if (!mustContain.isEmpty())
            QVERIFY2(text.contains(mustContain), qPrintable(text));

        // The view shows the same line, and sync now is off exactly while syncing.
        m_footer->render(inputs);
        QCOMPARE(m_footer->statusLine(), FooterView::statusText(inputs, m_footer->locale()));
        QCOMPARE(m_footer->syncButton()->isEnabled(), state.kind != SyncState::Kind::Syncing);
    }

    void numbersFollowTheInterfaceLocale()
    {
        Localization::setLanguage(AppLanguage::Pt);
        FooterView::Inputs inputs { SyncState::signedOut(), 0, 0, 1234, std::nullopt };
        const QString text = FooterView::statusText(inputs, Localization::locale());
        Localization::setLanguage(AppLanguage::En);
        QVERIFY2(text.contains(QStringLiteral("1.234")), qPrintable(text));
    }

    // The status line is a caption: the footer's font two points smaller, never less, whether
    // the font comes in points or pixels, at construction or later.
    void statusTextIsCaptionSize_data()
    {
        QTest::addColumn<QFont>("font");
        QTest::addColumn<bool>("atConstruction");
        QFont points = QApplication::font();
        points.setPointSizeF(14);
        QFont pixels = QApplication::font();
        pixels.setPixelSize(17);
        QTest::newRow("application font") << QApplication::font() << true;
        QTest::newRow("points, set later") << points << false;
        QTest::newRow("pixels, set later") << pixels << false;
        QTest::newRow("pixels, from the parent") << pixels << true;
    }
    void statusTextIsCaptionSize()
    {
        QFETCH(QFont, font);
        QFETCH(bool, atConstruction);
        QWidget parent;
        parent.setFont(font);
        FooterView *footer = m_footer.get();
        if (atConstruction) {
            footer = new FooterView(m_store.get(), m_sync.get(), m_dialogs.get(), {}, {}, &parent);
        } else {
            m_footer->setFont(font);
        }
        const auto *label = footer->findChild<QLabel *>(QStringLiteral("footer.status"));
        QVERIFY(label);
        const double dpi = footer->logicalDpiY();
        const auto pixelsOf = [dpi](const QFont &f) {
            return f.pixelSize() > 0 ? double(f.pixelSize()) : f.pointSizeF() * dpi / 72.0;
        };
        const double ui = pixelsOf(footer->font());
        const double caption = pixelsOf(label->font());
        const double twoPoints = 2.0 * dpi / 72.0;
        QVERIFY2(
            caption >= ui - twoPoints - 0.01,
            qPrintable(QStringLiteral("caption %1 px under a %2 px font").arg(caption).arg(ui)));
        QVERIFY2(caption < ui,
                 qPrintable(QStringLiteral("caption %1 px, font %2 px").arg(caption).arg(ui)));
    }

    void accountTooltip()
    {
        m_footer->render({ SyncState::idle(), 0, 0, 0, QStringLiteral("ana@example.org") });
        QVERIFY(m_footer->accountButton()->toolTip().contains(QLatin1String("ana@example.org")));
        m_footer->render({ SyncState::signedOut(), 0, 0, 0, std::nullopt });
        QCOMPARE(m_footer->accountButton()->toolTip(), L("footer.account.signedOut"));
        QCOMPARE(m_footer->quitButton()->toolTip(), L("footer.quit"));
        QCOMPARE(m_footer->syncButton()->toolTip(), L("footer.syncNow"));
    }

    void followsTheStoreLive()
    {
        // The engine is signed out: the line counts live notes and follows the store.
        QCOMPARE(m_footer->statusLine(), L("footer.status.localOnly"));
        m_store->create(QStringLiteral("# one"));
        m_store->create(QStringLiteral("# two"));
        QCOMPARE(m_footer->statusLine(), L("footer.status.localOnlyCount", 2));
        const QString id = m_store->notes().first().id;
        m_store->deleteNote(id);
        QCOMPARE(m_footer->statusLine(), L("footer.status.localOnlyCount", 1));
    }

    void accountButtonCallsBack()
    {
        m_footer->accountButton()->click();
        QCOMPARE(m_accountPresses, 1);
    }

    void quitMessage_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<int>("dirty");
        QTest::addColumn<QString>("expected");
        QTest::newRow("signed in with pending") << true << 2 << L("footer.quit.message.pending", 2);
        QTest::newRow("signed in, nothing pending") << true << 0 << L("footer.quit.message.clean");
        QTest::newRow("signed out never warns") << false << 7 << L("footer.quit.message.clean");
    }

    void quitMessage()
    {
        QFETCH(bool, signedIn);
        QFETCH(int, dirty);
        QFETCH(QString, expected);
        QCOMPARE(FooterView::quitMessage(signedIn, dirty), expected);
    }

    void quitConfirmation_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("accepted") << true;
        QTest::newRow("cancelled") << false;
    }

    void quitConfirmation()
    {
        QFETCH(bool, accept);
        const Note note = m_store->create(QStringLiteral("# Draft"));
        m_store->setBody(QStringLiteral("# Draft\nunsaved"), note.id, true);
        QVERIFY(m_store->pendingWriteCount() > 0);
        QVERIFY(m_store->dirtyCount() > 0);
        QSignalSpy holds(m_dialogs.get(), &Dialogs::holdPanel);
        QSignalSpy releases(m_dialogs.get(), &Dialogs::releasePanel);
        m_dialogs->confirmAnswer = accept;

        m_footer->quitButton()->click();

        QCOMPARE(m_dialogs->confirmations.size(), 1);
        const Dialogs::Confirmation asked = m_dialogs->confirmations.first();
        QCOMPARE(asked.title, L("footer.quit.title"));
        QCOMPARE(asked.acceptText, L("footer.quit.action"));
        // Signed out: the clean message even with a dirty note.
        QCOMPARE(asked.message, L("footer.quit.message.clean"));
        QCOMPARE(holds.size(), 1);
        QCOMPARE(releases.size(), 1);
        QVERIFY(!m_footer->isConfirmingQuit());
        QCOMPARE(m_terminations, accept ? 1 : 0);
        if (accept) {
            // The store was flushed before the app was asked to quit.
            QVERIFY(m_flushedBeforeTerminate);
            const auto path = m_store->filePath(note.id);
            QVERIFY(path);
            QVERIFY(TestSupport::readFile(*path).contains("unsaved"));
        } else {
            QVERIFY(m_store->pendingWriteCount() > 0);
        }
    }

    // Not a check: with SCRIVEL_SCREENSHOT_DIR set, saves the footer in every state, light
    // and dark, for the documentation.
    void screenshots()
    {
        const QString dir = qEnvironmentVariable("SCRIVEL_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("set SCRIVEL_SCREENSHOT_DIR to save footer screenshots");
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2e));
        dark.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xea));
        dark.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0xa0));
        dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x39));
        dark.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xea));
        dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x70, 0x70, 0x76));
        const QDateTime last(QDate(2025, 3, 4), QTime(14, 5));
        const QList<std::pair<const char *, FooterView::Inputs>> states = {
            { "signed-out", { SyncState::signedOut(), 0, 0, 12, std::nullopt } },
            { "syncing", { SyncState::syncing(), 2, 0, 12, QStringLiteral("ana@example.org") } },
            { "pending", { SyncState::idle(), 3, 1, 12, QStringLiteral("ana@example.org") } },
            { "up-to-date",
              { SyncState::idle(Date::fromDateTime(last)), 0, 0, 12, QStringLiteral("a@b.c") } },
            { "failed",
              { SyncState::failed(QStringLiteral("The server could not be reached.")), 0, 0, 12,
                QStringLiteral("a@b.c") } },
        };
        for (const bool isDark : { false, true }) {
            m_footer->setPalette(isDark ? dark : QApplication::palette());
            m_footer->setAutoFillBackground(true);
            for (const auto &[name, inputs] : states) {
                m_footer->render(inputs);
                m_footer->resize(380, m_footer->sizeHint().height());
                const QString file
                    = QStringLiteral("%1/footer-%2-%3.png")
                          .arg(dir, QLatin1String(name),
                               isDark ? QStringLiteral("dark") : QStringLiteral("light"));
                QVERIFY(m_footer->grab().save(file));
            }
        }
    }
};

QTEST_MAIN(TestFooter)
#include "tst_footer.moc"
