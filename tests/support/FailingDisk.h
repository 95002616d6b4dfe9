#pragma once

#include "base/DurableFile.h"

#include <QFileInfo>
#include <QString>

/// Makes durable writes fail as a full disk would, through DurableFile's fault hook: every
/// write whose file name contains `match`, from the `first`-th such write on (counting from 1),
/// fails at its first step until `heal()` or destruction.
class FailingDisk
{
public:
    explicit FailingDisk(QString match = {}, int first = 1)
        : m_match(std::move(match))
        , m_first(first)
    {
        DurableFile::setFaultHook([this](DurableFile::Step step, const QString &path) {
            if (m_healed || step != DurableFile::Step::Create
                || !QFileInfo(path).fileName().contains(m_match))
                return true;
            ++m_seen;
            if (m_seen < m_first)
                return true;
            ++m_failed;
            return false;
        });
    }
    ~FailingDisk() { DurableFile::setFaultHook({}); }
    FailingDisk(const FailingDisk &) = delete;
    FailingDisk &operator=(const FailingDisk &) = delete;

    void heal() { m_healed = true; }
    int failed() const { return m_failed; }

private:
    QString m_match;
    int m_first;
    int m_seen = 0;
    int m_failed = 0;
    bool m_healed = false;
};
