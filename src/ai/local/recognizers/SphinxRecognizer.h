#pragma once

#include "ai/local/Recognizers.h"

#include <QMutex>
#include <QString>

struct ps_decoder_s;

/// The classic speech recognizer: pocketsphinx with its US English model (the module's
/// implementation of `SpeechRecognizer`).
class SphinxRecognizer final : public Recognizers::SpeechRecognizer
{
public:
    /// `modelDir` holds "en-us/en-us", "en-us/en-us.lm.bin" and "en-us/cmudict-en-us.dict";
    /// empty → where pocketsphinx-en-us installs them.
    explicit SphinxRecognizer(QString modelDir = {});
    ~SphinxRecognizer() override;
    SphinxRecognizer(const SphinxRecognizer &) = delete;
    SphinxRecognizer &operator=(const SphinxRecognizer &) = delete;

    Recognizers::SpeechOutcome recognize(const QByteArray &pcm) override;
    /// Whether the model files are there.
    bool hasModel() const;

private:
    bool ensureStarted();

    QString m_modelDir;
    QMutex m_lock;
    ps_decoder_s *m_decoder = nullptr;
    bool m_failed = false;
};
