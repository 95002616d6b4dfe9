#include "telemetry/Telemetry.h"

Telemetry &Telemetry::shared()
{
    static Telemetry instance;
    return instance;
}

void Telemetry::record(const QString &name, const QVariantMap &properties)
{
    Q_EMIT recorded(name, properties);
}
