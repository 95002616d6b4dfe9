#pragma once

#include "sync/APIError.h"
#include "sync/WireRecords.h"

#include <QCoro/QCoroTask>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QUrl>
#include <QUrlQuery>

#include <chrono>
#include <optional>

class QNetworkAccessManager;
class QNetworkRequest;
class QIODevice;

/// The only component that talks HTTP to the application's server. It holds the base address
/// and the session token, builds every request the same way (JSON content type, version
/// header, bearer token), checks every answer the same way, and fails with `APIError` (or a
/// `DecodeError` for an answer it cannot read). It never retries.
///
/// Every operation is a coroutine; several may be in flight at once. The configuration is
/// guarded by a lock, so a request never sees a half-changed address and token.
class APIClient : public QObject
{
    Q_OBJECT
public:
    /// Limits of one request. The defaults are the product's values; tests shorten them.
    struct Options
    {
        /// A request fails when no data moves for this long (media transfers included).
        std::chrono::milliseconds idleTimeout { 20000 };
        /// A JSON request fails when it has not finished after this long. Media uploads and
        /// downloads have no total limit: they fail only when they stall (idleTimeout).
        std::chrono::milliseconds requestTimeout { 60000 };
        /// Largest JSON answer taken in (the body is read into memory).
        qint64 maxAnswerBytes = 64LL * 1024 * 1024;
        /// Largest media download taken in.
        qint64 maxMediaBytes = 512LL * 1024 * 1024;
        /// The "x-scrivelbar-version" header; empty → the application's version.
        QString version;
    };

    explicit APIClient(QObject *parent = nullptr);
    explicit APIClient(const Options &options, QObject *parent = nullptr);
    ~APIClient() override;

    /// Sets the base address (trimmed of white space, then of "/" at both ends; empty or not
    /// an http(s) address → none) and the token (replaced, absent included).
    void configure(const QString &baseURL, const std::optional<QString> &token);
    /// Replaces only the token (sign-in and sign-out).
    void setToken(const std::optional<QString> &token);
    std::optional<QUrl> baseURL() const;
    std::optional<QString> token() const;

    QCoro::Task<APIResult<ServerHealth>> health();
    QCoro::Task<APIResult<APIUser>> me();
    /// The "telemetry" member of "/v1/auth/me"; all flags false when it is absent.
    QCoro::Task<APIResult<TelemetryState>> telemetryState();
    QCoro::Task<APIResult<TelemetryState>> setTelemetryChoice(bool enabled);
    QCoro::Task<APIResult<SyncResponse>> sync(qint64 cursor, QList<WireNote> changes);
    QCoro::Task<APIResult<AuthResponse>> googleSignIn(QString code, QString redirectUri,
                                                      QString codeVerifier, QString device,
                                                      bool acceptedTerms);
    /// A one-time address of the web dashboard, already signed in.
    QCoro::Task<APIResult<QUrl>> dashboardLink();
    QCoro::Task<APIResult<void>> logout();
    QCoro::Task<APIResult<void>> deleteAccount();
    QCoro::Task<APIResult<ShareLink>> createShare(QString noteID);
    QCoro::Task<APIResult<QList<ShareLink>>> shareLinks(QString noteID);
    QCoro::Task<APIResult<void>> revokeShare(QString shareToken);
    /// `json` is sent as it is.
    QCoro::Task<APIResult<void>> sendTelemetry(QByteArray json);
    /// A multipart form: "message", one part per field, and the optional picture
    /// ("panel.png") and diagnostics ("diagnostics.txt").
    QCoro::Task<APIResult<void>> sendFeedback(QString message, QMap<QString, QString> fields,
                                              std::optional<QByteArray> picture,
                                              std::optional<QByteArray> diagnostics);
    QCoro::Task<APIResult<MediaUsage>> mediaUsage();
    /// Streams the file at `filePath` as the body of a PUT.
    QCoro::Task<APIResult<void>> uploadMedia(QString noteID, QString filename, QString filePath);
    QCoro::Task<APIResult<QByteArray>> downloadMedia(QString noteID, QString filename);

    /// The multipart body of a feedback form with `boundary` (exposed for tests).
    static QByteArray feedbackBody(const QByteArray &boundary, const QString &message,
                                   const QMap<QString, QString> &fields,
                                   const std::optional<QByteArray> &picture,
                                   const std::optional<QByteArray> &diagnostics);

private:
    struct Body;
    /// How long a request may take: a total limit besides the idle one, or only the idle one.
    enum class Limit { Total, Idle };
    std::expected<QNetworkRequest, APIError> prepare(const QString &path, bool authenticated,
                                                     const std::optional<QUrlQuery> &query
                                                     = {}) const;
    QCoro::Task<APIResult<QByteArray>> send(QByteArray method, QNetworkRequest request,
                                            QByteArray body, QIODevice *device, qint64 limit,
                                            Limit timing = Limit::Total);
    QCoro::Task<APIResult<QByteArray>> request(QByteArray method, QString path, bool authenticated,
                                               std::optional<QByteArray> body,
                                               std::optional<QUrlQuery> query = {});
    template<typename T>
    QCoro::Task<APIResult<T>> requestRecord(QByteArray method, QString path, bool authenticated,
                                            std::optional<QByteArray> body,
                                            std::optional<QUrlQuery> query = {});
    QCoro::Task<APIResult<void>> requestVoid(QByteArray method, QString path,
                                             std::optional<QByteArray> body);

    Options m_options;
    QNetworkAccessManager *m_network;
    mutable QMutex m_lock; ///< guards m_baseURL and m_token
    std::optional<QUrl> m_baseURL;
    std::optional<QString> m_token;
};
