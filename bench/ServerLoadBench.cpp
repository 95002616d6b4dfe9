#include "ServerLoadBench.h"

#include "ServerConfig.h"
#include "Storage.h"
#include "SyncServer.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr int kClients = 100;
constexpr int kExchangesPerClient = 40;

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

QJsonObject measure(const QString &database)
{
    QTemporaryDir data;
    ServerConfig config;
    config.listenPort = 0;
    config.dataDir = data.path();
    config.database = database;
    config.threads = kClients + 8; // every client keeps its connection (and so a worker)
    config.rateLimit = 1000000;
    auto storage = Storage::open(config);
    if (!storage)
        return { { QStringLiteral("error"), storage.error() } };
    std::vector<std::string> tokens;
    const QString run = QString::number(QDateTime::currentMSecsSinceEpoch());
    for (int c = 0; c < kClients; ++c) {
        const auto account = (*storage)->createAccount(QStringLiteral("load%1-%2@example.com").arg(c).arg(run));
        if (!account)
            return { { QStringLiteral("error"), account.error().message } };
        tokens.push_back("Bearer " + (*storage)->createSession(account->id, QStringLiteral("bench"), 4.0e12).value_or(QString()).toStdString());
    }
    SyncServer server(config, std::move(*storage));
    auto port = server.start();
    if (!port)
        return { { QStringLiteral("error"), port.error() } };

    std::vector<std::vector<double>> latencies(kClients);
    std::atomic<int> failures { 0 };
    QElapsedTimer wall;
    wall.start();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", *port);
            client.set_keep_alive(true);
            client.set_read_timeout(60);
            const httplib::Headers auth { { "Authorization", tokens[size_t(c)] } };
            qint64 cursor = 0;
            for (int i = 0; i < kExchangesPerClient; ++i) {
                WireNote note;
                note.id = QStringLiteral("note%1").arg(i % 5);
                note.body = QStringLiteral("# Load\nedit %1 of client %2\n").arg(i).arg(c).repeated(4);
                note.createdAt = 1.0e12;
                note.updatedAt = 1.0e12 + i;
                const std::string body = QJsonDocument(SyncRequest { cursor, { note } }.toJson()).toJson(QJsonDocument::Compact).toStdString();
                const auto started = std::chrono::steady_clock::now();
                const auto reply = client.Post("/v1/sync", auth, body, "application/json");
                latencies[size_t(c)].push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());
                if (!reply || reply->status != 200) {
                    ++failures;
                    continue;
                }
                cursor = QJsonDocument::fromJson(QByteArray::fromStdString(reply->body)).object().value(QStringLiteral("cursor")).toInteger();
            }
        });
    }
    for (std::thread &t : clients)
        t.join();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    server.stop();
    std::vector<double> all;
    for (const auto &list : latencies)
        all.insert(all.end(), list.begin(), list.end());
    return { { QStringLiteral("clients"), kClients },
             { QStringLiteral("exchanges"), int(all.size()) },
             { QStringLiteral("failures"), failures.load() },
             { QStringLiteral("exchanges_per_second"), std::round(double(all.size()) / seconds) },
             { QStringLiteral("p50_ms"), std::round(percentile(all, 0.50) * 10) / 10 },
             { QStringLiteral("p99_ms"), std::round(percentile(all, 0.99) * 10) / 10 } };
}

} // namespace

QJsonObject ServerLoadBench::run()
{
    QJsonObject result { { QStringLiteral("sqlite"), measure(QStringLiteral("sqlite")) } };
    const QString postgres = qEnvironmentVariable("SCRIVEL_BENCH_POSTGRES");
    result.insert(QStringLiteral("postgresql"),
                  postgres.isEmpty() ? QJsonValue(QStringLiteral("skipped: set SCRIVEL_BENCH_POSTGRES=postgresql://…"))
                                     : QJsonValue(measure(postgres)));
    return result;
}
