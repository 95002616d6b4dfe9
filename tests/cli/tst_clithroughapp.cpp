// The scrivel tool while the app holds the notes: a real app-side command server on a real
// store and the single-instance socket, and the real tool run as a process. Whatever the
// tool prints and exits with must be what it gives when it works on the folder itself.
#include "TestSupport.h"

#include "app/CommandServer.h"
#include "platform/linux/SingleInstance.h"
#include "store/NoteStore.h"
#include "store/StoreLock.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

namespace {

struct Run
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the tool with the event loop going, so that a server in this process can answer.
Run scrivel(const QStringList &arguments, const QByteArray &input = {},
            const QString &workingDirectory = {})
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(SCRIVEL_CLI_PATH), arguments);
    if (!process.waitForStarted(10000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (finished.isEmpty() && !finished.wait(20000))
        return {};
    return { process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError() };
}

bool copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = QDir(to).filePath(QDir(from).relativeFilePath(source));
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (!QFile::copy(source, target))
            return false;
    }
    return true;
}

// The running app's side: the lock, the live store, the socket and the command server.
struct RunningApp
{
    explicit RunningApp(const TestSupport::TempFolders &folders)
        : lock(StoreLock::acquire(folders.support()))
    {
        NoteStore::Options options;
        options.notesFolder = folders.notes();
        options.supportFolder = folders.support();
        options.watchFolder = false;
        store = std::make_unique<NoteStore>(options);
        store->movesToSystemTrash = false;
        listening = instance.listen(SingleInstance::serverNameFor(folders.support()));
        server = std::make_unique<CommandServer>(instance, *store);
    }
    std::expected<StoreLock, QString> lock;
    std::unique_ptr<NoteStore> store;
    SingleInstance instance;
    bool listening = false;
    std::unique_ptr<CommandServer> server;
};

// What the two runs may rightly differ in: identifiers made during the run (new notes,
// attachment files) and the times of notes changed during it.
QByteArray normalised(QByteArray text, const QStringList &known)
{
    QString s = QString::fromUtf8(text);
    static const QRegularExpression uuid(QStringLiteral(
        "[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}"));
    s.replace(uuid, QStringLiteral("<uuid>"));
    static const QRegularExpression id(QStringLiteral("\\b[0-9a-f]{12}\\b"));
    QString result;
    qsizetype last = 0;
    for (auto it = id.globalMatch(s); it.hasNext();) {
        const auto match = it.next();
        result += s.mid(last, match.capturedStart() - last);
        result += known.contains(match.captured()) ? match.captured() : QStringLiteral("<new>");
        last = match.capturedEnd();
    }
    result += s.mid(last);
    static const QRegularExpression when(QStringLiteral("\\t\\d{4}-\\d\\d-\\d\\dT[^\\t]*\\t"));
    result.replace(when, QStringLiteral("\t<time>\t"));
    return result.toUtf8();
}

// The tool's own lines of standard error. Diagnostic log lines of the store go to the log of
// the process that does the work: the tool's standard error when it works alone, the app's
// log when the app runs the command.
QByteArray toolLines(const QByteArray &err)
{
    QByteArray lines;
    for (const QByteArray &line : err.split('\n')) {
        if (line.startsWith("scrivel: "))
            lines += line + '\n';
    }
    return lines;
}

// A reply frame read from `socket` with the event loop running; nothing if none came.
std::optional<CommandReply> readReply(QLocalSocket &socket)
{
    QByteArray bytes;
    auto complete = [&] {
        bytes += socket.readAll();
        if (bytes.size() < SingleInstance::frameHeaderSize)
            return false;
        const qint64 length = qint64(qFromBigEndian<quint64>(bytes.constData() + 8));
        return bytes.size() >= SingleInstance::frameHeaderSize + length;
    };
    QElapsedTimer clock;
    clock.start();
    while (!complete()) {
        if (clock.elapsed() > 10000)
            return std::nullopt;
        QTest::qWait(10);
    }
    if (!bytes.startsWith(QByteArray(SingleInstance::replyTag, 8)))
        return std::nullopt;
    return SingleInstance::decodeReply(bytes.mid(SingleInstance::frameHeaderSize));
}

QByteArray framed(const QByteArray &payload, quint64 length)
{
    QByteArray bytes(SingleInstance::requestTag, 8);
    char size[8];
    qToBigEndian(length, size);
    bytes.append(size, 8);
    return bytes + payload;
}

} // namespace

class TestCliThroughApp : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSupport::TempFolders> m_seed;
    QString m_note; // a live note with a task list and an image
    QString m_other; // a second live note
    QString m_trashed; // a note in the trash
    QString m_attachment; // the image's attachment id
    QStringList m_known;

    static QStringList folderArguments(const TestSupport::TempFolders &folders)
    {
        return { QStringLiteral("--notes"), folders.notes(), QStringLiteral("--support"),
                 folders.support() };
    }

    QStringList expand(QStringList arguments) const
    {
        for (QString &a : arguments) {
            a.replace(QStringLiteral("{note}"), m_note);
            a.replace(QStringLiteral("{other}"), m_other);
            a.replace(QStringLiteral("{trashed}"), m_trashed);
            a.replace(QStringLiteral("{attachment}"), m_attachment);
        }
        return arguments;
    }

    // A fresh copy of the seeded folders.
    std::unique_ptr<TestSupport::TempFolders> copyOfSeed() const
    {
        auto folders = std::make_unique<TestSupport::TempFolders>();
        if (!copyTree(m_seed->root(), folders->root()))
            return nullptr;
        return folders;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        m_seed = std::make_unique<TestSupport::TempFolders>();
        NoteStore::Options options;
        options.notesFolder = m_seed->notes();
        options.supportFolder = m_seed->support();
        options.watchFolder = false;
        options.backgroundIndexWrites = false;
        NoteStore store(options);
        store.movesToSystemTrash = false;
        m_note = store.create(QStringLiteral("# Plan\n- [ ] milk\n- [ ] café ✓\n")).id;
        m_other = store.create(QStringLiteral("Other thoughts about milk")).id;
        m_trashed = store.create(QStringLiteral("Old news")).id;
        store.deleteNote(m_trashed);
        const QString image = m_seed->path(QStringLiteral("seed.png"));
        QVERIFY(TestSupport::writeFile(image, "png"));
        const auto attachment = store.importAttachment(image, Attachment::Kind::Image, m_note);
        QVERIFY(attachment);
        m_attachment = attachment->id;
        store.flush();
        QVERIFY(store.lastError().isEmpty());
        m_known = { m_note, m_other, m_trashed };
        // The file of `attach`, named relative to the tool's folder.
        QVERIFY(TestSupport::writeFile(m_seed->path(QStringLiteral("work/photo.png")), "PNG"));
    }

    void sameThroughTheAppAsDirectly_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("followUp"); // run afterwards, compared too (empty: none)
        const QStringList none;
        const QStringList showNote { QStringLiteral("show"), QStringLiteral("{note}") };
        const QStringList list { QStringLiteral("list") };
        const QStringList trash { QStringLiteral("list"), QStringLiteral("--trash") };
        auto row = [&](const char *name, QStringList arguments, QByteArray input, int code,
                       QStringList followUp) {
            QTest::newRow(name) << arguments << input << code << followUp;
        };
        row("list", list, {}, 0, none);
        row("list json", { "list", "--json" }, {}, 0, none);
        row("list trash", trash, {}, 0, none);
        row("list by tag", { "list", "--tag", "image" }, {}, 0, none);
        row("search", { "search", "MILK", "--json" }, {}, 0, none);
        row("show", showNote, {}, 0, none);
        row("show unknown", { "show", "000000000000" }, {}, 3, none);
        row("new with text", { "new", "Fresh note" }, {}, 0, list);
        row("new from input", { "new" }, "Typed in\n", 0, list);
        row("set with text", { "set", "{note}", "Replaced" }, {}, 0, showNote);
        row("set from input", { "set", "{note}" }, "From input ✓\n\n", 0, showNote);
        row("set of a trashed note", { "set", "{trashed}", "x" }, {}, 3, none);
        row("delete", { "delete", "{other}" }, {}, 0, trash);
        row("restore", { "restore", "{trashed}" }, {}, 0, list);
        row("purge", { "purge", "{trashed}" }, {}, 0, trash);
        row("empty trash", { "empty-trash" }, {}, 0, trash);
        row("delete all", { "delete-all" }, {}, 0, list);
        row("toggle", { "toggle", "{note}", "1" }, {}, 0, showNote);
        row("toggle bad index", { "toggle", "{note}", "x" }, {}, 2, none);
        row("attach relative file",
            { "attach", "{note}", "photo.png", "--kind", "image", "--duration", "2" }, {}, 0,
            showNote);
        row("attach missing file", { "attach", "{note}", "nothing.png", "--kind", "image" }, {}, 1,
            none);
        row("detach", { "detach", "{note}", "{attachment}" }, {}, 0, showNote);
        row("detach unknown", { "detach", "{note}", "nope" }, {}, 3, none);
        row("rescan", { "rescan" }, {}, 0, list);
        row("wrong option", { "show", "{note}", "--json" }, {}, 2, none);
        row("unknown command", { "frobnicate" }, {}, 2, none);
    }

    void sameThroughTheAppAsDirectly()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, code);
        QFETCH(QStringList, followUp);
        auto direct = copyOfSeed();
        auto served = copyOfSeed();
        QVERIFY(direct && served);
        const QString workDirect = direct->path(QStringLiteral("work"));
        const QString workServed = served->path(QStringLiteral("work"));

        const Run alone = scrivel(folderArguments(*direct) + expand(arguments), input, workDirect);
        const Run alsoAlone = followUp.isEmpty()
            ? Run {}
            : scrivel(folderArguments(*direct) + expand(followUp), {}, workDirect);

        RunningApp app(*served);
        QVERIFY(app.lock);
        QVERIFY(app.listening);
        const Run through
            = scrivel(folderArguments(*served) + expand(arguments), input, workServed);
        const Run alsoThrough = followUp.isEmpty()
            ? Run {}
            : scrivel(folderArguments(*served) + expand(followUp), {}, workServed);

        QCOMPARE(alone.code, code);
        QCOMPARE(through.code, alone.code);
        QCOMPARE(normalised(through.out, m_known), normalised(alone.out, m_known));
        // Paths differ between the two copies; the messages do not.
        QCOMPARE(
            normalised(through.err, m_known).replace(served->root().toUtf8(), "<root>"),
            normalised(toolLines(alone.err), m_known).replace(direct->root().toUtf8(), "<root>"));
        QCOMPARE(toolLines(through.err), through.err);
        QCOMPARE(code != 0, !through.err.isEmpty());
        QCOMPARE(alsoThrough.code, alsoAlone.code);
        QCOMPARE(normalised(alsoThrough.out, m_known), normalised(alsoAlone.out, m_known));
        if (arguments.first() == u"show" && code == 0)
            QVERIFY(!through.out.isEmpty()); // the comparison compared something
    }

    // While the app holds the folder, a tool reads and writes through it, and what it wrote is
    // on disk for the next tool that works on the folder itself.
    void writesThroughTheAppReachTheFolder()
    {
        auto folders = copyOfSeed();
        QVERIFY(folders);
        const QStringList base = folderArguments(*folders);
        auto app = std::make_unique<RunningApp>(*folders);
        QVERIFY(app->lock && app->listening);

        const Run created
            = scrivel(base + QStringList { QStringLiteral("new"), QStringLiteral("Via the app") });
        QCOMPARE(created.code, 0);
        const QString id = QString::fromUtf8(created.out).trimmed();
        QVERIFY(app->store->note(id).has_value()); // the live store has it at once
        QCOMPARE(scrivel(base + QStringList { QStringLiteral("set"), m_other }, "Edited\n").code,
                 0);
        QCOMPARE(app->store->note(m_other)->body, QStringLiteral("Edited\n"));
        const Run shown = scrivel(base + QStringList { QStringLiteral("show"), id });
        QCOMPARE(shown.code, 0);
        QCOMPARE(shown.out, QByteArray("Via the app"));

        app.reset(); // the app quits
        const Run after = scrivel(base + QStringList { QStringLiteral("show"), m_other });
        QCOMPARE(after.code, 0);
        QCOMPARE(after.out, QByteArray("Edited\n"));
        QCOMPARE(scrivel(base + QStringList { QStringLiteral("show"), id }).out,
                 QByteArray("Via the app"));
    }

    // The app works on its own folders only.
    void otherFoldersAreNotTheApps()
    {
        auto folders = copyOfSeed();
        TestSupport::TempFolders elsewhere;
        QVERIFY(folders);
        RunningApp app(*folders);
        QVERIFY(app.lock && app.listening);
        const Run run
            = scrivel({ QStringLiteral("--notes"), elsewhere.notes(), QStringLiteral("--support"),
                        folders->support(), QStringLiteral("list") });
        QCOMPARE(run.code, 4);
        QVERIFY2(run.err.contains("another notes folder"), run.err.constData());
        QVERIFY(!QDir(elsewhere.notes()).exists());
    }

    // Whatever a peer sends, it gets an error back and the server keeps serving.
    void badPeersGetAnError_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error");
        auto request = [](const QByteArray &json) {
            return framed(json, quint64(json.size()));
        };
        QTest::newRow("garbage") << QByteArray("\x01\x02garbage\n", 10) << 1
                                 << QStringLiteral("could not read");
        QTest::newRow("not json") << request("{not json") << 1 << QStringLiteral("could not read");
        QTest::newRow("arguments not strings")
            << request(R"({"args":[1,2],"cwd":"/"})") << 1 << QStringLiteral("could not read");
        QTest::newRow("no folder")
            << request(R"({"args":["list"]})") << 1 << QStringLiteral("could not read");
        QTest::newRow("relative folder") << request(R"({"args":["list"],"cwd":"work"})") << 1
                                         << QStringLiteral("could not read");
        QTest::newRow("bytes after the request") << request(R"({"args":["list"],"cwd":"/"})")
                + "more" << 1 << QStringLiteral("could not read");
        QTest::newRow("announced size too large")
            << framed("{}", quint64(SingleInstance::maximumRequestSize) + 1) << 1
            << QStringLiteral("too large");
        QTest::newRow("absurd size")
            << framed("{}", ~quint64(0)) << 1 << QStringLiteral("too large");
        QTest::newRow("not a note command") << request(R"({"args":["signout"],"cwd":"/"})") << 2
                                            << QStringLiteral("not a note command");
        QTest::newRow("bad option") << request(R"({"args":["list","--frob"],"cwd":"/"})") << 2
                                    << QStringLiteral("unknown option --frob");
    }

    void badPeersGetAnError()
    {
        QFETCH(QByteArray, message);
        QFETCH(int, code);
        QFETCH(QString, error);
        auto folders = copyOfSeed();
        QVERIFY(folders);
        RunningApp app(*folders);
        QVERIFY(app.lock && app.listening);

        QLocalSocket peer;
        peer.connectToServer(SingleInstance::serverNameFor(folders->support()));
        QVERIFY(peer.waitForConnected(2000));
        peer.write(message);
        const auto reply = readReply(peer);
        QVERIFY(reply.has_value());
        QCOMPARE(reply->exitCode, code);
        QVERIFY2(reply->err.contains(error), qPrintable(reply->err));
        QVERIFY(reply->out.isEmpty());

        const Run still
            = scrivel(folderArguments(*folders) + QStringList { QStringLiteral("show"), m_other });
        QCOMPARE(still.code, 0);
        QCOMPARE(still.out, QByteArray("Other thoughts about milk"));
    }

    // The socket is the user's own: nobody else may even connect to it.
    void socketIsPrivateToTheUser()
    {
        auto folders = copyOfSeed();
        QVERIFY(folders);
        RunningApp app(*folders);
        QVERIFY(app.listening);
        const QFileInfo socket(SingleInstance::serverNameFor(folders->support()));
        QVERIFY(socket.exists());
        QCOMPARE(
            socket.permissions()
                & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
            QFile::Permissions());
    }
};

QTEST_GUILESS_MAIN(TestCliThroughApp)
#include "tst_clithroughapp.moc"
