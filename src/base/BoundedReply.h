#pragma once

#include <QByteArray>

#include <functional>
#include <memory>

class QNetworkReply;

/// The body of a network answer, read as it arrives and cut off at a limit, so an oversized
/// answer never fills memory: past `limit` bytes (or an announced Content-Length over it)
/// the reply is aborted, the body dropped and `tooLarge` set.
struct BoundedReply
{
    std::shared_ptr<QByteArray> body = std::make_shared<QByteArray>();
    std::shared_ptr<bool> tooLarge = std::make_shared<bool>(false);
    /// Reads what is left once the reply finished (its last bytes may come without a signal).
    std::function<void()> readRest;

    /// Starts collecting `reply`'s answer (the connections live as long as the reply).
    static BoundedReply collect(QNetworkReply *reply, qint64 limit);
};
