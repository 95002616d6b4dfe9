#include "media/AudioPlayer.h"

#include "base/Localization.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QTimer>

AudioPlayer::AudioPlayer(QObject *parent, std::chrono::milliseconds tick) : QObject(parent)
{
    m_timer = new QTimer(this);
    m_timer->setInterval(tick);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_player)
            setCurrentTime(double(m_player->position()) / 1000.0);
    });
}

AudioPlayer::~AudioPlayer()
{
    stop();
}

void AudioPlayer::load(const QUrl &url)
{
    if (url == m_url && m_player)
        return;
    stop();
    m_url = url;
    setDuration(0);
    setCurrentTime(0);
    delete m_player;
    delete m_output;
    m_player = nullptr;
    m_output = nullptr;
    // A missing file is known at once; the decoder would only say so later and vaguely.
    if (url.isLocalFile() && !QFileInfo(url.toLocalFile()).isFile()) {
        setProblem(L("player.problem", L("editor.attachment.missing")));
        return;
    }
    m_player = new QMediaPlayer(this);
    m_output = new QAudioOutput(this);
    m_player->setAudioOutput(m_output);
    connect(m_player, &QMediaPlayer::durationChanged, this,
            [this](qint64 ms) { setDuration(double(ms) / 1000.0); });
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString &text) {
                m_timer->stop();
                setPlaying(false);
                setProblem(L("player.problem", text.isEmpty() ? m_url.fileName() : text));
            });
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia)
            finished();
        else if (status == QMediaPlayer::InvalidMedia)
            setProblem(L("player.problem", m_url.fileName()));
    });
    setProblem(QString());
    m_player->setSource(url);
}

void AudioPlayer::toggle()
{
    if (!m_player || !m_problem.isEmpty())
        return;
    if (m_playing) {
        m_player->pause();
        m_timer->stop();
        setPlaying(false);
    } else {
        m_player->play();
        setPlaying(true);
        m_timer->start();
    }
}

void AudioPlayer::seek(double fraction)
{
    if (!m_player || m_duration <= 0)
        return;
    const double target = std::clamp(fraction * m_duration, 0.0, m_duration);
    m_player->setPosition(qint64(target * 1000.0));
    // The player reports its new position asynchronously; the target is where it lands.
    setCurrentTime(target);
}

void AudioPlayer::stop()
{
    if (m_player)
        m_player->stop();
    m_timer->stop();
    setPlaying(false);
    setCurrentTime(0);
}

void AudioPlayer::finished()
{
    m_timer->stop();
    setPlaying(false);
    setCurrentTime(0);
    if (m_player)
        m_player->setPosition(0);
}

void AudioPlayer::setPlaying(bool playing)
{
    if (playing == m_playing)
        return;
    m_playing = playing;
    Q_EMIT isPlayingChanged(m_playing);
}

void AudioPlayer::setCurrentTime(double seconds)
{
    if (seconds == m_currentTime)
        return;
    m_currentTime = seconds;
    Q_EMIT currentTimeChanged(m_currentTime);
}

void AudioPlayer::setDuration(double seconds)
{
    if (seconds == m_duration)
        return;
    m_duration = seconds;
    Q_EMIT durationChanged(m_duration);
}

void AudioPlayer::setProblem(const QString &problem)
{
    if (problem == m_problem)
        return;
    m_problem = problem;
    Q_EMIT problemChanged(m_problem);
}
