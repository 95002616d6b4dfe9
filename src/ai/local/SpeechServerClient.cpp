#include "ai/local/SpeechServerClient.h"

#include "ai/ProviderClient.h"
#include "ai/local/LocalEndpoints.h"
#include "base/Localization.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

SpeechServerClient::SpeechServerClient(Options options)
    : m_options(options)
{
}

QCoro::Task<bool> SpeechServerClient::answers(QUrl base) const
{
    const auto answer = co_await LocalEndpoints::exchange(
        m_options.network, "GET", QNetworkRequest(LocalEndpoints::join(base, QStringLiteral("/"))),
        {}, m_options.probeTimeout, 64 * 1024);
    co_return answer.reach != LocalEndpoints::Answer::Reach::Unreachable;
}

QCoro::Task<SpeechServerClient::Outcome>
SpeechServerClient::transcribe(QUrl base, QByteArray wav, std::optional<QString> language) const
{
    using Reach = LocalEndpoints::Answer::Reach;
    const QString boundary = QStringLiteral("scrivelbar-")
        + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QByteArray body
        = ProviderClient::multipartBody(boundary, wav, QStringLiteral("recording.wav"), language);

    Outcome outcome;
    for (const char *path : { openAIPath, whisperPath }) {
        QNetworkRequest request(LocalEndpoints::join(base, QString::fromLatin1(path)));
        request.setRawHeader("Content-Type", "multipart/form-data; boundary=" + boundary.toUtf8());
        request.setRawHeader("Accept", "application/json");
        const auto answer = co_await LocalEndpoints::exchange(m_options.network, "POST", request,
                                                              body, m_options.timeout,
                                                              m_options.maxAnswerBytes);
        switch (answer.reach) {
        case Reach::Unreachable:
            co_return Outcome { Outcome::Kind::NotRunning, {}, {} };
        case Reach::TimedOut:
            co_return Outcome { Outcome::Kind::Failed, {}, AIError::system(L("ai.error.timedOut")) };
        case Reach::TooLarge:
            co_return Outcome { Outcome::Kind::Failed, {},
                                AIError::system(L("ai.error.answerTooLarge")) };
        case Reach::Answered:
            break;
        }
        // Not this server's path: try the other one.
        if (answer.status == 404 || answer.status == 405) {
            outcome = Outcome { Outcome::Kind::NotRunning, {}, {} };
            continue;
        }
        if (answer.status < 200 || answer.status > 299)
            co_return Outcome { Outcome::Kind::Failed, {},
                                AIError::http(answer.status, LocalEndpoints::errorText(answer.body)) };
        const QJsonValue text = QJsonDocument::fromJson(answer.body).object().value(QStringLiteral("text"));
        if (!text.isString())
            co_return Outcome { Outcome::Kind::Failed, {},
                                AIError::system(L("error.invalidResponse")) };
        const QString trimmed = text.toString().trimmed();
        if (trimmed.isEmpty())
            co_return Outcome { Outcome::Kind::NoSpeech, {}, {} };
        co_return Outcome { Outcome::Kind::Text, trimmed, {} };
    }
    // Something answers there, but it is no speech server the app knows.
    co_return outcome;
}
