#include "base/BoundedReply.h"

#include <QNetworkReply>
#include <QVariant>

BoundedReply BoundedReply::collect(QNetworkReply *reply, qint64 limit)
{
    BoundedReply bounded;
    auto take = [reply, body = bounded.body, tooLarge = bounded.tooLarge, limit] {
        if (*tooLarge || !reply->isOpen())
            return;
        body->append(reply->readAll());
        if (body->size() > limit) {
            *tooLarge = true;
            body->clear();
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply,
                     [reply, tooLarge = bounded.tooLarge, limit] {
                         const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
                         if (length.isValid() && length.toLongLong() > limit && !*tooLarge) {
                             *tooLarge = true;
                             reply->abort();
                         }
                     });
    QObject::connect(reply, &QIODevice::readyRead, reply, take);
    bounded.readRest = take;
    return bounded;
}
