#pragma once

#include "ai/LocalAI.h"

#include <QStringList>

/// The on-device engine as a script, for tests: what it answers, and what it was asked.
class ScriptedLocalAI final : public LocalAI
{
public:
    QCoro::Task<AIResult<QString>> recognizeText(QString filePath) override
    {
        calls.append(QStringLiteral("text:") + filePath);
        co_return answer;
    }
    QCoro::Task<AIResult<QString>> transcribe(QString filePath, QLocale) override
    {
        calls.append(QStringLiteral("speech:") + filePath);
        co_return answer;
    }
    QCoro::Task<AIResult<QString>> summarize(QString text, QString) override
    {
        calls.append(QStringLiteral("summary:") + text);
        co_return answer;
    }
    std::optional<QString> summaryUnavailableReason() override { return unavailable; }

    AIResult<QString> answer = QStringLiteral("local answer");
    std::optional<QString> unavailable;
    QStringList calls;
};
