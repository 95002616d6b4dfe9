#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <expected>

/// Everything an operator can set. Each key can come from the configuration file
/// (`key = value`) or from the environment (`SCRIVEL_SERVER_` + the key in upper case); the
/// environment wins, so a service manager's environment file configures the server alone.
struct ServerConfig
{
    QString listenHost = QStringLiteral("127.0.0.1");
    quint16 listenPort = 8787;
    /// Holds the SQLite database, media files and feedback attachments.
    QString dataDir;
    /// "sqlite" or a "postgresql://" connection address.
    QString database = QStringLiteral("sqlite");
    /// The address users reach (behind a reverse proxy: the https address); share links and
    /// the dashboard link are built on it. Empty → "http://" + listen.
    QString publicUrl;
    int threads = 16;
    bool signup = true;
    QString googleClientId;
    QString googleClientSecret;
    QString googleTokenEndpoint = QStringLiteral("https://oauth2.googleapis.com/token");
    QString googleUserinfoEndpoint = QStringLiteral("https://openidconnect.googleapis.com/v1/userinfo");
    QString googleIssuer = QStringLiteral("https://accounts.google.com");
    QString termsUrl;
    QString termsVersion = QStringLiteral("1");
    /// "off", "optional" or "required".
    QString telemetry = QStringLiteral("optional");
    bool beta = false;
    int sessionDays = 90;
    qint64 mediaQuota = 1024LL * 1024 * 1024;
    qint64 mediaMaxFile = 100LL * 1024 * 1024;
    qint64 notesQuota = 100LL * 1024 * 1024;
    qint64 maxJsonBody = 32LL * 1024 * 1024;
    qint64 maxFeedbackBody = 16LL * 1024 * 1024;
    qint64 maxTelemetryBody = 1024LL * 1024;
    /// Requests a minute per account (and per address for requests without an account).
    int rateLimit = 600;
    /// Notes per sync answer before "hasMore".
    int syncPageSize = 500;

    /// Defaults, then the file (when `file` is not empty), then the environment.
    static std::expected<ServerConfig, QString> load(const QString &file,
                                                     const QProcessEnvironment &environment);
    /// A commented configuration file with every key at its default.
    static QString starterFile();
    /// The public address without a trailing "/".
    QString publicBase() const;
    bool googleConfigured() const
    {
        return !googleClientId.isEmpty() && !googleClientSecret.isEmpty();
    }
    bool isPostgres() const { return database.startsWith(QStringLiteral("postgres")); }
};

/// "512", "64K", "10M", "1G" (powers of 1024) → bytes; -1 when it is none of those.
qint64 parseSize(const QString &text);
