// A seeded randomized simulation: three devices (the app's own note store and sync engine)
// create, edit, delete and restore notes, go offline and sync in random orders against the
// real server. Whatever the order, every device ends with the server's notes, and the last
// edit of each note is what everyone has; an older edit survives as a conflict copy when it
// lost. SCRIVEL_SIM_SEEDS sets how many seeds run (default 1000), SCRIVEL_SIM_SEED runs one.
#include "ServerFixture.h"

#include "base/Date.h"

#include <QRandomGenerator>
#include <QFileInfo>
#include <QTest>

using namespace ServerFixture;

namespace {

struct Event
{
    double at = 0; // the note's updatedAt after the change (milliseconds)
    QString body;
    bool deleted = false;
    int device = 0;
    // The server took this text: a newer edit made elsewhere without seeing it may replace
    // it (the newer side wins). Until then it must never vanish.
    bool accepted = false;
};

// One seed's world.
class World
{
public:
    World(Running &server, quint32 seed) : m_server(server), m_random(seed) { }

    // Empty when everything held; else what went wrong, with the steps taken.
    QString run()
    {
        const Session session = newAccount(m_server.server->storage());
        // Two devices for most seeds, three for every other one (a third device is what
        // makes a change travel through a device that did not make it).
        const int count = m_random.bounded(2) == 0 ? 3 : 2;
        for (int i = 0; i < count; ++i)
            m_devices.push_back(std::make_unique<Device>(m_server.url, session.token, session.email));
        m_online.assign(size_t(count), true);
        const int steps = 6 + int(m_random.bounded(8));
        for (int step = 0; step < steps; ++step)
            act();
        // Everyone comes back and syncs, round after round, until every device is clean and
        // at the same cursor (conflict copies made in one round travel in the next).
        for (int round = 0; round < 5 && !settled(); ++round)
            for (int i = 0; i < int(m_devices.size()); ++i)
                sync(i);
        return check(session);
    }

private:
    QString fail(const QString &why) const { return why + QStringLiteral("\n  steps: ") + m_log.join(QStringLiteral("; ")); }

    void remember(int which, const QString &id)
    {
        const auto note = m_devices[size_t(which)]->store().note(id);
        if (note)
            m_events[id].append(Event { note->updatedAt.unixMilliseconds(), note->body, note->deleted, which, false });
    }

    void sync(int which)
    {
        Device &device = *m_devices[size_t(which)];
        if (!device.sync() || device.engine().state().kind != SyncState::Kind::Idle)
            return;
        for (auto it = m_events.begin(); it != m_events.end(); ++it) {
            const auto note = device.store().note(it.key());
            const auto meta = device.store().meta(it.key());
            if (!note || !meta || meta->dirty)
                continue;
            for (Event &event : it.value())
                if (event.device == which && note->body == event.body && note->deleted == event.deleted)
                    event.accepted = true;
        }
    }

    void act()
    {
        const int which = int(m_random.bounded(quint32(m_devices.size())));
        Device &device = *m_devices[size_t(which)];
        QList<Note> live = device.store().notes();
        QList<Note> trashed = device.store().trashedNotes();
        // A deletion received from elsewhere arrives without its text (the store keeps
        // tombstones empty); restoring one gives an empty note, which is not this test's
        // subject.
        trashed.removeIf([](const Note &n) { return n.body.toString().trimmed().isEmpty(); });
        const int op = int(m_random.bounded(100));
        const QString who = QStringLiteral("d%1").arg(which);
        if (op < 20 || live.isEmpty()) {
            const Note note = device.store().create(QStringLiteral("note %1 by %2").arg(++m_counter).arg(who));
            m_log << who + QStringLiteral(" new ") + note.id;
            remember(which, note.id);
        } else if (op < 50) {
            const Note &note = live.at(qsizetype(m_random.bounded(quint32(live.size()))));
            device.store().setBody(note.body + QStringLiteral("\nedit %1 by %2").arg(++m_counter).arg(who), note.id, false);
            m_log << who + QStringLiteral(" edit ") + note.id;
            remember(which, note.id);
        } else if (op < 58) {
            const Note &note = live.at(qsizetype(m_random.bounded(quint32(live.size()))));
            device.store().deleteNote(note.id);
            m_log << who + QStringLiteral(" delete ") + note.id;
            remember(which, note.id);
        } else if (op < 64 && !trashed.isEmpty()) {
            const Note &note = trashed.first();
            device.store().restore(note.id);
            m_log << who + QStringLiteral(" restore ") + note.id;
            remember(which, note.id);
        } else if (op < 74) {
            m_online[size_t(which)] = !m_online[size_t(which)];
            m_log << who + (m_online[size_t(which)] ? QStringLiteral(" online") : QStringLiteral(" offline"));
        } else if (m_online[size_t(which)]) {
            sync(which);
            m_log << who + QStringLiteral(" sync");
        }
    }

    bool settled() const
    {
        for (const auto &device : m_devices)
            if (device->store().dirtyCount() != 0 || device->store().cursor() != m_devices[0]->store().cursor()
                || device->store().cursor() == 0)
                return false;
        return true;
    }

    QString check(const Session &session)
    {
        // What each device has: identifier → (body, deleted).
        const auto state = [](Device &device) {
            QMap<QString, QString> notes;
            for (const Note &note : device.store().notes())
                notes.insert(note.id, note.body);
            return notes;
        };
        const QMap<QString, QString> first = state(*m_devices[0]);
        for (size_t i = 0; i < m_devices.size(); ++i) {
            Device &device = *m_devices[i];
            if (device.engine().state().kind != SyncState::Kind::Idle)
                return fail(QStringLiteral("d%1 ended %2").arg(i).arg(device.engine().state().message));
            if (device.store().dirtyCount() != 0)
                return fail(QStringLiteral("d%1 still has %2 unsynced notes").arg(i).arg(device.store().dirtyCount()));
            if (state(device) != first)
                return fail(QStringLiteral("d%1 differs from d0").arg(i));
        }
        // The server holds the same live notes.
        QMap<QString, QString> server;
        SyncLimits limits;
        limits.pageSize = 100000;
        const auto all = m_server.server->storage().sync(session.accountId, SyncRequest {}, limits, 0);
        if (!all)
            return fail(all.error().message);
        for (const WireNote &note : all->notes)
            if (!note.deleted)
                server.insert(note.id, note.body);
        if (server != first)
            return fail(QStringLiteral("the server's notes differ from the devices'"));
        // The newest change of every note is what everyone has; an older text that was
        // never replaced by its own device lives on at least as a conflict copy or as part
        // of a later edit.
        for (auto it = m_events.cbegin(); it != m_events.cend(); ++it) {
            const Event *newest = nullptr;
            for (const Event &event : it.value())
                if (!newest || event.at > newest->at)
                    newest = &event;
            if (newest->deleted) {
                if (first.contains(it.key()))
                    return fail(QStringLiteral("%1 was deleted last but is live").arg(it.key()));
            } else if (first.value(it.key()) != newest->body) {
                return fail(QStringLiteral("%1 does not hold its newest text").arg(it.key()));
            }
            for (const Event &event : it.value()) {
                if (event.deleted || event.accepted)
                    continue;
                const QString line = event.body.section(u'\n', -1);
                bool found = false;
                for (const QString &body : first)
                    found = found || body.contains(line);
                const bool trashedLater = newest->deleted;
                if (!found && !trashedLater)
                    return fail(QStringLiteral("the edit \"%1\" of %2 is lost").arg(line, it.key()));
            }
        }
        return {};
    }

    Running &m_server;
    QRandomGenerator m_random;
    std::vector<std::unique_ptr<Device>> m_devices;
    std::vector<bool> m_online;
    QHash<QString, QList<Event>> m_events;
    QStringList m_log;
    int m_counter = 0;
};

} // namespace

class TestServerSimulation : public QObject
{
    Q_OBJECT
    double m_now = 800000000;

    void runSeeds(const QString &engine, int defaultSeeds)
    {
        QString why;
        // Devices of finished seeds may hold idle keep-alive connections (each holds a
        // worker) for a moment: enough workers that new devices never wait for them.
        auto running = start(engine, &why, [](ServerConfig &c) { c.threads = 48; });
        if (!running)
            QSKIP(qPrintable(why));
        bool ok = false;
        const quint32 only = qEnvironmentVariable("SCRIVEL_SIM_SEED").toUInt(&ok);
        const int seeds = ok ? 1 : qEnvironmentVariableIntValue("SCRIVEL_SIM_SEEDS", &ok) > 0
                ? qEnvironmentVariableIntValue("SCRIVEL_SIM_SEEDS") : defaultSeeds;
        for (int i = 0; i < seeds; ++i) {
            const quint32 seed = only ? only : quint32(i + 1);
            const QString failure = World(*running, seed).run();
            if (!failure.isEmpty())
                QFAIL(qPrintable(QStringLiteral("%1 seed %2 failed: %3\n  rerun: SCRIVEL_SIM_SEED=%2 %4 %5")
                                     .arg(engine).arg(seed).arg(failure, QCoreApplication::applicationFilePath(),
                                                                engine == u"sqlite" ? QStringLiteral("sqliteSeeds")
                                                                                    : QStringLiteral("postgresSeeds"))));
        }
        running->server->stop();
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        // Thousands of small folders and databases: in memory when the machine offers it, so
        // a seed costs milliseconds of work rather than the disk's flushes.
        if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
            qputenv("TMPDIR", "/dev/shm");
        // Every reading of the clock is a millisecond after the last: the devices' edits are
        // ordered, as the clocks of real devices order them.
        Clock::setNowFunction([this] { return Date { m_now += 0.001 }; });
    }
    void cleanupTestCase() { Clock::setNowFunction({}); }

    void sqliteSeeds() { runSeeds(QStringLiteral("sqlite"), 1000); }
    // Fewer on PostgreSQL: the rules are the same SQL; this proves the engine under them.
    void postgresSeeds() { runSeeds(QStringLiteral("postgresql"), 100); }
};

QTEST_GUILESS_MAIN(TestServerSimulation)
#include "tst_serversim.moc"
