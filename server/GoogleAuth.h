#pragma once

#include "sync/WireRecords.h"

#include <QString>

#include <expected>
#include <optional>

struct ServerConfig;

/// Who Google says signed in.
struct GoogleIdentity
{
    QString subject;
    QString email;
    std::optional<QString> picture;
};

/// Checks the claims of an ID token that came straight from the token endpoint over TLS (so
/// its origin is the endpoint's certificate, and the signature need not be checked again):
/// the audience must be our client, the issuer the configured one, the token unexpired and
/// the e-mail verified. `nowMs` is the current time in milliseconds.
std::expected<GoogleIdentity, QString> identityFromIdToken(const QByteArray &idToken,
                                                           const QString &clientId,
                                                           const QString &issuer, double nowMs);

/// Exchanges the browser's authorization code (with its PKCE verifier) at the configured
/// token endpoint and returns the checked identity. Blocks the calling worker thread.
std::expected<GoogleIdentity, QString> exchangeGoogleCode(const ServerConfig &config,
                                                          const GoogleSignInRequest &request,
                                                          double nowMs);
