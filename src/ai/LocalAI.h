#pragma once

#include "ai/AIError.h"

#include <QCoro/QCoroTask>
#include <QLocale>
#include <QString>

#include <functional>
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

    /// The jobs the engine does, for `engineFor`.
    enum class Job { Text, Speech, Summary };
    /// Which engine will run a job of `job` now, in words for the settings ("tesseract
    /// (English, Spanish, Portuguese)", …); empty when the engine does not say.
    virtual QString engineFor(Job job)
    {
        Q_UNUSED(job);
        return {};
    }
    /// Looks again at what can run (local servers start and stop); the listener hears of it.
    virtual void refreshStatus() { }
    /// Called on the main thread whenever `summaryUnavailableReason` or `engineFor` may
    /// answer differently. One listener; null removes it.
    void setStatusListener(std::function<void()> listener) { m_statusListener = std::move(listener); }

protected:
    void notifyStatusChanged()
    {
        if (m_statusListener)
            m_statusListener();
    }

private:
    std::function<void()> m_statusListener;
};
