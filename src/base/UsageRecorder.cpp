#include "base/UsageRecorder.h"

namespace {

class DroppingRecorder final : public UsageRecorder
{
public:
    void record(const QString &, const QVariantMap &) override { }
};

DroppingRecorder dropping;
UsageRecorder *installed = nullptr;

} // namespace

UsageRecorder &UsageRecorder::shared()
{
    return installed ? *installed : dropping;
}

void UsageRecorder::setShared(UsageRecorder *recorder)
{
    installed = recorder;
}
