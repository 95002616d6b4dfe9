#include "ai/local/AudioDecoder.h"

#include "sync/OnceFlag.h"

#include <QAudioBuffer>
#include <QAudioDecoder>
#include <QAudioFormat>
#include <QCoro/QCoroSignal>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QtEndian>

#include <cmath>
#include <memory>

namespace AudioDecoder {

namespace {

// -45 dBFS: room noise of a laptop microphone stays below it, a voice at arm's length does
// not. Speech engines invent words in silence, so silence is caught before them.
constexpr double kSilenceRms = 0.0056;

// Collects the decoder's buffers. GStreamer usually converts to the format asked for; when a
// backend hands out its own rate or channels, they are converted here.
class Collector : public QObject
{
    Q_OBJECT
public:
    Collector(const QString &path, const Options &options)
        : m_options(options)
    {
        QAudioFormat format;
        format.setSampleRate(sampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        m_decoder.setAudioFormat(format);
        m_decoder.setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
        m_stall.setSingleShot(true);
        connect(&m_stall, &QTimer::timeout, this, [this] { finish(Outcome::Kind::TimedOut, {}); });
        connect(&m_decoder, &QAudioDecoder::bufferReady, this, &Collector::take);
        connect(&m_decoder, &QAudioDecoder::finished, this, [this] {
            take(); // a last buffer may still be waiting
            finish(Outcome::Kind::Pcm, {});
        });
        connect(&m_decoder, qOverload<QAudioDecoder::Error>(&QAudioDecoder::error), this,
                [this](QAudioDecoder::Error) { finish(Outcome::Kind::Unreadable, m_decoder.errorString()); });
    }

    void start()
    {
        m_stall.start(m_options.stallTimeout);
        m_decoder.start();
        // The backend may refuse at once without a signal.
        if (m_decoder.error() != QAudioDecoder::NoError)
            finish(Outcome::Kind::Unreadable, m_decoder.errorString());
    }

    bool done() const { return m_once.isSet(); }
    Outcome outcome() const { return m_outcome; }

Q_SIGNALS:
    void ended();

private:
    void take()
    {
        while (!done() && m_decoder.bufferAvailable()) {
            const QAudioBuffer buffer = m_decoder.read();
            if (!buffer.isValid())
                break;
            m_stall.start(m_options.stallTimeout);
            append(buffer);
            const double seconds = double(m_pcm.size()) / (2.0 * sampleRate);
            if (seconds > double(m_options.maxDuration.count()))
                finish(Outcome::Kind::TooLong, {});
        }
    }

    // Mixes the channels down and resamples as the buffers come, so memory holds only the
    // 16 kHz result. Each output sample averages the source samples it covers, which keeps
    // most of what would fold back when going down from 44.1 or 48 kHz.
    void append(const QAudioBuffer &buffer)
    {
        const QAudioFormat format = buffer.format();
        const int channels = format.channelCount();
        if (channels <= 0 || format.sampleRate() <= 0)
            return;
        if (m_rate != format.sampleRate()) {
            m_rate = format.sampleRate();
            m_ratio = double(m_rate) / sampleRate;
            m_boundary = m_consumed + m_ratio;
        }
        const qsizetype frames = buffer.frameCount();
        const int bytesPerSample = format.bytesPerSample();
        const auto *data = buffer.constData<unsigned char>();
        for (qsizetype frame = 0; frame < frames; ++frame) {
            float sum = 0;
            for (int channel = 0; channel < channels; ++channel) {
                const unsigned char *at = data + (frame * channels + channel) * bytesPerSample;
                sum += format.normalizedSampleValue(at);
            }
            m_sum += sum / float(channels);
            ++m_taken;
            m_consumed += 1.0;
            while (m_consumed >= m_boundary) {
                const double value = m_taken > 0 ? m_sum / m_taken : 0.0;
                const auto sample = qint16(std::clamp(std::lround(value * 32767.0), -32768L, 32767L));
                m_pcm.append(reinterpret_cast<const char *>(&sample), 2);
                m_sum = 0;
                m_taken = 0;
                m_boundary += m_ratio;
            }
        }
    }

    void finish(Outcome::Kind kind, const QString &detail)
    {
        // The decoder may report an error after it finished, or twice: the first word wins.
        if (!m_once.testAndSet())
            return;
        m_stall.stop();
        m_decoder.stop();
        m_outcome.kind = kind;
        m_outcome.detail = detail;
        if (kind == Outcome::Kind::Pcm)
            m_outcome.pcm = std::move(m_pcm);
        m_pcm.clear();
        Q_EMIT ended();
    }

    Options m_options;
    QAudioDecoder m_decoder;
    QTimer m_stall;
    OnceFlag m_once;
    Outcome m_outcome;
    QByteArray m_pcm;
    int m_rate = 0;
    double m_ratio = 1.0;
    double m_consumed = 0; // source samples taken, counted at the current rate
    double m_boundary = 1.0; // where the next output sample ends
    double m_sum = 0;
    int m_taken = 0;
};

} // namespace

QCoro::Task<Outcome> decode(QString filePath, Options options)
{
    auto collector = std::make_unique<Collector>(filePath, options);
    collector->start();
    if (!collector->done())
        co_await qCoro(collector.get(), &Collector::ended);
    co_return collector->outcome();
}

double loudestStretch(const QByteArray &pcm)
{
    constexpr qsizetype window = sampleRate * 30 / 1000;
    const auto *samples = reinterpret_cast<const qint16 *>(pcm.constData());
    const qsizetype count = pcm.size() / 2;
    double loudest = 0;
    for (qsizetype start = 0; start < count; start += window) {
        const qsizetype end = std::min(count, start + window);
        double sum = 0;
        for (qsizetype i = start; i < end; ++i)
            sum += double(samples[i]) * samples[i];
        loudest = std::max(loudest, std::sqrt(sum / double(end - start)) / 32768.0);
    }
    return loudest;
}

bool isSilent(const QByteArray &pcm)
{
    return loudestStretch(pcm) < kSilenceRms;
}

QByteArray wav(const QByteArray &pcm)
{
    QByteArray file;
    file.reserve(44 + pcm.size());
    const auto u32 = [&](quint32 value) {
        char bytes[4];
        qToLittleEndian(value, bytes);
        file.append(bytes, 4);
    };
    const auto u16 = [&](quint16 value) {
        char bytes[2];
        qToLittleEndian(value, bytes);
        file.append(bytes, 2);
    };
    file.append("RIFF");
    u32(quint32(36 + pcm.size()));
    file.append("WAVEfmt ");
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(sampleRate);
    u32(sampleRate * 2);
    u16(2);
    u16(16);
    file.append("data");
    u32(quint32(pcm.size()));
    file.append(pcm);
    return file;
}

} // namespace AudioDecoder

#include "AudioDecoder.moc"
