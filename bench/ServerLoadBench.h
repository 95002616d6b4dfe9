#pragma once

#include <QJsonObject>

/// The sync server under load: 100 concurrent clients, each its own account on a keep-alive
/// connection, each exchange a sync that pushes one changed note and pulls with its cursor.
/// Reports exchanges per second and p50/p99 latency for SQLite and, when
/// SCRIVEL_BENCH_POSTGRES names a database (postgresql://…), for PostgreSQL.
namespace ServerLoadBench {
QJsonObject run();
}
