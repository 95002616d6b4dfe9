// The install as users get it: this build installed with `cmake --install` into a temporary
// root, then checked with the desktop's validators and by running what was installed.
#include "TestSupport.h"

#include "ai/local/RecognizerModule.h"
#include "app/DesktopIdentity.h"
#include "base/AppInfo.h"
#include "platform/linux/XdgLoginItem.h"

#include <QDir>
#include <QIcon>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
        const QByteArray &input = {})
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted(10000)) {
        result.err = process.errorString();
        return result;
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

// The keys of a desktop entry's group, as the file holds them.
QHash<QString, QString> desktopGroup(const QString &path, const QString &group)
{
    QHash<QString, QString> values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return values;
    bool inGroup = false;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')))
            inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
        else if (inGroup && line.contains(QLatin1Char('=')) && !line.startsWith(QLatin1Char('#')))
            values.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    }
    return values;
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    QString m_prefix;

    QString installed(const QString &relative) const { return m_prefix + u'/' + relative; }

    // A shell of the installed tool: its bin folder first on PATH, a home of its own.
    QProcessEnvironment userEnvironment(const QString &home) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"),
                   installed(QStringLiteral("bin")) + u':' + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        env.remove(QStringLiteral("SCRIVEL_DEV_SERVER"));
        // The installed programs find their own recognizers, not the build's.
        env.remove(QString::fromLatin1(RecognizerModule::folderVariable));
        return env;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        QVERIFY(m_root.isValid());
        // DESTDIR keeps even absolute destinations (/etc, /lib/systemd) inside the root.
        m_prefix = m_root.filePath(QStringLiteral("usr"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), m_root.path());
        const Run install = run(QStringLiteral(SCRIVEL_CMAKE_COMMAND),
                                { QStringLiteral("--install"), QStringLiteral(SCRIVEL_BINARY_DIR),
                                  QStringLiteral("--prefix"), QStringLiteral("/usr") },
                                env);
        QVERIFY2(install.code == 0, qPrintable(install.out + install.err));
    }

    void installsWhatADesktopNeeds_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("executable");
        for (const char *program : { "bin/scrivelbar", "bin/scrivel" })
            QTest::newRow(program) << QString::fromLatin1(program) << true;
        for (const char *file : { "share/applications/app.scrivelbar.desktop",
                                  "share/metainfo/app.scrivelbar.metainfo.xml",
                                  "share/icons/hicolor/scalable/apps/app.scrivelbar.svg",
                                  "share/icons/hicolor/symbolic/apps/app.scrivelbar-symbolic.svg",
                                  "share/bash-completion/completions/scrivel",
                                  "share/doc/scrivelbar/copyright",
                                  "share/doc/scrivelbar/changelog.Debian.gz" })
            QTest::newRow(file) << QString::fromLatin1(file) << false;
        const QString module = QStringLiteral(SCRIVEL_PRIVATE_LIBDIR "/") + QString::fromLatin1(RecognizerModule::fileName);
        QTest::newRow("the recognizer module") << module << false;
        if (SCRIVEL_INSTALLS_PICTURES) {
            for (const QString &size : QStringLiteral(SCRIVEL_ICON_SIZES).split(u',')) {
                const QString path = QStringLiteral("share/icons/hicolor/%1x%1/apps/app.scrivelbar.png").arg(size);
                QTest::newRow(qPrintable(path)) << path << false;
            }
        }
        if (SCRIVEL_INSTALLS_MAN_PAGES) {
            for (const char *page : { "share/man/man1/scrivelbar.1.gz", "share/man/man1/scrivel.1.gz" })
                QTest::newRow(page) << QString::fromLatin1(page) << false;
        }
    }
    void installsWhatADesktopNeeds()
    {
        QFETCH(QString, path);
        QFETCH(bool, executable);
        const QFileInfo info(installed(path));
        QVERIFY2(info.isFile() && info.size() > 0, qPrintable(info.filePath()));
        QCOMPARE(info.isExecutable(), executable);
    }

    void iconPicturesHaveTheirSize()
    {
        if (!SCRIVEL_INSTALLS_PICTURES)
            QSKIP("rsvg-convert was not found when this build was configured");
        for (const QString &size : QStringLiteral(SCRIVEL_ICON_SIZES).split(u',')) {
            const QImage picture(installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/app.scrivelbar.png").arg(size)));
            QCOMPARE(picture.size(), QSize(size.toInt(), size.toInt()));
            // The corners lie outside the rounded tile; the middle is the drawing.
            QCOMPARE(qAlpha(picture.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(picture.pixel(picture.width() / 2, picture.height() / 2)), 255);
        }
    }

    void desktopEntry()
    {
        const QString entry = installed(QStringLiteral("share/applications/app.scrivelbar.desktop"));
        const QString validator = tool("desktop-file-validate");
        if (!validator.isEmpty()) {
            const Run check = run(validator, { entry });
            QVERIFY2(check.code == 0 && check.out.isEmpty(), qPrintable(check.out + check.err));
        }
        const auto main = desktopGroup(entry, QStringLiteral("Desktop Entry"));
        QCOMPARE(main.value(QStringLiteral("Exec")), QStringLiteral("scrivelbar"));
        QCOMPARE(main.value(QStringLiteral("Icon")), QString::fromLatin1(DesktopIdentity::iconName));
        // The X11 window class Qt gives the panel's window is the application name.
        QCOMPARE(main.value(QStringLiteral("StartupWMClass")), AppInfo::name());
        QVERIFY(main.value(QStringLiteral("Categories")).split(u';').contains(u"Utility"));
        QVERIFY(!main.value(QStringLiteral("Keywords")).isEmpty());
        QCOMPARE(main.value(QStringLiteral("Actions")), QStringLiteral("toggle;"));
        const auto toggle = desktopGroup(entry, QStringLiteral("Desktop Action toggle"));
        QCOMPARE(toggle.value(QStringLiteral("Name")), QStringLiteral("Toggle panel"));
        QCOMPARE(toggle.value(QStringLiteral("Exec")), QStringLiteral("scrivelbar --toggle"));
        // The file's name is the id the app gives the desktop (Wayland's app id).
        QCOMPARE(QFileInfo(entry).completeBaseName(), QString::fromLatin1(AppInfo::identifier));
        if (validator.isEmpty())
            QSKIP("desktop-file-validate is not installed (scripts/setup --package)");
    }

    void appStreamMetadata()
    {
        const QString metainfo = installed(QStringLiteral("share/metainfo/app.scrivelbar.metainfo.xml"));
        QFile file(metainfo);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QString id;
        QStringList releases;
        QStringList binaries;
        QStringList screenshots;
        QString launchable;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const auto name = xml.name();
            if (name == u"id")
                id = xml.readElementText();
            else if (name == u"release")
                releases << xml.attributes().value(QStringLiteral("version")).toString();
            else if (name == u"binary")
                binaries << xml.readElementText();
            else if (name == u"image")
                screenshots << xml.readElementText();
            else if (name == u"launchable")
                launchable = xml.readElementText();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(id, QString::fromLatin1(AppInfo::identifier));
        QCOMPARE(launchable, QString::fromLatin1(AppInfo::identifier) + QStringLiteral(".desktop"));
        // A release whose notes were forgotten shows the previous version in software centres.
        QVERIFY(!releases.isEmpty());
        QCOMPARE(releases.first(), AppInfo::version());
        QCOMPARE(binaries, QStringList({ "scrivelbar", "scrivel" }));
        for (const QString &binary : std::as_const(binaries))
            QVERIFY(QFileInfo(installed(QStringLiteral("bin/") + binary)).isExecutable());
        // Each screenshot is one of the pictures the screenshot test keeps up to date.
        QVERIFY(screenshots.size() >= 3);
        for (const QString &url : std::as_const(screenshots)) {
            QVERIFY2(url.startsWith(u"https://"), qPrintable(url));
            const QString name = url.section(u'/', -1);
            QVERIFY2(QFileInfo::exists(QStringLiteral(SCRIVEL_SOURCE_DIR "/docs/screenshots/") + name),
                     qPrintable(name));
        }

        const QString validator = tool("appstreamcli");
        if (validator.isEmpty())
            QSKIP("appstreamcli is not installed (scripts/setup --package)");
        // Two-part ids are valid reverse domains; AppStream's own advice asks for three.
        const Run check = run(validator, { QStringLiteral("validate"), QStringLiteral("--no-net"),
                                           QStringLiteral("--override=cid-desktopapp-is-not-rdns=info"),
                                           metainfo });
        QVERIFY2(check.code == 0, qPrintable(check.out + check.err));
    }

    void installedProgramsRun_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("scrivel --version") << "scrivel" << QStringList { "--version" }
                                           << QStringLiteral("scrivel ") + AppInfo::version();
        QTest::newRow("scrivelbar --version")
            << "scrivelbar" << QStringList { "--version" }
            << QStringLiteral("scrivelbar ") + AppInfo::version();
        QTest::newRow("scrivelbar --help") << "scrivelbar" << QStringList { "--help" }
                                           << "--hidden";
        // Through the recognizer module installed beside the programs.
        QTest::newRow("scrivel ai ocr")
            << "scrivel" << QStringList { "ai", "ocr", "@image" } << "Read by the installed module";
    }
    void installedProgramsRun()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        QTemporaryDir home;
        const QString image = home.filePath(QStringLiteral("words.png"));
        if (arguments.contains(u"@image")) {
            QImage picture(600, 90, QImage::Format_RGB32);
            picture.fill(Qt::white);
            QPainter painter(&picture);
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setPixelSize(30);
            painter.setFont(font);
            painter.drawText(20, 55, expected);
            painter.end();
            QVERIFY(picture.save(image));
            arguments.replace(arguments.indexOf(u"@image"), image);
        }
        const Run result = run(installed(QStringLiteral("bin/") + program), arguments,
                               userEnvironment(home.path()));
        QCOMPARE(result.code, 0);
        QVERIFY2(result.out.contains(expected), qPrintable(result.out + result.err));
    }

    void manPages_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("scrivelbar") << "scrivelbar"
                                    << QStringList { ".TH SCRIVELBAR \"1\"", "\\-\\-toggle",
                                                     "\\-\\-hidden", AppInfo::version() };
        QTest::newRow("scrivel") << "scrivel"
                                 << QStringList { ".TH SCRIVEL \"1\"", "empty\\-trash",
                                                  "\\-\\-notes", AppInfo::version() };
    }
    void manPages()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, expected);
        if (!SCRIVEL_INSTALLS_MAN_PAGES)
            QSKIP("help2man was not found when this build was configured");
        const Run text = run(QStringLiteral("gzip"),
                             { QStringLiteral("-dc"),
                               installed(QStringLiteral("share/man/man1/%1.1.gz").arg(page)) });
        QCOMPARE(text.code, 0);
        for (const QString &piece : std::as_const(expected))
            QVERIFY2(text.out.contains(piece), qPrintable(piece + QStringLiteral(" in:\n") + text.out.left(600)));
    }

    // The completion as bash runs it: the installed script in bash-completion's framework,
    // asked about a command line, with note ids from the installed tool.
    void bashCompletion_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("unexpected");
        QTest::newRow("command") << "scrivel sh" << QStringList { "show", "share" }
                                 << QStringList { "set" };
        QTest::newRow("global option") << "scrivel --no" << QStringList { "--notes" }
                                       << QStringList {};
        QTest::newRow("command option") << "scrivel list --t" << QStringList { "--trash", "--tag" }
                                        << QStringList { "--json" };
        QTest::newRow("option value") << "scrivel list --tag " << QStringList { "text", "image", "audio" }
                                      << QStringList {};
        QTest::newRow("ai subcommand") << "scrivel ai s" << QStringList { "summarize" }
                                       << QStringList { "ocr" };
        QTest::newRow("ai key provider") << "scrivel ai key set o"
                                         << QStringList { "openai", "openrouter" }
                                         << QStringList { "anthropic" };
        QTest::newRow("live note id") << "scrivel show " << QStringList { "@live" }
                                      << QStringList { "@trashed" };
        QTest::newRow("trashed note id") << "scrivel restore " << QStringList { "@trashed" }
                                         << QStringList { "@live" };
        QTest::newRow("ids of the folders given")
            << "scrivel --notes @notes --support @support show " << QStringList { "@other" }
            << QStringList { "@live" };
        QTest::newRow("only the first argument is an id")
            << "scrivel show @live " << QStringList {} << QStringList { "@live", "@trashed" };
    }
    void bashCompletion()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, unexpected);
        const QString framework = QStringLiteral("/usr/share/bash-completion/bash_completion");
        if (!QFileInfo::exists(framework))
            QSKIP("bash-completion is not installed (scripts/setup --package)");

        // A home with one live and one trashed note, and another folder pair with a third.
        QTemporaryDir home;
        const QProcessEnvironment env = userEnvironment(home.path());
        const QString scrivel = installed(QStringLiteral("bin/scrivel"));
        const auto create = [&](const QStringList &folders, const char *text) {
            const Run made = run(scrivel, folders + QStringList { QStringLiteral("new"), QString::fromLatin1(text) }, env);
            return made.code == 0 ? made.out.trimmed() : QString();
        };
        QHash<QString, QString> ids;
        ids[QStringLiteral("@live")] = create({}, "Live note");
        ids[QStringLiteral("@trashed")] = create({}, "Trashed note");
        const QStringList other { QStringLiteral("--notes"), home.filePath(QStringLiteral("o/notes")),
                                  QStringLiteral("--support"), home.filePath(QStringLiteral("o/support")) };
        ids[QStringLiteral("@other")] = create(other, "Other note");
        ids[QStringLiteral("@notes")] = other.at(1);
        ids[QStringLiteral("@support")] = other.at(3);
        for (const QString &id : std::as_const(ids))
            QVERIFY(!id.isEmpty());
        QCOMPARE(run(scrivel, { QStringLiteral("delete"), ids[QStringLiteral("@trashed")] }, env).code, 0);
        const auto expand = [&ids](QString text) {
            for (auto it = ids.cbegin(); it != ids.cend(); ++it)
                text.replace(it.key(), it.value());
            return text;
        };

        const QString script = QStringLiteral(
            "source %1\nsource %2\n"
            "COMP_LINE=\"$1\"; COMP_POINT=${#COMP_LINE}\n"
            "read -r -a COMP_WORDS <<< \"$COMP_LINE\"\n"
            "[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('')\n"
            "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
            "_scrivel scrivel \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD-1]}\"\n"
            "printf '%s\\n' \"${COMPREPLY[@]}\"\n")
                                   .arg(framework, installed(QStringLiteral("share/bash-completion/completions/scrivel")));
        const Run completion = run(QStringLiteral("bash"),
                                   { QStringLiteral("-c"), script, QStringLiteral("bash"), expand(line) }, env);
        QVERIFY2(completion.code == 0, qPrintable(completion.err));
        const QStringList words = completion.out.split(u'\n', Qt::SkipEmptyParts);
        for (const QString &word : std::as_const(expected))
            QVERIFY2(words.contains(expand(word)), qPrintable(words.join(u' ')));
        for (const QString &word : std::as_const(unexpected))
            QVERIFY2(!words.contains(expand(word)), qPrintable(words.join(u' ')));
    }

    // The app's icons come from the installed theme, and from its own copy without one.
    void iconsFromTheInstalledTheme()
    {
        const QString themeIndex = QStringLiteral("/usr/share/icons/hicolor/index.theme");
        if (!QFileInfo::exists(themeIndex))
            QSKIP("hicolor-icon-theme is not installed (scripts/setup --package)");
        const QIcon drawn(QPixmap(16, 16));
        QTemporaryDir empty;
        QIcon::setThemeSearchPaths({ empty.path() });
        QIcon::setThemeName(QStringLiteral("hicolor"));
        QVERIFY(DesktopIdentity::applicationIcon().name().isEmpty());
        QVERIFY(!DesktopIdentity::applicationIcon().isNull()); // the bundled copy
        QVERIFY(DesktopIdentity::trayIcon(drawn, true).name().isEmpty());

        // hicolor-icon-theme owns the theme's index; this install adds its icons beside it.
        const QString icons = installed(QStringLiteral("share/icons"));
        QVERIFY(QFile::copy(themeIndex, icons + QStringLiteral("/hicolor/index.theme")));
        QIcon::setThemeSearchPaths({ icons });
        QIcon::setThemeName(QStringLiteral("hicolor"));
        const QIcon application = DesktopIdentity::applicationIcon();
        QCOMPARE(application.name(), QString::fromLatin1(DesktopIdentity::iconName));
        QVERIFY(!application.pixmap(48, 48).isNull());
        const QIcon tray = DesktopIdentity::trayIcon(drawn, true);
        QCOMPARE(tray.name(), QString::fromLatin1(DesktopIdentity::trayIconName));
        QCOMPARE(tray.pixmap(16, 16).size(), QSize(16, 16)); // the drawn pixmaps, not the file's
        QVERIFY(DesktopIdentity::trayIcon(drawn, false).name().isEmpty());
    }

    // Launch at login from the build's program names the installed one on PATH.
    void loginEntryNamesTheInstalledProgram()
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), installed(QStringLiteral("bin")) + QStringLiteral(":/usr/bin"));
        const auto program = XdgLoginItem::programToStart(
            QStringLiteral(SCRIVEL_BINARY_DIR "/src/scrivelbar"), env);
        QVERIFY2(program, qPrintable(program ? QString() : program.error()));
        QCOMPARE(*program, installed(QStringLiteral("bin/scrivelbar")));
    }

    // The server's unit as systemd reads it; a broken one is rejected, so the check is real.
    void serverUnitVerifies_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("valid");
        QTest::newRow("as shipped") << QString() << true;
        QTest::newRow("a misspelt setting") << "DynamicUser=maybe" << false;
    }
    void serverUnitVerifies()
    {
        QFETCH(QString, change);
        QFETCH(bool, valid);
        const QString analyze = tool("systemd-analyze");
        if (analyze.isEmpty())
            QSKIP("systemd-analyze is not installed");
        QTemporaryDir dir;
        const QString program = dir.filePath(QStringLiteral("bin/scrivel-server"));
        QVERIFY(TestSupport::writeExecutable(program));
        QString unit = QString::fromUtf8(TestSupport::readFile(QStringLiteral(SCRIVEL_UNIT_TEMPLATE)));
        QVERIFY(unit.contains(u"DynamicUser=yes"));
        QVERIFY(unit.contains(u"StateDirectory=scrivel-server"));
        unit.replace(QStringLiteral("@CMAKE_INSTALL_FULL_BINDIR@/scrivel-server"), program);
        unit.replace(QStringLiteral("@CMAKE_INSTALL_FULL_SYSCONFDIR@"), QStringLiteral("/etc"));
        if (!change.isEmpty())
            unit.replace(QStringLiteral("DynamicUser=yes"), change);
        const QString path = dir.filePath(QStringLiteral("scrivel-server.service"));
        QVERIFY(TestSupport::writeFile(path, unit.toUtf8()));
        const Run verify = run(analyze, { QStringLiteral("verify"), QStringLiteral("--man=no"), path });
        QVERIFY2((verify.code == 0) == valid, qPrintable(verify.out + verify.err));
    }

    // The server's Debian package, made by the real rules from a stand-in project (this tree
    // does not build the server): its files, settings file, service and maintainer scripts.
    void serverPackage()
    {
        const QString dpkgDeb = tool("dpkg-deb");
        if (dpkgDeb.isEmpty() || tool("dpkg-shlibdeps").isEmpty())
            QSKIP("dpkg-dev is not installed (scripts/setup --package)");
        QTemporaryDir dir;
        const QString build = dir.filePath(QStringLiteral("build"));
        const Run configure = run(QStringLiteral(SCRIVEL_CMAKE_COMMAND),
                                  { QStringLiteral("-S"), QStringLiteral(SCRIVEL_STANDIN_DIR),
                                    QStringLiteral("-B"), build,
                                    QStringLiteral("-DCMAKE_INSTALL_PREFIX=/usr"),
                                    QStringLiteral("-DSCRIVEL_PACKAGING_DIR=" SCRIVEL_PACKAGING_DIR) });
        QVERIFY2(configure.code == 0, qPrintable(configure.out + configure.err));
        const Run compile = run(QStringLiteral(SCRIVEL_CMAKE_COMMAND), { QStringLiteral("--build"), build });
        QVERIFY2(compile.code == 0, qPrintable(compile.out + compile.err));
        QProcess cpack;
        cpack.setWorkingDirectory(build);
        cpack.start(QStringLiteral(SCRIVEL_CPACK_COMMAND), { QStringLiteral("-G"), QStringLiteral("DEB") });
        QVERIFY(cpack.waitForFinished(120000));
        QVERIFY2(cpack.exitCode() == 0, cpack.readAllStandardError().constData());
        const QStringList found = QDir(build + QStringLiteral("/packages")).entryList({ QStringLiteral("scrivel-server_*.deb") });
        QCOMPARE(found.size(), 1);
        const QString package = build + QStringLiteral("/packages/") + found.first();

        const Run contents = run(dpkgDeb, { QStringLiteral("--contents"), package });
        QCOMPARE(contents.code, 0);
        for (const char *path : { "./usr/bin/scrivel-server", "./lib/systemd/system/scrivel-server.service",
                                  "./usr/share/man/man1/scrivel-server.1.gz",
                                  "./usr/share/doc/scrivel-server/copyright" })
            QVERIFY2(contents.out.contains(QString::fromLatin1(path)), path);
        // Root only: it may hold the database's password.
        QVERIFY2(contents.out.contains(QRegularExpression(QStringLiteral("-rw------- root/root .* ./etc/scrivel-server/scrivel-server.env"))),
                 qPrintable(contents.out));
        // The app's files stay in the app's package.
        QVERIFY(!contents.out.contains(u"usr/bin/scrivelbar"));

        const Run conffiles = run(dpkgDeb, { QStringLiteral("--info"), package, QStringLiteral("conffiles") });
        QCOMPARE(conffiles.out.trimmed(), QStringLiteral("/etc/scrivel-server/scrivel-server.env"));
        const Run postinst = run(dpkgDeb, { QStringLiteral("--info"), package, QStringLiteral("postinst") });
        QVERIFY(postinst.out.contains(u"deb-systemd-helper enable 'scrivel-server.service'"));
        const Run depends = run(dpkgDeb, { QStringLiteral("--field"), package, QStringLiteral("Depends") });
        QVERIFY2(depends.out.contains(u"libqt6sql6-sqlite") && depends.out.contains(u"libc6"),
                 qPrintable(depends.out));

        const QString root = dir.filePath(QStringLiteral("root"));
        QCOMPARE(run(dpkgDeb, { QStringLiteral("-x"), package, root }).code, 0);
        const QString unit = QString::fromUtf8(TestSupport::readFile(root + QStringLiteral("/lib/systemd/system/scrivel-server.service")));
        for (const char *line : { "ExecStart=/usr/bin/scrivel-server", "DynamicUser=yes",
                                  "StateDirectory=scrivel-server",
                                  "Environment=SCRIVEL_SERVER_DATA=/var/lib/scrivel-server",
                                  "EnvironmentFile=-/etc/scrivel-server/scrivel-server.env" })
            QVERIFY2(unit.split(u'\n').contains(QString::fromLatin1(line)), line);
        // Shipped with every setting commented out: the defaults hold until the administrator
        // changes one.
        const QString settings = QString::fromUtf8(TestSupport::readFile(root + QStringLiteral("/etc/scrivel-server/scrivel-server.env")));
        for (const char *name : { "SCRIVEL_SERVER_LISTEN", "SCRIVEL_SERVER_DATA", "SCRIVEL_SERVER_DATABASE" })
            QVERIFY2(settings.contains(QStringLiteral("#%1=").arg(QLatin1String(name))), name);
        for (const QString &line : settings.split(u'\n'))
            QVERIFY2(line.isEmpty() || line.startsWith(u'#'), qPrintable(line));
    }
};

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
