#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>

#include <chrono>

/// Decodes any audio file GStreamer reads (".m4a" recordings, ".wav", ".ogg", …) to the
/// 16 kHz mono signed 16-bit PCM the speech engines want, with QtMultimedia's QAudioDecoder.
/// The decoding runs in GStreamer's threads; the buffers arrive on the calling (main)
/// thread, where they are mixed down and resampled.
namespace AudioDecoder {

inline constexpr int sampleRate = 16000;

struct Outcome
{
    enum class Kind {
        Pcm, ///< `pcm` holds the samples
        Unreadable, ///< no decoder reads the file; `detail` says why
        TooLong, ///< longer than `maxDuration`
        TimedOut, ///< the decoder stopped answering
    };
    Kind kind = Kind::Unreadable;
    QByteArray pcm;
    QString detail;

    double seconds() const { return double(pcm.size()) / (2.0 * sampleRate); }
};

struct Options
{
    /// Longest recording decoded; the speech engines hold it all in memory.
    std::chrono::seconds maxDuration { 2 * 3600 };
    /// Decoding fails when no buffer and no end arrive for this long.
    std::chrono::milliseconds stallTimeout { 30000 };
};

QCoro::Task<Outcome> decode(QString filePath, Options options = {});

/// The loudest 30 ms stretch of `pcm`, as RMS over full scale (0…1).
double loudestStretch(const QByteArray &pcm);
/// Whether `pcm` holds nothing a person could hear as speech.
bool isSilent(const QByteArray &pcm);
/// `pcm` (16 kHz mono 16-bit) as a WAV file.
QByteArray wav(const QByteArray &pcm);

} // namespace AudioDecoder
