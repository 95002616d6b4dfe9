#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>

struct ps_decoder_s;

/// The classic speech recognizer: pocketsphinx with its US English model, always on this
/// machine. One decoder is started on first use and kept. `recognize` blocks and is meant
/// for a worker thread; calls are serialized.
class SphinxRecognizer
{
public:
    struct Outcome
    {
        enum class Kind {
            Text, ///< `text` holds the words
            NoSpeech, ///< nothing was recognized
            NoModel, ///< the model files are missing or the decoder would not start
        };
        Kind kind = Kind::NoSpeech;
        QString text;
    };

    /// `modelDir` holds "en-us/en-us", "en-us/en-us.lm.bin" and "en-us/cmudict-en-us.dict";
    /// empty → where pocketsphinx-en-us installs them.
    explicit SphinxRecognizer(QString modelDir = {});
    ~SphinxRecognizer();
    SphinxRecognizer(const SphinxRecognizer &) = delete;
    SphinxRecognizer &operator=(const SphinxRecognizer &) = delete;

    /// The words in 16 kHz mono signed 16-bit PCM (`pcm`), utterance by utterance joined
    /// with spaces.
    Outcome recognize(const QByteArray &pcm);
    /// Whether the model files are there.
    bool hasModel() const;

private:
    bool ensureStarted();

    QString m_modelDir;
    QMutex m_lock;
    ps_decoder_s *m_decoder = nullptr;
    bool m_failed = false;
};
