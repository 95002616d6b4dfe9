#pragma once

#include "base/Date.h"

#include <QMetaType>
#include <QString>

#include <optional>

/// The state the sync engine publishes (the footer and the account screen show it).
struct SyncState
{
    enum class Kind {
        Idle,      ///< signed in, not syncing; `lastSync` is the last success, if any since start
        Failed,    ///< the last sync or account operation failed; `message` is for the user
        SignedOut, ///< no account
        Syncing,   ///< a sync or an account operation is running
        LocalOnly, ///< the account includes no sync: automatic syncs stop
    };

    Kind kind = Kind::SignedOut;
    std::optional<Date> lastSync; ///< Idle only
    QString message;              ///< Failed only

    static SyncState idle(std::optional<Date> lastSync = std::nullopt) { return {Kind::Idle, lastSync, {}}; }
    static SyncState failed(const QString &message) { return {Kind::Failed, std::nullopt, message}; }
    static SyncState signedOut() { return {Kind::SignedOut, std::nullopt, {}}; }
    static SyncState syncing() { return {Kind::Syncing, std::nullopt, {}}; }
    static SyncState localOnly() { return {Kind::LocalOnly, std::nullopt, {}}; }

    bool operator==(const SyncState &) const = default;
};

Q_DECLARE_METATYPE(SyncState)
