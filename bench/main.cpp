// scrivelbar-bench: builds a synthetic notes folder and prints one JSON object of timings and
// memory figures, each beside the physical floor measured in the same run.
#include "LocalAIBench.h"
#include "ServerLoadBench.h"
#include "store/IndexFile.h"
#include "store/NoteStore.h"
#include "ui/list/NoteListView.h"

#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QDateTime>
#include <QProcess>
#include <QThread>
#include <QProcessEnvironment>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <rapidjson/document.h>

#include <algorithm>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>
#include <cstdio>
#include <memory>

namespace {

const char *const kWords[]
    = { "meeting", "project", "milk",    "eggs",    "bread",    "call",    "review", "draft",
        "plan",    "budget",  "travel",  "idea",    "garden",   "book",    "recipe", "shopping",
        "notes",   "design",  "release", "weekend", "doctor",   "invoice", "school", "music",
        "coffee",  "train",   "ticket",  "summary", "question", "answer",  "friday", "monday",
        "report",  "client",  "server",  "backup",  "photo",    "holiday", "paint",  "kitchen",
        "running", "weights", "market",  "letter",  "birthday" };

QString words(QRandomGenerator &random, int count)
{
    QString text;
    for (int i = 0; i < count; ++i) {
        if (i)
            text += (random.bounded(12) == 0) ? QStringLiteral("\n") : QStringLiteral(" ");
        text += QString::fromLatin1(kWords[random.bounded(int(std::size(kWords)))]);
    }
    return text;
}

double ms(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double rssMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

// A body of about `bytes` bytes: a heading, then paragraphs of words.
QString body(QRandomGenerator &random, int bytes)
{
    QString text = QStringLiteral("# ") + words(random, 2 + random.bounded(4)) + QStringLiteral("\n\n");
    while (text.size() < bytes)
        text += words(random, 12 + random.bounded(30)) + QStringLiteral(".\n");
    return text;
}

// Writes N notes and an index the way the store would, but without a durable write per file:
// mostly 1–3 KB, one in a hundred of 50 KB, one in ten with an image.
void buildFolder(const QString &notes, const QString &support, int count)
{
    QRandomGenerator random(20261208);
    QDir().mkpath(notes);
    QDir().mkpath(support);
    IndexFile index;
    const double now = Clock::now().seconds;
    for (int i = 0; i < count; ++i) {
        Note note;
        note.id = QString::asprintf(
            "%012llx", static_cast<unsigned long long>(0x100000000000ULL + quint64(i) * 7919));
        const int size = random.bounded(100) == 0 ? 50000 : 1000 + random.bounded(2000);
        note.body = body(random, size);
        note.createdAt = Date { now - 86400.0 * 400 + i * 60.0 };
        note.updatedAt = Date { note.createdAt.seconds + random.bounded(86400) };
        if (i % 10 == 0) {
            Attachment image { QStringLiteral("%1").arg(i), Attachment::Kind::Image,
                               QStringLiteral("IMG-%1.png").arg(i), note.createdAt, std::nullopt };
            note.attachments.append(image);
            note.appendReference(image, QStringLiteral("Photo"));
            const QString media = notes + QStringLiteral("/attachments/") + note.id;
            QDir().mkpath(media);
            QFile file(media + u'/' + image.filename);
            if (file.open(QIODevice::WriteOnly))
                file.write(QByteArray(2048, '\x89'));
        }
        const QString filename = NoteStore::desiredFilename(note);
        const QByteArray bytes = note.body.toUtf8();
        QFile file(notes + u'/' + filename);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        file.close();
        index.notes.insert(note.id, note);
        Meta meta { note.id, filename, false, std::nullopt };
        meta.fileHash = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        meta.fileSize = bytes.size();
        index.meta.insert(note.id, meta);
    }
    QFile file(support + QStringLiteral("/index.json"));
    if (file.open(QIODevice::WriteOnly))
        file.write(index.encode());
}

// Files a day old, as a folder that has been in use: their stamps can prove them unchanged.
void ageFiles(const QString &notes)
{
    const QDateTime yesterday = QDateTime::currentDateTime().addDays(-1);
    for (const QFileInfo &info : QDir(notes).entryInfoList({ QStringLiteral("*.md") }, QDir::Files)) {
        QFile file(info.absoluteFilePath());
        if (file.open(QIODevice::ReadWrite))
            file.setFileTime(yesterday, QFileDevice::FileModificationTime);
    }
}

NoteStore::Options options(const QString &notes, const QString &support)
{
    NoteStore::Options o;
    o.notesFolder = notes;
    o.supportFolder = support;
    o.watchFolder = false;
    return o;
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Types into one note for a while at product delays and reports the longest time the main
// thread was unavailable (the debounced note and index writes included).
double longestStall(NoteStore &store, QString id)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    double longest = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, double(now - last) / 1e6);
        last = now;
    });
    tick.start();
    QString body = store.note(id)->body;
    QTimer typing;
    typing.setInterval(25);
    int typed = 0;
    QEventLoop loop;
    QObject::connect(&typing, &QTimer::timeout, [&] {
        body += QLatin1Char("abcdefghij "[typed % 11]);
        store.setBody(body, id, true);
        if (++typed == 100) {
            typing.stop();
            QTimer::singleShot(1200, &loop, &QEventLoop::quit); // let the last writes land
        }
    });
    typing.start();
    loop.exec();
    return longest;
}

// Whether a QApplication can be made here: the offscreen platform always can (it is chosen
// when nothing else is set); an X11 or Wayland platform needs its display.
bool guiAvailable()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return true;
    }
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.startsWith("offscreen") || platform.startsWith("minimal"))
        return true;
    if (platform.startsWith("xcb"))
        return !qEnvironmentVariableIsEmpty("DISPLAY");
    if (platform.startsWith("wayland"))
        return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    return false;
}

// Builds the note list over the loaded store, lays it out and paints it, as opening the
// panel does; then types a query one key at a time, each key through to the re-laid-out and
// repainted list.
void measureScreens(NoteStore &store, QJsonObject &result)
{
    QList<double> opens;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        {
            NoteListView view(&store, nullptr, nullptr, nullptr);
            view.resize(380, 520);
            view.show();
            view.listView()->doItemsLayout();
            QCoreApplication::processEvents();
            opens.append(ms(timer));
        }
        QCoreApplication::processEvents();
    }
    result.insert(QStringLiteral("panel_open_ms"), median(opens));

    NoteListView view(&store, nullptr, nullptr, nullptr);
    view.resize(380, 520);
    view.show();
    QCoreApplication::processEvents();
    QLineEdit *field = view.searchField();
    QList<double> keys;
    auto press = [&](int key, const QString &text) {
        QElapsedTimer timer;
        timer.start();
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(field, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(field, &up);
        QCoreApplication::processEvents();
        keys.append(ms(timer));
    };
    for (const QString &query : { QStringLiteral("coffee"), QStringLiteral("report client"),
                                  QStringLiteral("zebra") }) {
        for (const QChar c : query)
            press(c == u' ' ? Qt::Key_Space : Qt::Key_A + (c.toLower().unicode() - 'a'), QString(c));
        for (qsizetype i = 0; i < query.size(); ++i)
            press(Qt::Key_Backspace, QString());
    }
    result.insert(QStringLiteral("list_first_key_ms"), keys.first());
    result.insert(QStringLiteral("list_keystroke_ms"), median(keys));
    result.insert(QStringLiteral("list_keystroke_max_ms"), *std::max_element(keys.cbegin(), keys.cend()));
    result.insert(QStringLiteral("list_keystrokes"), int(keys.size()));
}


// POSIX open/read/close of every note file: what no loader can beat.
double floorReadFiles(const QString &notes, qint64 *bytes)
{
    const QFileInfoList files = QDir(notes).entryInfoList({ QStringLiteral("*.md") }, QDir::Files);
    std::vector<QByteArray> paths;
    paths.reserve(size_t(files.size()));
    for (const QFileInfo &info : files)
        paths.push_back(QFile::encodeName(info.absoluteFilePath()));
    std::vector<char> buffer(1 << 20);
    QElapsedTimer timer;
    timer.start();
    *bytes = 0;
    for (const QByteArray &path : paths) {
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        ssize_t got = 0;
        while ((got = ::read(fd, buffer.data(), buffer.size())) > 0)
            *bytes += got;
        ::close(fd);
    }
    return ms(timer);
}

// The fastest JSON parse linked here (RapidJSON, in place), without building any note.
double floorParseIndex(const QByteArray &bytes)
{
    QByteArray text(bytes.constData(), bytes.size());
    QElapsedTimer timer;
    timer.start();
    rapidjson::Document document;
    document.ParseInsitu<rapidjson::kParseInsituFlag | rapidjson::kParseFullPrecisionFlag>(text.data());
    const double elapsed = ms(timer);
    return document.HasParseError() ? -1 : elapsed;
}

double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// VmRSS and VmHWM of a process, in MiB.
std::pair<double, double> processMemory(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    double rss = -1;
    double peak = -1;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            const double value = line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
            if (line.startsWith("VmRSS:"))
                rss = value;
            else if (line.startsWith("VmHWM:"))
                peak = value;
        }
    }
    return { rss, peak };
}

// Reads one line from `fd` within `timeoutMs`; empty on time-out or end.
QByteArray readLine(int fd, QByteArray &pending, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!pending.contains('\n')) {
        const int left = timeoutMs - int(timer.elapsed());
        pollfd poller { fd, POLLIN, 0 };
        if (left <= 0 || ::poll(&poller, 1, left) <= 0)
            return {};
        char chunk[256];
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got <= 0)
            return {};
        pending.append(chunk, got);
    }
    const qsizetype end = pending.indexOf('\n');
    const QByteArray line = pending.left(end);
    pending.remove(0, end + 1);
    return line;
}

struct AppRun
{
    double startup = -1;
    double firstKey = -1;
    double keyMedian = -1;
    double keyMax = -1;
    double rssSettled = -1;
    double rssSearched = -1;
    double rssPeak = -1;
};

// Starts the real program over the folder as a user would (here on the offscreen platform)
// and follows its reports: first paint, settled, the typed queries.
AppRun runApp(const QString &appPath, const QString &home)
{
    AppRun run;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return run;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/.local/state"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    environment.remove(QStringLiteral("SCRIVEL_DEV_SERVER"));
    environment.insert(QStringLiteral("SCRIVEL_BENCH_FD"), QStringLiteral("3"));
    environment.insert(QStringLiteral("SCRIVEL_BENCH_QUERIES"),
                       QStringLiteral("coffee|report client|zebra|garden book"));
    process.setProcessEnvironment(environment);
    const int writeEnd = fds[1];
    process.setChildProcessModifier([writeEnd] { ::dup2(writeEnd, 3); });
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(appPath, {});
    ::close(fds[1]);
    QByteArray pending;
    if (process.waitForStarted(10000) && readLine(fds[0], pending, 60000) == "painted") {
        run.startup = ms(timer);
        if (readLine(fds[0], pending, 60000) == "settled")
            run.rssSettled = processMemory(process.processId()).first;
        const QList<QByteArray> searched = readLine(fds[0], pending, 120000).split(' ');
        if (searched.size() == 5 && searched.first() == "searched") {
            run.firstKey = searched[1].toDouble();
            run.keyMedian = searched[2].toDouble();
            run.keyMax = searched[3].toDouble();
            const auto [rss, peak] = processMemory(process.processId());
            run.rssSearched = rss;
            run.rssPeak = peak;
        }
    }
    ::close(fds[0]);
    process.terminate();
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(5000);
    }
    return run;
}

// A warm-up start, then three: medians, and the worst key and the highest peak.
AppRun measureHome(const QString &appPath, const QString &home)
{
    runApp(appPath, home); // warm-up: caches, and the stamps of the files it saw
    QList<double> startups, firstKeys, medians, maxima, settled, searched, peaks;
    for (int round = 0; round < 3; ++round) {
        const AppRun run = runApp(appPath, home);
        startups.append(run.startup);
        firstKeys.append(run.firstKey);
        medians.append(run.keyMedian);
        maxima.append(run.keyMax);
        settled.append(run.rssSettled);
        searched.append(run.rssSearched);
        peaks.append(run.rssPeak);
    }
    return { median(startups),
             median(firstKeys),
             median(medians),
             *std::max_element(maxima.cbegin(), maxima.cend()),
             median(settled),
             median(searched),
             *std::max_element(peaks.cbegin(), peaks.cend()) };
}

// A home folder as a user's: notes in Documents, the support folder in ~/.local/share.
QString makeHome(const QString &root)
{
    QDir().mkpath(root + QStringLiteral("/Documents"));
    QDir().mkpath(root + QStringLiteral("/.local/share"));
    QDir().mkpath(root + QStringLiteral("/runtime"));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return root;
}

void measureApp(const QString &appPath, const QString &root, const QString &notes,
                const QString &support, double textBytes, QJsonObject &result)
{
    // The floors: the same program over an empty notes folder, in the same run.
    const QString empty = makeHome(root + QStringLiteral("/empty-home"));
    const AppRun bare = measureHome(appPath, empty);
    result.insert(QStringLiteral("startup_empty_ms"), bare.startup);
    result.insert(QStringLiteral("first_search_empty_ms"), bare.firstKey);
    result.insert(QStringLiteral("rss_settled_empty_mb"), bare.rssSettled);
    // Every body must be held once (the files' own bytes): the least any program holding them
    // could settle at.
    result.insert(QStringLiteral("rss_floor_mb"), bare.rssSettled + textBytes / (1 << 20));

    // The program finds its folders where a user's would be.
    const QString home = makeHome(root + QStringLiteral("/home"));
    const QString homeNotes = home + QStringLiteral("/Documents/ScrivelBar");
    const QString homeSupport = home + QStringLiteral("/.local/share/ScrivelBar");
    if (!QDir().rename(notes, homeNotes) || !QDir().rename(support, homeSupport)) {
        result.insert(QStringLiteral("app"), QStringLiteral("could not set up the home folder"));
        return;
    }
    const AppRun full = measureHome(appPath, home);
    QDir().rename(homeNotes, notes);
    QDir().rename(homeSupport, support);
    result.insert(QStringLiteral("startup_ms"), full.startup);
    result.insert(QStringLiteral("first_search_ms"), full.firstKey);
    result.insert(QStringLiteral("search_keystroke_ms"), full.keyMedian);
    result.insert(QStringLiteral("search_keystroke_max_ms"), full.keyMax);
    result.insert(QStringLiteral("rss_settled_mb"), full.rssSettled);
    result.insert(QStringLiteral("rss_after_search_mb"), full.rssSearched);
    result.insert(QStringLiteral("rss_peak_mb"), full.rssPeak);
}

} // namespace

int main(int argc, char *argv[])
{
    const bool gui = guiAvailable();
    std::unique_ptr<QCoreApplication> application
        = gui ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication &app = *application;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("ScrivelBar benchmark: prints one JSON object of figures."));
    parser.addHelpOption();
    parser.addOption({ QStringLiteral("notes"),
                       QStringLiteral("Number of synthetic notes (default 10000)."),
                       QStringLiteral("N"), QStringLiteral("10000") });
    parser.addOption(
        { QStringLiteral("folder"),
          QStringLiteral(
              "Build the synthetic folders in DIR and keep them (default: a temporary folder)."),
          QStringLiteral("DIR") });
    parser.addOption({ QStringLiteral("app"),
                       QStringLiteral("The scrivelbar program to start (default: beside this one)."),
                       QStringLiteral("PATH"),
                       QCoreApplication::applicationDirPath() + QStringLiteral("/../src/scrivelbar") });
    parser.addOption({ QStringLiteral("local-ai"), QStringLiteral("Measure only the on-device AI engine.") });
    parser.addOption({ QStringLiteral("server-load"), QStringLiteral("Only the sync server's load figures.") });
    parser.addOption({ QStringLiteral("read-index"),
                       QStringLiteral("Only time reading the index file PATH, as a start does."),
                       QStringLiteral("PATH") });
    parser.process(app);
    if (parser.isSet(QStringLiteral("read-index"))) {
        QJsonObject result;
        QList<double> times;
        for (int round = 0; round < 5; ++round) {
            QElapsedTimer timer;
            timer.start();
            const auto index = IndexFile::read(parser.value(QStringLiteral("read-index")));
            times.append(ms(timer));
            result.insert(QStringLiteral("notes"), index ? int(index->notes.size()) : -1);
            result.insert(QStringLiteral("rss_mb"), rssMegabytes());
        }
        result.insert(QStringLiteral("read_ms_first"), times.first());
        result.insert(QStringLiteral("read_ms_median"), median(times));
        std::fputs(QJsonDocument(result).toJson().constData(), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("server-load")))
        return std::fputs(QJsonDocument(ServerLoadBench::run()).toJson().constData(), stdout) < 0;
    if (parser.isSet(QStringLiteral("local-ai"))) {
        std::fputs(QJsonDocument(runLocalAIBench()).toJson().constData(), stdout);
        return 0;
    }
    bool ok = false;
    const int count = parser.value(QStringLiteral("notes")).toInt(&ok);
    if (!ok || count < 1) {
        std::fputs("scrivelbar-bench: --notes must be a positive number\n", stderr);
        return 2;
    }

    QTemporaryDir temporary;
    QDir dir(parser.isSet(QStringLiteral("folder")) ? parser.value(QStringLiteral("folder"))
                                                    : temporary.path());
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fputs("scrivelbar-bench: cannot create the folder\n", stderr);
        return 1;
    }
    const QString notes = dir.filePath(QStringLiteral("notes"));
    const QString support = dir.filePath(QStringLiteral("support"));
    buildFolder(notes, support, count);
    QJsonObject result { { QStringLiteral("notes"), count } };

    // Floors: POSIX reads of every note file, and the fastest parse of the index we link.
    qint64 bytes = 0;
    result.insert(QStringLiteral("floor_read_files_ms"), floorReadFiles(notes, &bytes));
    result.insert(QStringLiteral("bytes_of_notes"), double(bytes));
    QFile indexFile(support + QStringLiteral("/index.json"));
    indexFile.open(QIODevice::ReadOnly);
    const QByteArray indexBytes = indexFile.readAll();
    result.insert(QStringLiteral("floor_parse_index_ms"), floorParseIndex(indexBytes));
    result.insert(QStringLiteral("index_bytes"), double(indexBytes.size()));

    QElapsedTimer timer;
    // The first start over a folder (every file read once, stamps learnt), then a later one.
    {
        timer.start();
        NoteStore store(options(notes, support));
        result.insert(QStringLiteral("load_first_ms"), ms(timer));
        store.writeIndexNow();
    }
    ageFiles(notes);
    // Setting the times is itself a change: let the change times settle as a used folder's have.
    QThread::msleep(2500);
    {
        // Aged files: this start reads each once more and records their stamps.
        NoteStore store(options(notes, support));
        store.writeIndexNow();
    }
    {
        timer.restart();
        NoteStore store(options(notes, support));
        result.insert(QStringLiteral("load_with_index_ms"), ms(timer));
        result.insert(QStringLiteral("load_files_read"), store.filesReadInLastRescan());
        result.insert(QStringLiteral("rss_mb"), rssMegabytes());

        timer.restart();
        store.rescan(true);
        result.insert(QStringLiteral("rescan_nochange_ms"), ms(timer));
        result.insert(QStringLiteral("rescan_files_read"), store.filesReadInLastRescan());

        // One edit, so the write is not skipped; CPU time of the writing thread (here the
        // calling one: writeIndexNow writes at once).
        const QString first = store.notes().first().id;
        store.setBody(store.note(first)->body + QStringLiteral(" edited"), first, false);
        store.flush();
        store.setBody(store.note(first)->body + QStringLiteral(" again"), first, false);
        const double cpuBefore = threadCpuMs();
        timer.restart();
        store.writeIndexNow();
        result.insert(QStringLiteral("index_write_ms"), ms(timer));
        result.insert(QStringLiteral("index_write_cpu_ms"), threadCpuMs() - cpuBefore);
        result.insert(QStringLiteral("index_write_bytes"),
                      double(QFileInfo(store.indexPath()).size()));
        // Nothing changed since: nothing to encode.
        timer.restart();
        store.writeIndexNow();
        result.insert(QStringLiteral("index_write_unchanged_ms"), ms(timer));
        store.flush();

        const QStringList queries = { QStringLiteral("milk"),   QStringLiteral("meeting plan"),
                                      QStringLiteral("coffee"), QStringLiteral("garden book"),
                                      QStringLiteral("zebra"),  QStringLiteral("m"),
                                      QStringLiteral("mi"),     QStringLiteral("report client") };
        timer.restart();
        store.search(QStringLiteral("zebra"));
        result.insert(QStringLiteral("store_first_search_ms"), ms(timer));
        QList<double> times;
        for (int round = 0; round < 5; ++round) {
            for (const QString &query : queries) {
                timer.restart();
                const auto found = store.search(query);
                times.append(ms(timer));
                Q_UNUSED(found);
            }
        }
        result.insert(QStringLiteral("store_search_ms_median"), median(times));
        result.insert(QStringLiteral("max_stall_ms"),
                      longestStall(store, QString(store.notes().first().id)));
        if (gui)
            measureScreens(store, result);
    }

    // Without an index every file is adopted.
    const QString bare = dir.filePath(QStringLiteral("support-without-index"));
    QDir().mkpath(bare);
    timer.restart();
    {
        NoteStore store(options(notes, bare));
        result.insert(QStringLiteral("load_without_index_ms"), ms(timer));
    }

    // The real program, as a user starts it.
    const QString appPath = parser.value(QStringLiteral("app"));
    if (!appPath.isEmpty() && QFileInfo(appPath).isExecutable())
        measureApp(appPath, dir.path(), notes, support, double(bytes), result);
    else
        result.insert(QStringLiteral("app"), QStringLiteral("not found: pass --app"));

    std::fputs(QJsonDocument(result).toJson(QJsonDocument::Indented).constData(), stdout);
    return 0;
}
