#include "ai/local/recognizers/SphinxRecognizer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <pocketsphinx.h>
#include <sphinxbase/err.h>

#ifndef SCRIVEL_SPHINX_MODELDIR
#define SCRIVEL_SPHINX_MODELDIR "/usr/share/pocketsphinx/model"
#endif

namespace {

using Kind = Recognizers::SpeechOutcome::Kind;

// 0.128 s of 16 kHz audio per step: small enough for the voice detector to cut utterances
// where people pause, so a long recording never becomes one huge search.
constexpr qsizetype kStepSamples = 2048;

QString hmmDir(const QString &root)
{
    return QDir(root).filePath(QStringLiteral("en-us/en-us"));
}
QString languageModel(const QString &root)
{
    return QDir(root).filePath(QStringLiteral("en-us/en-us.lm.bin"));
}
QString dictionary(const QString &root)
{
    return QDir(root).filePath(QStringLiteral("en-us/cmudict-en-us.dict"));
}

QString hypothesis(ps_decoder_t *decoder)
{
    int32 score = 0;
    const char *text = ps_get_hyp(decoder, &score);
    return text ? QString::fromUtf8(text).simplified() : QString();
}

} // namespace

SphinxRecognizer::SphinxRecognizer(QString modelDir)
    : m_modelDir(modelDir.isEmpty() ? QString::fromLatin1(SCRIVEL_SPHINX_MODELDIR)
                                    : std::move(modelDir))
{
}

SphinxRecognizer::~SphinxRecognizer()
{
    if (m_decoder)
        ps_free(m_decoder);
}

bool SphinxRecognizer::hasModel() const
{
    return QFileInfo(hmmDir(m_modelDir)).isDir() && QFileInfo(languageModel(m_modelDir)).isFile()
        && QFileInfo(dictionary(m_modelDir)).isFile();
}

bool SphinxRecognizer::ensureStarted()
{
    if (m_decoder)
        return true;
    if (m_failed || !hasModel())
        return false;
    // The library logs every setting it reads to standard error; nobody reads that.
    err_set_logfp(nullptr);
    const QByteArray hmm = QFile::encodeName(hmmDir(m_modelDir));
    const QByteArray lm = QFile::encodeName(languageModel(m_modelDir));
    const QByteArray dict = QFile::encodeName(dictionary(m_modelDir));
    cmd_ln_t *config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-lm",
                                   lm.constData(), "-dict", dict.constData(), "-samprate", "16000",
                                   "-logfn", "/dev/null", nullptr);
    if (!config) {
        m_failed = true;
        return false;
    }
    m_decoder = ps_init(config);
    cmd_ln_free_r(config); // the decoder keeps its own reference
    if (!m_decoder) {
        m_failed = true;
        return false;
    }
    return true;
}

Recognizers::SpeechOutcome SphinxRecognizer::recognize(const QByteArray &pcm)
{
    const QMutexLocker locker(&m_lock);
    if (!ensureStarted())
        return { Kind::NoModel, {} };
    const auto *samples = reinterpret_cast<const int16 *>(pcm.constData());
    const qsizetype count = pcm.size() / qsizetype(sizeof(int16));
    QStringList words;
    ps_start_utt(m_decoder);
    bool inUtterance = false;
    for (qsizetype at = 0; at < count; at += kStepSamples) {
        const qsizetype step = std::min(kStepSamples, count - at);
        ps_process_raw(m_decoder, samples + at, size_t(step), FALSE, FALSE);
        const bool speaking = ps_get_in_speech(m_decoder) != 0;
        if (speaking && !inUtterance) {
            inUtterance = true;
        } else if (!speaking && inUtterance) {
            // The speaker paused: finish this utterance and start listening for the next.
            ps_end_utt(m_decoder);
            if (const QString text = hypothesis(m_decoder); !text.isEmpty())
                words.append(text);
            ps_start_utt(m_decoder);
            inUtterance = false;
        }
    }
    ps_end_utt(m_decoder);
    if (const QString text = hypothesis(m_decoder); !text.isEmpty())
        words.append(text);
    if (words.isEmpty())
        return { Kind::NoSpeech, {} };
    return { Kind::Text, words.join(u' ') };
}
