#pragma once

#include <QAudioFormat>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QAudioSource;
class QIODevice;
class QTimer;

/// Records one voice memo at a time from the default input into a temporary file: AAC in an
/// MPEG-4 audio file ("scrivelbar-<UUID>.m4a" in the temporary folder), 44.1 kHz, one channel.
///
/// QtMultimedia's own recorder cannot make mono files (it ignores a channel count of 1) and
/// drops the start of a take, so the recorder captures PCM with QAudioSource and encodes it
/// through a GStreamer pipeline of its own (convert and resample to 44.1 kHz mono, voaacenc,
/// mp4mux). The elapsed time is the number of samples captured, so it is exact.
///
/// Linux grants the microphone implicitly outside sandboxes: `RequestingPermission` passes at
/// once unless `Options::permission` says otherwise. No input device, a device that refuses
/// to open or an encoder error end in `Failed` with a message for people.
class AudioRecorder : public QObject
{
    Q_OBJECT
public:
    struct Status
    {
        enum class Kind { Idle, RequestingPermission, Denied, Recording, Failed };
        Kind kind = Kind::Idle;
        QString message; ///< Failed only: localized
        bool operator==(const Status &) const = default;
    };

    struct Recording
    {
        QString file;
        double duration = 0; ///< seconds
    };

    /// How often `elapsed` is refreshed while recording.
    static constexpr std::chrono::milliseconds tickInterval { 250 };
    /// Recordings this long or shorter are discarded by `stop`.
    static constexpr double minimumDuration = 0.2;
    static constexpr int sampleRate = 44100;
    static constexpr int channelCount = 1;
    static constexpr int bitrate = 64000;

    struct Options
    {
        std::chrono::milliseconds tick = tickInterval;
        /// Where recordings are made; empty: the system's temporary folder.
        QString folder;
        /// Whether the microphone may be used. Access is implicit on Linux outside sandboxes;
        /// tests (and a sandbox's portal answer) may refuse it.
        std::function<bool()> permission;
    };

    explicit AudioRecorder(QObject *parent = nullptr);
    explicit AudioRecorder(Options options, QObject *parent = nullptr);
    ~AudioRecorder() override;

    Status status() const { return m_status; }
    double elapsed() const { return m_elapsed; }

    /// True when this system has the encoder and the container the recorder needs.
    static bool isAvailable();
    /// The command that opens the desktop's sound settings (GNOME, KDE), empty when none is
    /// known; the recording screen hides its settings button then.
    static QStringList soundSettingsCommand();
    /// Starts that command; false when there is none or it could not start.
    static bool openSoundSettings();

    /// Asks for the microphone and begins recording. Does nothing while recording.
    void start();
    /// Finishes the recording and hands over its file; nothing (and no file left) for a
    /// recording of `minimumDuration` or less, or when the encoder could not finish it.
    std::optional<Recording> stop();
    /// Abandons the recording and deletes its file.
    void cancel();

Q_SIGNALS:
    void statusChanged(const AudioRecorder::Status &status);
    void elapsedChanged(double elapsed);

private:
    void setStatus(const Status &status);
    void setElapsed(double elapsed);
    void fail(const QString &detail);
    void readAudio();
    void tick();
    /// Pushes end-of-stream and waits for the muxer to finish the file; false on an error.
    bool finishPipeline();
    void tearDown();
    QString pipelineError();

    Options m_options;
    Status m_status;
    double m_elapsed = 0;
    QString m_file;
    QAudioFormat m_format;
    std::unique_ptr<QAudioSource> m_source;
    QIODevice *m_input = nullptr;
    QTimer *m_timer = nullptr;
    qint64 m_frames = 0;
    void *m_pipeline = nullptr; // GstElement*, kept out of the header
    void *m_appsrc = nullptr;
};

Q_DECLARE_METATYPE(AudioRecorder::Status)
