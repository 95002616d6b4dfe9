#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

/// A private PulseAudio server for the recording tests: a null sink ("scrivel_out") whose
/// monitor is remapped into a source ("scrivel_mic") that is the default input, so that what
/// the test plays into the sink is what the recorder hears. Start it before anything touches
/// QtMultimedia: the environment it sets (PULSE_SERVER and friends) is read once per process.
class PulseAudioServer
{
public:
    static constexpr const char *sink = "scrivel_out";
    static constexpr const char *source = "scrivel_mic";

    ~PulseAudioServer()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(3000))
                m_server.kill();
            m_server.waitForFinished(1000);
        }
    }

    /// Empty on success, else what went wrong.
    QString start()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty())
            return QStringLiteral("pulseaudio is not installed");
        const QString socket = m_dir.filePath(QStringLiteral("native"));
        QDir(m_dir.path()).mkpath(QStringLiteral("run"));
        QDir(m_dir.path()).mkpath(QStringLiteral("state"));
        qputenv("PULSE_RUNTIME_PATH", m_dir.filePath(QStringLiteral("run")).toUtf8());
        qputenv("PULSE_STATE_PATH", m_dir.filePath(QStringLiteral("state")).toUtf8());
        qputenv("PULSE_SERVER", (QStringLiteral("unix:") + socket).toUtf8());
        qputenv("PULSE_COOKIE", m_dir.filePath(QStringLiteral("cookie")).toUtf8());
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(QStringLiteral("pulseaudio"),
                       { QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                         QStringLiteral("-n"), QStringLiteral("--use-pid-file=no"),
                         QStringLiteral("--system=no"), QStringLiteral("--disallow-module-loading=no"),
                         QStringLiteral("--load=module-native-protocol-unix socket=%1 auth-anonymous=1").arg(socket),
                         QStringLiteral("--load=module-null-sink sink_name=%1 rate=44100").arg(QLatin1String(sink)),
                         QStringLiteral("--load=module-remap-source source_name=%1 master=%2.monitor")
                             .arg(QLatin1String(source), QLatin1String(sink)) });
        if (!m_server.waitForStarted(5000))
            return QStringLiteral("pulseaudio did not start: ") + m_server.errorString();
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000) {
            if (pactl({ QStringLiteral("info") }))
                break;
            if (m_server.state() == QProcess::NotRunning)
                return QStringLiteral("pulseaudio ended: ") + QString::fromLocal8Bit(m_server.readAll());
            QThread::msleep(100);
        }
        if (!pactl({ QStringLiteral("set-default-source"), QLatin1String(source) })
            || !pactl({ QStringLiteral("set-default-sink"), QLatin1String(sink) }))
            return QStringLiteral("pulseaudio does not answer: ") + QString::fromLocal8Bit(m_server.readAll());
        return {};
    }

    static bool pactl(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral("pactl"), arguments);
        return process.waitForFinished(5000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    }

    /// Plays a sound file into the null sink (the recorder's input) in the background.
    static QProcess *play(const QString &file, QObject *parent)
    {
        auto *player = new QProcess(parent);
        player->start(QStringLiteral("paplay"), { QStringLiteral("--device=%1").arg(QLatin1String(sink)), file });
        return player;
    }

    /// Writes a WAV file of a sine tone (sox).
    static bool tone(const QString &file, double seconds, int hertz = 440, int channels = 1)
    {
        QProcess sox;
        sox.start(QStringLiteral("sox"), { QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                                           QStringLiteral("-c"), QString::number(channels), file,
                                           QStringLiteral("synth"), QString::number(seconds),
                                           QStringLiteral("sine"), QString::number(hertz),
                                           QStringLiteral("vol"), QStringLiteral("0.5") });
        return sox.waitForFinished(10000) && sox.exitCode() == 0;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_server;
};
