#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>

class QAudioOutput;
class QMediaPlayer;
class QTimer;

/// Plays one audio file (QMediaPlayer on GStreamer), publishing play state, position, length
/// and a problem text. The length arrives from the decoder shortly after `load`; until then
/// it is 0 and seeking does nothing.
class AudioPlayer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(double currentTime READ currentTime NOTIFY currentTimeChanged)
    Q_PROPERTY(double duration READ duration NOTIFY durationChanged)
    Q_PROPERTY(QString problem READ problem NOTIFY problemChanged)
public:
    /// How often `currentTime` follows the player while playing.
    static constexpr std::chrono::milliseconds tickInterval { 100 };

    explicit AudioPlayer(QObject *parent = nullptr, std::chrono::milliseconds tick = tickInterval);
    ~AudioPlayer() override;

    bool isPlaying() const { return m_playing; }
    double currentTime() const { return m_currentTime; }
    double duration() const { return m_duration; }
    /// Localized; empty when the file plays.
    QString problem() const { return m_problem; }
    /// currentTime / duration, or 0 while the length is unknown.
    double progress() const { return m_duration > 0 ? m_currentTime / m_duration : 0; }
    QUrl source() const { return m_url; }

    /// Prepares a file; loading the file already loaded changes nothing (playback goes on).
    void load(const QUrl &url);
    /// Plays or pauses; nothing without a loaded file or with a problem.
    void toggle();
    /// Jumps to `fraction` (limited to 0…1) of the length.
    void seek(double fraction);
    /// Stops and rewinds.
    void stop();

Q_SIGNALS:
    void isPlayingChanged(bool playing);
    void currentTimeChanged(double seconds);
    void durationChanged(double seconds);
    void problemChanged(const QString &problem);

private:
    void setPlaying(bool playing);
    void setCurrentTime(double seconds);
    void setDuration(double seconds);
    void setProblem(const QString &problem);
    void finished();

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_output = nullptr;
    QTimer *m_timer = nullptr;
    QUrl m_url;
    bool m_playing = false;
    double m_currentTime = 0;
    double m_duration = 0;
    QString m_problem;
};
