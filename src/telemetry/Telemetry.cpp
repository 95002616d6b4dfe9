#include "telemetry/Telemetry.h"

#include "base/AppInfo.h"
#include "sync/APIClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTimer>

#include <cmath>

namespace {
Q_LOGGING_CATEGORY(lcTelemetry, "app.scrivelbar.app.telemetry")

// Only strings, finite numbers and booleans travel; anything else would not be a valid
// property on the server, so it is sent as its text.
QJsonValue propValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        return std::isfinite(number) ? QJsonValue(number) : QJsonValue(0);
    }
    default:
        return value.toString();
    }
}
} // namespace

Telemetry &Telemetry::shared()
{
    static Telemetry instance;
    static const bool installed = (UsageRecorder::setShared(&instance), true);
    Q_UNUSED(installed);
    return instance;
}

Telemetry::Telemetry(QObject *parent) : Telemetry(Options {}, parent) { }

Telemetry::Telemetry(const Options &options, QObject *parent)
    : QObject(parent), m_options(options), m_activeSince(Clock::now())
{
}

Telemetry::~Telemetry()
{
    if (&UsageRecorder::shared() == this)
        UsageRecorder::setShared(nullptr);
}

void Telemetry::record(const QString &name, const QVariantMap &properties)
{
    Q_EMIT recorded(name, properties);
    if (!m_state.enabled)
        return;
    m_queue.append(Event { name, Clock::now().unixMilliseconds(), properties });
    trim();
}

void Telemetry::trim()
{
    if (m_queue.size() > maxQueue)
        m_queue.remove(0, m_queue.size() - maxQueue);
}

double Telemetry::activityMinutes()
{
    const Date now = Clock::now();
    const double minutes = (now.seconds - m_activeSince.seconds) / 60.0;
    m_activeSince = now;
    // std::round rounds halves away from zero, which is the rounding wanted here.
    return std::isfinite(minutes) ? std::round(minutes * 10.0) / 10.0 : 0.0;
}

QByteArray Telemetry::payload(const QList<Event> &events) const
{
    const bool onDevice = m_options.onDeviceAI ? m_options.onDeviceAI() : false;
    const QJsonObject context { { QStringLiteral("app_version"), AppInfo::version() },
                                { QStringLiteral("os_version"), AppInfo::osVersion(2) },
                                { QStringLiteral("mac_model"), AppInfo::hardwareModel() },
                                { QStringLiteral("lang"), AppInfo::languageCode() },
                                { QStringLiteral("apple_intelligence"), onDevice } };
    QJsonArray list;
    for (const Event &event : events) {
        QJsonObject props;
        for (auto it = event.props.cbegin(); it != event.props.cend(); ++it)
            props.insert(it.key(), propValue(it.value()));
        list.append(QJsonObject { { QStringLiteral("name"), event.name },
                                  { QStringLiteral("at"), event.at },
                                  { QStringLiteral("props"), props } });
    }
    return QJsonDocument(QJsonObject { { QStringLiteral("context"), context },
                                       { QStringLiteral("events"), list } })
        .toJson(QJsonDocument::Compact);
}

QCoro::Task<> Telemetry::flush()
{
    if (!m_state.enabled || !m_client)
        co_return;
    record(QStringLiteral("app_active"), { { QStringLiteral("minutes"), activityMinutes() } });
    QList<Event> taken;
    taken.swap(m_queue);
    if (taken.isEmpty())
        co_return;
    QPointer<Telemetry> self(this);
    QPointer<APIClient> client = m_client;
    const QByteArray body = payload(taken);
    const quint64 generation = m_generation;
    ++m_flushing;
    const auto sent = co_await client->sendTelemetry(body);
    if (!self)
        co_return;
    --m_flushing;
    // Events of a session that has ended meanwhile must never go out with the next one's.
    if (sent || generation != m_generation)
        co_return;
    qCInfo(lcTelemetry, "upload failed; %d events kept", int(taken.size()));
    // Events recorded while the upload was out stay behind the ones it failed to send.
    taken.append(m_queue);
    m_queue.swap(taken);
    trim();
}

QCoro::Task<> Telemetry::configure(APIClient *client)
{
    m_client = client;
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setInterval(m_options.flushInterval);
        connect(m_timer, &QTimer::timeout, this, [this] {
            auto flushing = flush();
            Q_UNUSED(flushing);
        });
        m_timer->start();
    }
    if (!client)
        co_return;
    QPointer<Telemetry> self(this);
    const quint64 generation = m_generation;
    const auto flags = co_await client->telemetryState();
    if (!self || generation != m_generation)
        co_return;
    // A failed fetch leaves the flags alone: after start that means nothing is recorded.
    if (flags)
        setState(*flags);
}

QCoro::Task<> Telemetry::setChoice(bool enabled)
{
    if (!m_client || m_state.required)
        co_return;
    QPointer<Telemetry> self(this);
    const quint64 generation = m_generation;
    // Quick toggles send several choices whose answers may cross: only the last one counts.
    const quint64 choice = ++m_choices;
    const auto flags = co_await m_client->setTelemetryChoice(enabled);
    if (!self || generation != m_generation || choice != m_choices)
        co_return;
    if (flags)
        setState(*flags);
    else
        Q_EMIT stateChanged(); // the switch falls back to the flags as they are
}

void Telemetry::silence()
{
    ++m_generation;
    m_queue.clear();
    setState(TelemetryState {});
}

void Telemetry::setState(const TelemetryState &state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged();
}
