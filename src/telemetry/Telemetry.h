#pragma once

#include "base/Date.h"
#include "sync/SessionTelemetry.h"
#include "sync/WireRecords.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <chrono>
#include <functional>

class APIClient;
class QTimer;

/// A few usage events, kept in memory and uploaded in batches to the app's server, only for
/// a signed-in account whose telemetry flag is on (the server decides whether it is optional
/// and whether it is on). Nothing is written to disk. Main thread only.
///
/// Inert until `configure` fetched flags with "enabled": until then, and after `silence`,
/// every event is dropped.
class Telemetry : public QObject, public SessionTelemetry
{
    Q_OBJECT
    Q_PROPERTY(TelemetryState state READ state NOTIFY stateChanged)
public:
    /// One recorded event. Property values are strings, numbers or booleans.
    struct Event
    {
        QString name;
        double at = 0; ///< milliseconds since 1970
        QVariantMap props;
    };

    struct Options
    {
        std::chrono::milliseconds flushInterval { 60000 };
        /// Whether the on-device AI engine offers summaries (the "apple_intelligence" context
        /// member). No on-device engine: false.
        std::function<bool()> onDeviceAI;
    };

    /// Events kept when uploads keep failing.
    static constexpr int maxQueue = 300;

    /// The process-wide instance every component records into; it is also the process-wide
    /// `UsageRecorder`.
    static Telemetry &shared();

    explicit Telemetry(QObject *parent = nullptr);
    explicit Telemetry(const Options &options, QObject *parent = nullptr);
    ~Telemetry() override;

    TelemetryState state() const { return m_state; }
    QList<Event> queue() const { return m_queue; }
    bool hasTimer() const { return m_timer != nullptr; }

    /// Queues one event when enabled (the newest `maxQueue` are kept); `recorded` announces
    /// every call, queued or not.
    void record(const QString &name, const QVariantMap &properties = {}) override;
    /// Uploads the queue (with an "app_active" event) when enabled and a client is set.
    /// Events of a failed upload go back in front of the queue.
    QCoro::Task<> flush() override;
    /// Attaches the client (not owned), fetches the account's flags and starts the periodic
    /// flush (once).
    QCoro::Task<> configure(APIClient *client) override;
    /// Sends the user's choice for optional telemetry; nothing when required or unconfigured.
    QCoro::Task<> setChoice(bool enabled);
    /// After a sign-out: the queue is emptied and all flags go off, so nothing more is
    /// recorded until the next `configure`.
    void silence() override;
    /// True while a flush started by `flush()` is still waiting for the server.
    bool isFlushing() const { return m_flushing > 0; }

    /// The upload body: "context" and "events".
    QByteArray payload(const QList<Event> &events) const;

Q_SIGNALS:
    void recorded(const QString &name, const QVariantMap &properties);
    void stateChanged();

private:
    void setState(const TelemetryState &state);
    double activityMinutes();
    void trim();

    Options m_options;
    TelemetryState m_state;
    QList<Event> m_queue;
    QPointer<APIClient> m_client;
    QTimer *m_timer = nullptr;
    Date m_activeSince;
    int m_flushing = 0;
    /// Changes at every `silence`, so flags fetched for the old session are dropped.
    quint64 m_generation = 0;
    quint64 m_choices = 0;
};
