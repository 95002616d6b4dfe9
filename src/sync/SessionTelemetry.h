#pragma once

#include "base/UsageRecorder.h"

#include <QCoro/QCoroTask>

class APIClient;

/// What the sync engine tells usage telemetry about the account's session: a session started
/// (fetch the account's flags through `client`), a session about to end (send what is queued
/// while the token still works), a session ended (drop everything). The telemetry service
/// implements it; the engine never sees uploads.
class SessionTelemetry : public UsageRecorder
{
public:
    virtual QCoro::Task<> configure(APIClient *client) = 0;
    virtual QCoro::Task<> flush() = 0;
    virtual void silence() = 0;
};
