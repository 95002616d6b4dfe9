#pragma once

#include <QString>
#include <QVariantMap>

/// Where usage events go. The telemetry service implements it and installs itself as the
/// process-wide recorder, so components below it (the note store, the sync engine) record
/// events without knowing about uploads. Until a recorder is installed events are dropped,
/// exactly as telemetry drops them before it is configured. Main thread only.
class UsageRecorder
{
public:
    virtual ~UsageRecorder() = default;
    /// One event; property values are strings, numbers or booleans.
    virtual void record(const QString &name, const QVariantMap &properties = {}) = 0;

    /// The process-wide recorder; one that drops everything while none is installed.
    static UsageRecorder &shared();
    /// Installs `recorder` (not owned) as the process-wide one; null uninstalls.
    static void setShared(UsageRecorder *recorder);
};
