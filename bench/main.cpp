// scrivelbar-bench: builds a synthetic notes folder and prints one JSON object of timings and
// memory figures, each beside the physical floor measured in the same run.
#include "ServerLoadBench.h"
#include "store/IndexFile.h"
#include "store/NoteStore.h"
#include "ui/list/NoteListView.h"

#include <QCommandLineParser>
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

#include <algorithm>
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

// Writes N notes and an index the way the store would, but without a durable write per file.
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
        // Mostly short notes, some long ones.
        const int length
            = random.bounded(100) < 80 ? 20 + random.bounded(120) : 300 + random.bounded(900);
        note.body = QStringLiteral("# ") + words(random, 2 + random.bounded(4))
            + QStringLiteral("\n\n") + words(random, length) + u'\n';
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
        QFile file(notes + u'/' + filename);
        if (file.open(QIODevice::WriteOnly))
            file.write(note.body.toUtf8());
        index.notes.insert(note.id, note);
        index.meta.insert(note.id, Meta { note.id, filename, false, std::nullopt });
    }
    QFile file(support + QStringLiteral("/index.json"));
    if (file.open(QIODevice::WriteOnly))
        file.write(index.encode());
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
    result.insert(QStringLiteral("search_keystroke_ms"), median(keys));
    result.insert(QStringLiteral("search_keystroke_max_ms"), *std::max_element(keys.cbegin(), keys.cend()));
    result.insert(QStringLiteral("search_keystrokes"), int(keys.size()));
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
    parser.addOption({ QStringLiteral("server-load"), QStringLiteral("Only the sync server's load figures.") });
    parser.process(app);
    if (parser.isSet(QStringLiteral("server-load")))
        return std::fputs(QJsonDocument(ServerLoadBench::run()).toJson().constData(), stdout) < 0;
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

    // Floors: reading every note file, parsing the index JSON.
    QElapsedTimer timer;
    timer.start();
    qint64 bytes = 0;
    for (const QFileInfo &info :
         QDir(notes).entryInfoList({ QStringLiteral("*.md") }, QDir::Files)) {
        QFile file(info.absoluteFilePath());
        if (file.open(QIODevice::ReadOnly))
            bytes += file.readAll().size();
    }
    result.insert(QStringLiteral("floor_read_files_ms"), ms(timer));
    QFile indexFile(support + QStringLiteral("/index.json"));
    indexFile.open(QIODevice::ReadOnly);
    const QByteArray indexBytes = indexFile.readAll();
    timer.restart();
    const QJsonDocument parsed = QJsonDocument::fromJson(indexBytes);
    result.insert(QStringLiteral("floor_parse_index_ms"), ms(timer));
    Q_UNUSED(parsed);

    {
        timer.restart();
        NoteStore store(options(notes, support));
        result.insert(QStringLiteral("load_with_index_ms"), ms(timer));
        result.insert(QStringLiteral("rss_mb"), rssMegabytes());

        timer.restart();
        store.rescan(true);
        result.insert(QStringLiteral("rescan_nochange_ms"), ms(timer));

        timer.restart();
        store.writeIndexNow();
        result.insert(QStringLiteral("index_write_ms"), ms(timer));

        const QStringList queries = { QStringLiteral("milk"),   QStringLiteral("meeting plan"),
                                      QStringLiteral("coffee"), QStringLiteral("garden book"),
                                      QStringLiteral("zebra"),  QStringLiteral("m"),
                                      QStringLiteral("mi"),     QStringLiteral("report client") };
        store.search(QStringLiteral("warm up"));
        QList<double> times;
        for (int round = 0; round < 5; ++round) {
            for (const QString &query : queries) {
                timer.restart();
                const auto found = store.search(query);
                times.append(ms(timer));
                Q_UNUSED(found);
            }
        }
        result.insert(QStringLiteral("search_ms_median"), median(times));
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
    result.insert(QStringLiteral("bytes_read"), double(bytes));

    std::fputs(QJsonDocument(result).toJson(QJsonDocument::Indented).constData(), stdout);
    return 0;
}
