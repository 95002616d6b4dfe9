#include "TestSupport.h"
#include "platform/linux/XdgLoginItem.h"
#include "MemoryLoginItem.h"

#include "platform/LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using Status = LoginItem::Status;

namespace {

// An executable file at `path` (the autostart entry must point at a program that exists).
bool makeExecutable(const QString &path)
{
    return TestSupport::writeExecutable(path);
}

// An installed program in `dir` for the entries to start: the test itself runs from a build
// folder, which a login entry must never name.
QString installedProgram(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("usr/bin/scrivelbar"));
    return makeExecutable(path) ? path : QString();
}

QProcessEnvironment environment(const QTemporaryDir &dir,
                                const QList<std::pair<QString, QString>> &variables)
{
    QProcessEnvironment env;
    for (const auto &[name, value] : variables) {
        QString expanded = value;
        expanded.replace(QStringLiteral("@"), dir.path());
        env.insert(name, expanded);
    }
    return env;
}

} // namespace

class LoginItemTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<LoginItem> make(const QString &backend, const QTemporaryDir &dir)
    {
        if (backend == QLatin1String("memory"))
            return std::make_unique<MemoryLoginItem>();
        return std::make_unique<XdgLoginItem>(dir.filePath(QStringLiteral("config/autostart")),
                                              installedProgram(dir));
    }

private slots:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    // The same contract for the real entry and the fake.
    void contract_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::newRow("xdg") << "xdg";
        QTest::newRow("memory") << "memory";
    }
    void contract()
    {
        QFETCH(QString, backend);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        auto item = make(backend, dir);
        QCOMPARE(item->status(), Status::NotRegistered);
        QVERIFY(item->unregisterItem()); // nothing to remove is not an error
        QVERIFY(item->registerItem());
        QCOMPARE(item->status(), Status::Enabled);
        QVERIFY(item->registerItem()); // again: still fine
        QCOMPARE(item->status(), Status::Enabled);
        QVERIFY(item->unregisterItem());
        QCOMPARE(item->status(), Status::NotRegistered);
    }

    void defaults()
    {
        XdgLoginItem item;
        QCOMPARE(item.autostartDirectory(),
                 QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                     + QStringLiteral("/autostart"));
        QCOMPARE(QFileInfo(item.entryPath()).fileName(), QStringLiteral("app.scrivelbar.desktop"));
        QCOMPARE(item.executable(), QCoreApplication::applicationFilePath());
        QVERIFY(QDir::isAbsolutePath(item.executable()));
    }

    // This test runs from its build folder, and no installed copy has its name: the switch
    // must fail in words instead of writing an entry that dies with the build folder.
    void runningFromABuildFolderIsNotRegistered()
    {
        QTemporaryDir dir;
        XdgLoginItem item(dir.path());
        const auto result = item.registerItem();
        QVERIFY(!result);
        QCOMPARE(result.error().code, LoginItemError::Code::NotInstalled);
        QVERIFY2(result.error().message.contains(QCoreApplication::applicationFilePath()),
                 qPrintable(result.error().message));
        QVERIFY(!QFileInfo::exists(item.entryPath()));
        QCOMPARE(item.status(), Status::NotRegistered);
    }

    // Which program the entry starts. "@" stands for the test's temporary folder; files named
    // in `files` exist and are executable, `buildTree` holds a CMakeCache.txt.
    void programToStart_data()
    {
        using Vars = QList<std::pair<QString, QString>>;
        QTest::addColumn<QString>("running");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("buildTree");
        QTest::addColumn<Vars>("variables");
        QTest::addColumn<QString>("expected"); // empty: an error
        QTest::addColumn<QString>("errorMentions");

        QTest::newRow("installed") << "@/usr/bin/scrivelbar" << QStringList { "usr/bin/scrivelbar" }
                                   << QString() << Vars {} << "@/usr/bin/scrivelbar" << QString();
        QTest::newRow("AppImage: the image file, not the mount")
            << "@/mnt/.mount_Scriv/usr/bin/scrivelbar"
            << QStringList { "mnt/.mount_Scriv/usr/bin/scrivelbar", "Apps/ScrivelBar.AppImage" }
            << QString()
            << Vars { { "APPDIR", "@/mnt/.mount_Scriv" },
                      { "APPIMAGE", "@/Apps/ScrivelBar.AppImage" } }
            << "@/Apps/ScrivelBar.AppImage" << QString();
        QTest::newRow("AppImage whose file is gone")
            << "@/mnt/.mount_Scriv/usr/bin/scrivelbar"
            << QStringList { "mnt/.mount_Scriv/usr/bin/scrivelbar" } << QString()
            << Vars { { "APPDIR", "@/mnt/.mount_Scriv" },
                      { "APPIMAGE", "@/Apps/ScrivelBar.AppImage" } }
            << QString() << "@/mnt/.mount_Scriv";
        QTest::newRow("AppImage without APPIMAGE")
            << "@/mnt/.mount_Scriv/usr/bin/scrivelbar"
            << QStringList { "mnt/.mount_Scriv/usr/bin/scrivelbar" } << QString()
            << Vars { { "APPDIR", "@/mnt/.mount_Scriv" } } << QString() << "@/mnt/.mount_Scriv";
        QTest::newRow("relative APPIMAGE is not trusted")
            << "@/mnt/.mount_Scriv/usr/bin/scrivelbar"
            << QStringList { "mnt/.mount_Scriv/usr/bin/scrivelbar" } << QString()
            << Vars { { "APPDIR", "@/mnt/.mount_Scriv" }, { "APPIMAGE", "ScrivelBar.AppImage" } }
            << QString() << "@/mnt/.mount_Scriv";
        // An installed copy started from a program that runs as an AppImage inherits both.
        QTest::newRow("inherited AppImage variables")
            << "@/usr/bin/scrivelbar"
            << QStringList { "usr/bin/scrivelbar", "Apps/Terminal.AppImage" } << QString()
            << Vars { { "APPDIR", "@/mnt/.mount_Term" },
                      { "APPIMAGE", "@/Apps/Terminal.AppImage" } }
            << "@/usr/bin/scrivelbar" << QString();
        QTest::newRow("build folder, installed copy on PATH")
            << "@/src/build/src/scrivelbar"
            << QStringList { "src/build/src/scrivelbar", "prefix/bin/scrivelbar" }
            << "src/build"
            << Vars { { "PATH", "relative/bin:@/nothing:@/prefix/bin:/usr/bin" } }
            << "@/prefix/bin/scrivelbar" << QString();
        QTest::newRow("build folder, only itself on PATH")
            << "@/src/build/src/scrivelbar" << QStringList { "src/build/src/scrivelbar" }
            << "src/build" << Vars { { "PATH", "@/src/build/src" } } << QString()
            << "@/src/build/src/scrivelbar";
        QTest::newRow("build folder, nothing installed")
            << "@/src/build/src/scrivelbar" << QStringList { "src/build/src/scrivelbar" }
            << "src/build" << Vars {} << QString() << "@/src/build/src/scrivelbar";
        QTest::newRow("deep in a build folder")
            << "@/b/x/y/z/scrivelbar" << QStringList { "b/x/y/z/scrivelbar", "usr/bin/scrivelbar" }
            << "b" << Vars { { "PATH", "@/usr/bin" } } << "@/usr/bin/scrivelbar" << QString();
    }
    void programToStart()
    {
        using Vars = QList<std::pair<QString, QString>>;
        QFETCH(QString, running);
        QFETCH(QStringList, files);
        QFETCH(QString, buildTree);
        QFETCH(Vars, variables);
        QFETCH(QString, expected);
        QFETCH(QString, errorMentions);
        QTemporaryDir dir;
        const auto at = [&dir](QString text) { return text.replace(QStringLiteral("@"), dir.path()); };
        for (const QString &file : std::as_const(files))
            QVERIFY(makeExecutable(dir.filePath(file)));
        if (!buildTree.isEmpty())
            QVERIFY(TestSupport::writeFile(dir.filePath(buildTree + QStringLiteral("/CMakeCache.txt")), "#\n"));
        const auto result = XdgLoginItem::programToStart(at(running), environment(dir, variables));
        if (expected.isEmpty()) {
            QVERIFY2(!result, qPrintable(result.value_or(QString())));
            QVERIFY2(result.error().contains(at(errorMentions)), qPrintable(result.error()));
        } else {
            QVERIFY2(result, qPrintable(result ? QString() : result.error()));
            QCOMPARE(*result, at(expected));
        }
    }

    void writesADesktopEntry()
    {
        QTemporaryDir dir;
        XdgLoginItem item(dir.filePath(QStringLiteral("autostart")), installedProgram(dir));
        QVERIFY(item.registerItem());
        const QString text = QString::fromUtf8(TestSupport::readFile(item.entryPath()));
        const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
        QVERIFY(lines.contains(QStringLiteral("Type=Application")));
        QVERIFY(lines.contains(QStringLiteral("Name=ScrivelBar")));
        QVERIFY(lines.contains(QStringLiteral("Icon=app.scrivelbar")));
        QVERIFY(lines.contains(QStringLiteral("X-GNOME-Autostart-enabled=true")));
        // The installed program, started without opening the panel.
        QVERIFY(lines.contains(QStringLiteral("Exec=") + dir.filePath(QStringLiteral("usr/bin/scrivelbar"))
                               + QStringLiteral(" --hidden")));
        const auto exec = XdgLoginItem::splitExec(lines.filter(QRegularExpression(QStringLiteral("^Exec="))).first().mid(5));
        QVERIFY(exec);
        QCOMPARE(exec->last(), XdgLoginItem::hiddenArgument());
        QVERIFY(std::any_of(lines.begin(), lines.end(), [](const QString &l) {
            return l.startsWith(QLatin1String("Comment="));
        }));
        // Written through a temporary file: nothing but the entry is left behind.
        QCOMPARE(QDir(item.autostartDirectory()).entryList(QDir::Files | QDir::Hidden),
                 QStringList { QStringLiteral("app.scrivelbar.desktop") });
    }

    void execQuoting_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "/usr/bin/scrivelbar"
                               << "/usr/bin/scrivelbar";
        QTest::newRow("space") << "/opt/My Apps/scrivelbar"
                               << "\"/opt/My Apps/scrivelbar\"";
        QTest::newRow("double quote") << "/a\"b"
                                      << "\"/a\\\\\"b\"";
        QTest::newRow("dollar") << "/a$b"
                                << "\"/a\\\\$b\"";
        QTest::newRow("backslash is four") << "/a\\b"
                                           << "\"/a\\\\\\\\b\"";
        QTest::newRow("backtick") << "/a`b"
                                  << "\"/a\\\\`b\"";
        QTest::newRow("percent doubled") << "/a%b"
                                         << "/a%%b";
        QTest::newRow("single quote") << "/it's"
                                      << "\"/it's\"";
        QTest::newRow("tilde") << "~/bin/x"
                               << "\"~/bin/x\"";
        QTest::newRow("newline escaped") << "/a\nb"
                                         << "\"/a\\nb\"";
    }
    void execQuoting()
    {
        QFETCH(QString, argument);
        QFETCH(QString, expected);
        QCOMPARE(XdgLoginItem::quoteExecArgument(argument), expected);
    }

    // An entry written for an awkward path reads back as the same program.
    void awkwardExecutablePathsRoundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("spaces") << "My Apps/scrivel bar";
        QTest::newRow("shell characters") << "a$b`c\"d'e;f&g|h(i)j*k?l#m<n>o";
        QTest::newRow("backslash") << "back\\slash";
        QTest::newRow("percent") << "100%/x%U";
        QTest::newRow("unicode") << "Notizen ünd Ñotas/scrivelbar";
    }
    void awkwardExecutablePathsRoundTrip()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString executable = dir.filePath(QStringLiteral("bin/") + name);
        QVERIFY(makeExecutable(executable));
        XdgLoginItem item(dir.filePath(QStringLiteral("autostart")), executable);
        const auto result = item.registerItem();
        QVERIFY2(result, qPrintable(result ? QString() : result.error().message));
        QCOMPARE(item.status(), Status::Enabled);
    }

    void splitExec_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("simple") << "/usr/bin/x --flag" << true
                                << QStringList { "/usr/bin/x", "--flag" };
        QTest::newRow("quoted") << "\"/a b/x\" y" << true << QStringList { "/a b/x", "y" };
        QTest::newRow("escapes in quotes")
            << "\"a\\\"b\\$c\\\\d\"" << true << QStringList { "a\"b$c\\d" };
        QTest::newRow("field codes dropped") << "x %U %f" << true << QStringList { "x" };
        QTest::newRow("literal percent") << "x 100%%" << true << QStringList { "x", "100%" };
        QTest::newRow("unclosed quote") << "\"/a b" << false << QStringList {};
        QTest::newRow("bad escape in quotes") << "\"a\\qb\"" << false << QStringList {};
        QTest::newRow("empty") << "" << true << QStringList {};
    }
    void splitExec()
    {
        QFETCH(QString, value);
        QFETCH(bool, valid);
        QFETCH(QStringList, arguments);
        const auto result = XdgLoginItem::splitExec(value);
        QCOMPARE(result.has_value(), valid);
        if (valid)
            QCOMPARE(*result, arguments);
    }

    void statusOfExistingEntries_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<Status>("expected");
        const QByteArray exec = "Exec=/bin/sh\n";
        QTest::newRow("minimal") << "[Desktop Entry]\nType=Application\nName=X\n" + exec
                                 << Status::Enabled;
        QTest::newRow("comments, blank lines, CRLF, other groups")
            << QByteArray("# made by hand\r\n\r\n[Desktop Entry]\r\nType=Application\r\n"
                          "Exec=sh -c true %U\r\n[Desktop Action x]\r\nExec=nothing\r\n")
            << Status::Enabled;
        QTest::newRow("Hidden=true")
            << "[Desktop Entry]\nType=Application\nHidden=true\n" + exec << Status::NotRegistered;
        QTest::newRow("switched off in GNOME")
            << "[Desktop Entry]\nType=Application\nX-GNOME-Autostart-enabled=false\n" + exec
            << Status::NotRegistered;
        QTest::newRow("Hidden=false is fine")
            << "[Desktop Entry]\nType=Application\nHidden=false\n" + exec << Status::Enabled;
        QTest::newRow("not an application")
            << "[Desktop Entry]\nType=Link\n" + exec << Status::NotRegistered;
        QTest::newRow("no Exec") << QByteArray("[Desktop Entry]\nType=Application\n")
                                 << Status::NotRegistered;
        QTest::newRow("unclosed quote in Exec")
            << QByteArray("[Desktop Entry]\nType=Application\nExec=\"/bin/sh\n")
            << Status::NotRegistered;
        QTest::newRow("another group first")
            << "[Other]\nA=b\n[Desktop Entry]\nType=Application\n" + exec << Status::NotRegistered;
        QTest::newRow("garbage") << QByteArray("\x00\xff not a desktop entry", 22)
                                 << Status::NotRegistered;
        QTest::newRow("empty file") << QByteArray() << Status::NotRegistered;
        QTest::newRow("program gone")
            << QByteArray("[Desktop Entry]\nType=Application\nExec=/nonexistent/scrivelbar\n")
            << Status::NotFound;
        QTest::newRow("program not on PATH")
            << QByteArray("[Desktop Entry]\nType=Application\nExec=no-such-program-scrivel\n")
            << Status::NotFound;
        QTest::newRow("oversized") << "[Desktop Entry]\nType=Application\n" + exec + "#"
                + QByteArray(100 * 1024, 'x')
                + "\n" << Status::NotRegistered;
    }
    void statusOfExistingEntries()
    {
        QFETCH(QByteArray, content);
        QFETCH(Status, expected);
        QTemporaryDir dir;
        XdgLoginItem item(dir.path());
        QVERIFY(TestSupport::writeFile(item.entryPath(), content));
        QCOMPARE(item.status(), expected);
    }

    void registerRepairsADisabledOrStaleEntry_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("hidden") << QByteArray(
            "[Desktop Entry]\nType=Application\nHidden=true\nExec=/bin/sh\n");
        QTest::newRow("program gone")
            << QByteArray("[Desktop Entry]\nType=Application\nExec=/gone/x\n");
        QTest::newRow("garbage") << QByteArray("garbage");
    }
    void registerRepairsADisabledOrStaleEntry()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        XdgLoginItem item(dir.filePath(QStringLiteral("autostart")), installedProgram(dir));
        QVERIFY(TestSupport::writeFile(item.entryPath(), content));
        QVERIFY(item.registerItem());
        QCOMPARE(item.status(), Status::Enabled);
    }

    void unwritableAutostartFolder()
    {
        // A file where the folder should be stops even root, unlike permission bits.
        QTemporaryDir dir;
        const QString autostart = dir.filePath(QStringLiteral("autostart"));
        QVERIFY(TestSupport::writeFile(autostart, "not a folder"));
        XdgLoginItem item(autostart, installedProgram(dir));
        const auto result = item.registerItem();
        QVERIFY(!result);
        QCOMPARE(result.error().code, LoginItemError::Code::WriteFailed);
        QVERIFY2(result.error().message.contains(item.entryPath()),
                 qPrintable(result.error().message));
        QCOMPARE(item.status(), Status::NotRegistered);
    }

    void unregisterFailureIsReported()
    {
        // An entry path that is a non-empty folder cannot be removed as a file.
        QTemporaryDir dir;
        XdgLoginItem item(dir.path());
        QVERIFY(TestSupport::writeFile(item.entryPath() + QStringLiteral("/inside"), "x"));
        const auto result = item.unregisterItem();
        QVERIFY(!result);
        QVERIFY(result.error().message.contains(item.entryPath()));
    }

    void registerThatDoesNotTakeEffectIsAFailure()
    {
        // The entry is written, but it points at nothing: reporting success would be a lie.
        QTemporaryDir dir;
        XdgLoginItem item(dir.path(), dir.filePath(QStringLiteral("missing/scrivelbar")));
        const auto result = item.registerItem();
        QVERIFY(!result);
        QCOMPARE(result.error().code, LoginItemError::Code::NotEffective);
        QCOMPARE(item.status(), Status::NotFound);
    }

    void fakeInjectsFailures()
    {
        MemoryLoginItem item;
        item.setFailure(QStringLiteral("denied"));
        const auto result = item.registerItem();
        QVERIFY(!result);
        QCOMPARE(result.error().message, QStringLiteral("denied"));
        QCOMPARE(item.status(), Status::NotRegistered);
        item.setFailure({});
        QVERIFY(item.registerItem());
        QCOMPARE(item.registerCalls(), 2);
    }
};

QTEST_GUILESS_MAIN(LoginItemTest)
#include "tst_loginitem.moc"
