#include "platform/linux/SecretServiceKeychain.h"

#include "base/Localization.h"

#include <QCoroSignal>
#include <QPointer>

#include <qt6keychain/keychain.h>

namespace {

// Waits for `job`, which the caller has started. A keychain that never answers (a bus that
// hangs, an unlock prompt nobody sees) becomes an error instead of a flow that never ends;
// the job then deletes itself whenever it finishes.
QCoro::Task<std::optional<QKeychain::Error>>
finish(QKeychain::Job *job, std::chrono::milliseconds timeout, QString *message)
{
    QPointer<QKeychain::Job> guard(job);
    const auto done = co_await qCoro(job, &QKeychain::Job::finished, timeout);
    if (!done || !guard) {
        if (guard)
            QObject::connect(job, &QKeychain::Job::finished, job, &QObject::deleteLater);
        *message = L("keychain.noAnswer");
        co_return std::nullopt;
    }
    const QKeychain::Error error = job->error();
    *message = job->errorString();
    job->deleteLater();
    co_return error;
}

QString describe(QKeychain::Error error, const QString &detail)
{
    // The library's text is the useful part; the kind makes a bare one readable.
    const QString kind = error == QKeychain::NoBackendAvailable ? L("keychain.unavailable")
        : error == QKeychain::AccessDenied || error == QKeychain::AccessDeniedByUser
        ? L("keychain.denied")
        : L("keychain.failed");
    return detail.isEmpty() ? kind : kind + u' ' + detail;
}

} // namespace

SecretServiceKeychain::SecretServiceKeychain(std::chrono::milliseconds timeout)
    : m_timeout(timeout)
{
}

QCoro::Task<KeychainResult> SecretServiceKeychain::read(QString service, QString account)
{
    auto *job = new QKeychain::ReadPasswordJob(service);
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    job->setKey(account);
    job->start();
    QString detail;
    // Read the value before the job goes: `finish` schedules its deletion.
    QPointer<QKeychain::ReadPasswordJob> guard(job);
    const auto error = co_await finish(job, m_timeout, &detail);
    if (!error)
        co_return KeychainResult { detail, std::nullopt };
    if (*error == QKeychain::EntryNotFound)
        co_return KeychainResult {};
    if (*error != QKeychain::NoError)
        co_return KeychainResult { describe(*error, detail), std::nullopt };
    const QString secret = guard ? guard->textData() : QString();
    // An empty entry is as good as none: no caller can use an empty secret.
    if (secret.isEmpty())
        co_return KeychainResult {};
    co_return KeychainResult { QString(), secret };
}

QCoro::Task<KeychainResult> SecretServiceKeychain::save(QString secret, QString service,
                                                        QString account)
{
    // Writing replaces an entry with the same service and account.
    auto *job = new QKeychain::WritePasswordJob(service);
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    job->setKey(account);
    job->setTextData(secret);
    job->start();
    QString detail;
    const auto error = co_await finish(job, m_timeout, &detail);
    if (!error)
        co_return KeychainResult { detail, std::nullopt };
    if (*error != QKeychain::NoError)
        co_return KeychainResult { describe(*error, detail), std::nullopt };
    co_return KeychainResult {};
}

QCoro::Task<KeychainResult> SecretServiceKeychain::remove(QString service, QString account)
{
    auto *job = new QKeychain::DeletePasswordJob(service);
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    job->setKey(account);
    job->start();
    QString detail;
    const auto error = co_await finish(job, m_timeout, &detail);
    if (!error)
        co_return KeychainResult { detail, std::nullopt };
    if (*error != QKeychain::NoError && *error != QKeychain::EntryNotFound)
        co_return KeychainResult { describe(*error, detail), std::nullopt };
    co_return KeychainResult {};
}
