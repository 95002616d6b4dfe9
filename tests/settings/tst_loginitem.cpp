#include "TestSupport.h"
#include "platform/linux/XdgLoginItem.h"
#include "MemoryLoginItem.h"

#include "platform/LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using Status = LoginItem::Status;

namespace {

// An executable file at `path` (the autostart entry must point at a program that exists).
bool makeExecutable(const QString &path)
{
    if (!TestSupport::writeFile(path, "#!/bin/sh\n"))
        return false;
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
        return std::make_unique<XdgLoginItem>(dir.filePath(QStringLiteral("config/autostart")));
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

    void writesADesktopEntry()
    {
        QTemporaryDir dir;
        XdgLoginItem item(dir.path());
        QVERIFY(item.registerItem());
        const QString text = QString::fromUtf8(TestSupport::readFile(item.entryPath()));
        const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
        QVERIFY(lines.contains(QStringLiteral("Type=Application")));
        QVERIFY(lines.contains(QStringLiteral("Name=ScrivelBar")));
        QVERIFY(lines.contains(QStringLiteral("Icon=app.scrivelbar")));
        QVERIFY(lines.contains(QStringLiteral("X-GNOME-Autostart-enabled=true")));
        QVERIFY(lines.contains(QStringLiteral("Exec=")
                               + XdgLoginItem::quoteExecArgument(item.executable())));
        QVERIFY(std::any_of(lines.begin(), lines.end(), [](const QString &l) {
            return l.startsWith(QLatin1String("Comment="));
        }));
        // Written through a temporary file: nothing but the entry is left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
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
        XdgLoginItem item(dir.path());
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
        XdgLoginItem item(autostart);
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
