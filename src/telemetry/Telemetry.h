#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

/// Process-wide usage-event recorder. Property values are strings, numbers or booleans.
/// Until uploading exists, events are announced through `recorded` and dropped.
class Telemetry : public QObject
{
    Q_OBJECT
public:
    static Telemetry &shared();

    void record(const QString &name, const QVariantMap &properties = {});

Q_SIGNALS:
    void recorded(const QString &name, const QVariantMap &properties);

private:
    Telemetry() = default;
};
