#pragma once

#include "ai/AIError.h"

#include <QCoro/QCoroTask>
#include <QLocale>
#include <QString>

#include <optional>

/// The on-device engine: text recognition in images, speech to text and summaries, without
/// sending anything off the machine. An implementation moves its heavy work off the main
/// thread itself and answers on the main thread. Failures are `AIError`s whose message is
/// already localized ("ai.error.noText", "ai.error.noSpeech", "ai.error.speechLanguage", …).
class LocalAI
{
public:
    virtual ~LocalAI() = default;

    /// The text recognized in the image file at `filePath`, lines joined with "\n" and trimmed.
    virtual QCoro::Task<AIResult<QString>> recognizeText(QString filePath) = 0;
    /// The transcript of the audio file at `filePath` in `locale`. The engine picks the newer
    /// speech service when it runs, else the classic recognizer.
    virtual QCoro::Task<AIResult<QString>> transcribe(QString filePath, QLocale locale) = 0;
    /// A summary of `text` written by the local language model following `instructions`.
    virtual QCoro::Task<AIResult<QString>> summarize(QString text, QString instructions) = 0;
    /// Why local summaries cannot run now ("ai.local.summary.off", …); nothing when they can.
    virtual std::optional<QString> summaryUnavailableReason() = 0;
};
