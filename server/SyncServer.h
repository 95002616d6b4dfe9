#pragma once

#include "RateLimiter.h"
#include "ServerConfig.h"
#include "Storage.h"

#include <QString>

#include <atomic>
#include <memory>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
}

/// scrivel-server's HTTP interface: every endpoint the app uses, the public share pages, the
/// dashboard and the static pages, on a pool of worker threads (cpp-httplib), with keep-alive,
/// request size limits, per-account rate limits and one JSON log line per request on stderr.
class SyncServer
{
public:
    SyncServer(ServerConfig config, std::unique_ptr<Storage> storage);
    ~SyncServer();

    /// Binds the configured address (port 0: any free port). False with a reason on failure.
    std::expected<quint16, QString> bind();
    /// Serves until `stop()`; blocks the calling thread.
    void serve();
    /// Serves on a thread of its own (tests, the benchmark).
    std::expected<quint16, QString> start();
    /// Stops accepting, lets running requests finish, and returns when the workers are done.
    void stop();

    const ServerConfig &config() const { return m_config; }
    Storage &storage() { return *m_storage; }
    /// The base address clients use ("http://127.0.0.1:PORT" when bound to port 0).
    QString address() const;

private:
    void routes();
    struct Context;

    ServerConfig m_config;
    std::unique_ptr<Storage> m_storage;
    std::unique_ptr<httplib::Server> m_http;
    RateLimiter m_accountLimits;
    RateLimiter m_addressLimits;
    quint16 m_port = 0;
    int m_listenSocket = -1;
    std::thread m_thread;
};
