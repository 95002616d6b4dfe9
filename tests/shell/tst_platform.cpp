#include "ScriptedHotKeys.h"
#include "TestSupport.h"

#include "base/Localization.h"
#include "settings/SettingsTypes.h"
#include "platform/FileReveal.h"
#include "platform/HotKeyManager.h"
#include "platform/linux/X11HotKey.h"
#include "ui/style/Icons.h"
#include "platform/linux/SingleInstance.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLocalSocket>
#include <QSvgRenderer>
#include <QtTest>

#include <X11/X.h>
#include <X11/keysym.h>
#undef None

Q_DECLARE_METATYPE(HotKeyCombo)

namespace {

QString statusName(HotKeyManager::Status status)
{
    return QString::fromLatin1(
        QMetaEnum::fromType<HotKeyManager::Status>().valueToKey(int(status)));
}

HotKeyCombo comboNamed(const QString &raw)
{
    return hotKeyComboFromRawValue(raw, HotKeyCombo::None);
}

std::optional<GlobalHotKey> keysNamed(const QString &raw)
{
    return globalHotKey(comboNamed(raw));
}

// Takes the "file" addresses QDesktopServices would hand to the desktop.
class FolderRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
    FolderRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~FolderRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
public Q_SLOTS:
    void open(const QUrl &url) { urls << url; }
};

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    // ---- file manager ----

    // Callers learn whether anything took the folder: nothing to show is a failure, a handler
    // that opens the folder a success.
    void fileRevealTellsWhetherSomethingOpened()
    {
        QVERIFY(!FileReveal::reveal({}));
        FolderRecorder recorder;
        const QString folder = QDir::tempPath();
        QVERIFY(FileReveal::openFolder(folder));
        QCOMPARE(recorder.urls, QList<QUrl> { QUrl::fromLocalFile(folder) });
    }

    // ---- hot key ----

    void applySequences_data()
    {
        QTest::addColumn<QStringList>("applies");
        QTest::addColumn<QString>("taken");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("registered");
        QTest::addColumn<QString>("status");

        QTest::newRow("launch with the default")
            << QStringList { "optionSpace" } << QString()
            << QStringList { "install", "register optionSpace" } << "optionSpace" << "Active";
        QTest::newRow("switch unregisters before registering")
            << QStringList { "optionSpace", "controlOptionN" } << QString()
            << QStringList { "install", "register optionSpace", "unregister",
                             "register controlOptionN" }
            << "controlOptionN" << "Active";
        QTest::newRow("none leaves nothing registered")
            << QStringList { "optionSpace", "none" } << QString()
            << QStringList { "install", "register optionSpace", "unregister" } << "" << "Off";
        QTest::newRow("none at launch installs nothing")
            << QStringList { "none" } << QString() << QStringList {} << "" << "Off";
        QTest::newRow("handler installed once")
            << QStringList { "none", "controlSpace", "none", "commandShiftSpace" } << QString()
            << QStringList { "install", "register controlSpace", "unregister",
                             "register commandShiftSpace" }
            << "commandShiftSpace" << "Active";
        QTest::newRow("a taken combination is reported taken")
            << QStringList { "controlSpace" } << "controlSpace"
            << QStringList { "install", "register controlSpace" } << "" << "Taken";
        QTest::newRow("nothing to unregister after a refusal")
            << QStringList { "controlSpace", "optionSpace" } << "controlSpace"
            << QStringList { "install", "register controlSpace", "register optionSpace" }
            << "optionSpace" << "Active";
        QTest::newRow("none after a refusal is off")
            << QStringList { "controlSpace", "none" } << "controlSpace"
            << QStringList { "install", "register controlSpace" } << "" << "Off";
    }

    void applySequences()
    {
        QFETCH(QStringList, applies);
        QFETCH(QString, taken);
        QFETCH(QStringList, calls);
        QFETCH(QString, registered);
        QFETCH(QString, status);
        QStringList log;
        std::function<void()> press;
        auto backend = std::make_unique<ScriptedHotKeys>(&log, &press);
        if (!taken.isEmpty())
            backend->taken = comboNamed(taken);
        HotKeyManager manager(std::move(backend));
        QSignalSpy statusChanges(&manager, &HotKeyManager::statusChanged);
        for (const QString &raw : applies)
            manager.apply(keysNamed(raw), [] {});
        QCOMPARE(log, calls);
        QCOMPARE(manager.registered().has_value(), !registered.isEmpty());
        if (!registered.isEmpty())
            QVERIFY(manager.registered() == keysNamed(registered));
        QCOMPARE(statusName(manager.status()), status);
        QCOMPARE(manager.property("status").value<HotKeyManager::Status>(), manager.status());
        if (status != u"Off")
            QVERIFY(!statusChanges.isEmpty());
    }

    // Without any facility nothing is asked of the desktop, and the status says so.
    void noFacilityIsUnsupported()
    {
        QStringList log;
        std::function<void()> press;
        auto backend = std::make_unique<ScriptedHotKeys>(&log, &press);
        backend->unavailable = true;
        HotKeyManager manager(std::move(backend));
        manager.apply(globalHotKey(HotKeyCombo::OptionSpace), [] {});
        QCOMPARE(statusName(manager.status()), QStringLiteral("Unsupported"));
        QVERIFY(!manager.registered());
        QVERIFY(manager.requested() == globalHotKey(HotKeyCombo::OptionSpace));
        QVERIFY(log.isEmpty());
        manager.apply(std::nullopt, {});
        QCOMPARE(statusName(manager.status()), QStringLiteral("Off"));
    }

    void firstFree_data()
    {
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<int>("chosen"); // -1: none
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("default free") << QStringList {} << 0 << "Active" << false;
        QTest::newRow("default taken")
            << QStringList { "optionSpace" } << 1 << "Active" << true;
        QTest::newRow("two taken")
            << QStringList { "optionSpace", "controlSpace" } << 2 << "Active" << true;
        QTest::newRow("all taken")
            << QStringList { "optionSpace", "controlSpace", "commandShiftSpace",
                             "controlOptionN" }
            << -1 << "Taken" << false;
    }

    void firstFree()
    {
        QFETCH(QStringList, taken);
        QFETCH(int, chosen);
        QFETCH(QString, status);
        QFETCH(bool, replaced);
        QStringList log;
        std::function<void()> press;
        auto backend = std::make_unique<ScriptedHotKeys>(&log, &press);
        for (const QString &raw : taken)
            backend->alsoTaken << comboNamed(raw);
        HotKeyManager manager(std::move(backend));
        const QList<GlobalHotKey> candidates {
            *globalHotKey(HotKeyCombo::OptionSpace), *globalHotKey(HotKeyCombo::ControlSpace),
            *globalHotKey(HotKeyCombo::CommandShiftSpace), *globalHotKey(HotKeyCombo::ControlOptionN)
        };
        const auto index = manager.applyFirstFree(candidates, [] {});
        QCOMPARE(index ? int(*index) : -1, chosen);
        QCOMPARE(statusName(manager.status()), status);
        QCOMPARE(manager.replacedHotKey().has_value(), replaced);
        if (replaced)
            QVERIFY(manager.replacedHotKey() == candidates.first());
        if (chosen >= 0)
            QVERIFY(manager.registered() == candidates.at(chosen));
        else
            QVERIFY(!manager.registered());
        // Any later choice ends the replacement notice.
        manager.apply(globalHotKey(HotKeyCombo::ControlOptionN), [] {});
        QVERIFY(!manager.replacedHotKey());
    }

    void pressRunsTheCurrentActionFromTheEventLoop()
    {
        QStringList log;
        std::function<void()> press;
        HotKeyManager manager(std::make_unique<ScriptedHotKeys>(&log, &press));
        int first = 0;
        int second = 0;
        manager.apply(globalHotKey(HotKeyCombo::OptionSpace), [&] { ++first; });
        manager.apply(globalHotKey(HotKeyCombo::ControlSpace), [&] { ++second; });
        press();
        QCOMPARE(second, 0); // not inside the native event dispatch
        QTRY_COMPARE(second, 1);
        QCOMPARE(first, 0);
        // After "none" a press (a late event) runs nothing that was replaced... it runs the
        // action given with none, which is empty.
        manager.apply(std::nullopt, {});
        press();
        QTest::qWait(10);
        QCOMPARE(second, 1);
    }

    void x11Combinations_data()
    {
        QTest::addColumn<HotKeyCombo>("combo");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<quint64>("keysym");
        QTest::addColumn<uint>("modifiers");
        QTest::newRow("none") << HotKeyCombo::None << false << quint64(0) << 0u;
        QTest::newRow("Alt+Space")
            << HotKeyCombo::OptionSpace << true << quint64(XK_space) << uint(Mod1Mask);
        QTest::newRow("Ctrl+Space")
            << HotKeyCombo::ControlSpace << true << quint64(XK_space) << uint(ControlMask);
        QTest::newRow("Command is Ctrl") << HotKeyCombo::CommandShiftSpace << true
                                         << quint64(XK_space) << uint(ControlMask | ShiftMask);
        QTest::newRow("Ctrl+Alt+N")
            << HotKeyCombo::ControlOptionN << true << quint64(XK_n) << uint(ControlMask | Mod1Mask);
    }

    void x11Combinations()
    {
        QFETCH(HotKeyCombo, combo);
        QFETCH(bool, exists);
        QFETCH(quint64, keysym);
        QFETCH(uint, modifiers);
        const auto keys = globalHotKey(combo);
        const auto key = keys ? x11HotKey(keys->keys) : std::nullopt;
        QCOMPARE(key.has_value(), exists);
        if (key) {
            QCOMPARE(quint64(key->keysym), keysym);
            QCOMPARE(key->modifiers, modifiers);
        }
    }

    void labelsMatchTheKeys()
    {
        // The picker must name the keys that are really grabbed.
        QCOMPARE(hotKeyComboLabel(HotKeyCombo::CommandShiftSpace),
                 QStringLiteral("Ctrl+Shift+Space"));
        QCOMPARE(hotKeyComboLabel(HotKeyCombo::OptionSpace), QStringLiteral("Alt+Space"));
    }

    void x11BackendWithoutDisplayRefusesQuietly()
    {
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            QSKIP("runs where there is no X display (offscreen)");
        HotKeyManager manager; // the real backend
        manager.apply(globalHotKey(HotKeyCombo::OptionSpace), [] {});
        QVERIFY(!manager.registered());
        QCOMPARE(statusName(manager.status()), QStringLiteral("Unsupported"));
        manager.apply(std::nullopt, {});
        QVERIFY(!manager.registered());
    }

    // ---- single instance ----

    void decode_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("toggle") << SingleInstance::encode({ "--toggle" }) << true
                                << QStringList { "--toggle" };
        QTest::newRow("no arguments") << SingleInstance::encode({}) << true << QStringList {};
        QTest::newRow("unicode") << SingleInstance::encode({ "ação", "--x" }) << true
                                 << QStringList { "ação", "--x" };
        QTest::newRow("not json") << QByteArray("--toggle") << false << QStringList {};
        QTest::newRow("empty") << QByteArray() << false << QStringList {};
        QTest::newRow("array, not object")
            << QByteArray("[\"--toggle\"]") << false << QStringList {};
        QTest::newRow("args not an array")
            << QByteArray("{\"args\":\"--toggle\"}") << false << QStringList {};
        QTest::newRow("a number among the args")
            << QByteArray("{\"args\":[\"a\",3]}") << false << QStringList {};
        QTest::newRow("too long") << SingleInstance::encode({ QString(70000, QLatin1Char('x')) })
                                  << false << QStringList {};
    }

    void decode()
    {
        QFETCH(QByteArray, message);
        QFETCH(bool, valid);
        QFETCH(QStringList, arguments);
        const auto decoded = SingleInstance::decode(message);
        QCOMPARE(decoded.has_value(), valid);
        if (decoded)
            QCOMPARE(*decoded, arguments);
    }

    void secondStartHandsOverItsArguments()
    {
        TestSupport::TempFolders folders;
        const QString name = folders.path(QStringLiteral("instance.sock"));
        QVERIFY(!SingleInstance::sendToRunning(name, { "--toggle" }, 200)); // nobody runs yet
        SingleInstance instance;
        QVERIFY(instance.listen(name));
        QSignalSpy received(&instance, &SingleInstance::argumentsReceived);
        QVERIFY(SingleInstance::sendToRunning(name, { "--toggle" }));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.first().first().toStringList(), QStringList { "--toggle" });
    }

    void garbageFromAClientIsIgnored()
    {
        TestSupport::TempFolders folders;
        const QString name = folders.path(QStringLiteral("instance.sock"));
        SingleInstance instance;
        QVERIFY(instance.listen(name));
        QSignalSpy received(&instance, &SingleInstance::argumentsReceived);
        QLocalSocket socket;
        socket.connectToServer(name);
        QVERIFY(socket.waitForConnected(1000));
        socket.write("\x00\xff garbage", 10);
        socket.waitForBytesWritten(1000);
        socket.disconnectFromServer();
        QTest::qWait(100);
        QCOMPARE(received.size(), 0);
        // The server still serves the next start.
        QVERIFY(SingleInstance::sendToRunning(name, {}));
        QTRY_COMPARE(received.size(), 1);
    }

    void staleSocketFileIsReplaced()
    {
        TestSupport::TempFolders folders;
        const QString name = folders.path(QStringLiteral("instance.sock"));
        QVERIFY(TestSupport::writeFile(name, "left by a crash"));
        SingleInstance instance;
        QVERIFY(instance.listen(name));
        QVERIFY(instance.isListening());
    }

    void serverNameFollowsTheSupportFolder()
    {
        TestSupport::TempFolders folders;
        QCOMPARE(SingleInstance::serverNameFor(folders.support()),
                 folders.support() + QStringLiteral("/instance.sock"));
        // A path too long for a local socket gets a short name of its own per folder.
        const QString deep = folders.path(QString(120, QLatin1Char('d')));
        const QString name = SingleInstance::serverNameFor(deep);
        QVERIFY(QFile::encodeName(name).size() < 108);
        QVERIFY(name.contains(QLatin1String("app.scrivelbar")));
        QVERIFY(name != SingleInstance::serverNameFor(deep + QStringLiteral("2")));
        SingleInstance instance;
        QVERIFY(instance.listen(name));
    }

    // ---- icons ----

    void everySymbolHasAValidDrawing()
    {
        const QStringList symbols = Icons::symbols();
        QVERIFY(symbols.size() >= 40);
        for (const QString &symbol : symbols) {
            QSvgRenderer renderer(Icons::filePath(symbol));
            QVERIFY2(renderer.isValid(), qPrintable(symbol));
        }
    }

    void shellSymbolsAreInTheTable()
    {
        for (MenuBarIcon style : allMenuBarIcons())
            QVERIFY2(Icons::has(menuBarIconRawValue(style)),
                     qPrintable(menuBarIconRawValue(style)));
        for (const char *symbol : { "gearshape", "arrow.triangle.2.circlepath", "power",
                                    "chevron.left", "square.and.pencil", "magnifyingglass" })
            QVERIFY2(Icons::has(QString::fromLatin1(symbol)), symbol);
    }

    void tintColoursEveryPixel()
    {
        const QColor red(200, 10, 20);
        const QPixmap pixmap = Icons::pixmap(QStringLiteral("power"), red, QSize(32, 32));
        QCOMPARE(pixmap.size(), QSize(32, 32));
        const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        int drawn = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() < 200)
                    continue;
                ++drawn;
                // Exact up to the rounding of premultiplied alpha.
                QVERIFY(qAbs(pixel.red() - red.red()) <= 2);
                QVERIFY(qAbs(pixel.green() - red.green()) <= 2);
                QVERIFY(qAbs(pixel.blue() - red.blue()) <= 2);
            }
        QVERIFY(drawn > 20);
    }

    void highDensityPixmaps()
    {
        const QPixmap pixmap
            = Icons::pixmap(QStringLiteral("gearshape"), Qt::black, QSize(16, 16), 2.0);
        QCOMPARE(pixmap.size(), QSize(32, 32));
        QCOMPARE(pixmap.devicePixelRatio(), 2.0);
        // Cached: the same request gives the same pixmap.
        QCOMPARE(
            Icons::pixmap(QStringLiteral("gearshape"), Qt::black, QSize(16, 16), 2.0).cacheKey(),
            pixmap.cacheKey());
    }

    void iconsFollowThePalette()
    {
        QPalette light;
        light.setColor(QPalette::WindowText, Qt::black);
        QPalette dark;
        dark.setColor(QPalette::WindowText, Qt::white);
        const QImage a = Icons::icon(QStringLiteral("power"), light).pixmap(16).toImage();
        const QImage b = Icons::icon(QStringLiteral("power"), dark).pixmap(16).toImage();
        QVERIFY(a != b);
        QVERIFY(Icons::icon(QStringLiteral("no.such.symbol"), light).isNull());
    }

    void trayIconHasAHalo()
    {
        // Drawn in black on a white halo, the icon has both colours: it shows on any panel.
        const QImage image = Icons::trayIcon(QStringLiteral("doc.append"), Qt::black, Qt::white)
                                 .pixmap(32)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        bool dark = false;
        bool light = false;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() < 100)
                    continue;
                dark |= pixel.lightness() < 60;
                light |= pixel.lightness() > 180;
            }
        QVERIFY(dark);
        QVERIFY(light);
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
