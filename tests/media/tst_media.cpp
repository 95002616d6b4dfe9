// The recorder and the player against real components: a private PulseAudio whose null sink
// is remapped into the default input, a tone played into it, QtMultimedia and GStreamer.
#include "PulseAudioServer.h"
#include "TestSupport.h"

#include "media/AudioPlayer.h"
#include "media/AudioRecorder.h"

#include <QAudioBuffer>
#include <QAudioDecoder>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>

using namespace std::chrono_literals;
using Kind = AudioRecorder::Status::Kind;

namespace {

struct Mp4Audio
{
    int channels = 0;
    int sampleRate = 0;
    double duration = 0; ///< from the movie header
    bool aac = false;
    int configChannels = 0; ///< from the AAC decoder configuration (what decoders obey)
    int configRateIndex = -1; ///< 4 is 44,100 Hz
};

// Reads the sample entry and the movie header of an MPEG-4 file: what any player reads first.
Mp4Audio readMp4(const QString &path)
{
    QFile file(path);
    Mp4Audio audio;
    if (!file.open(QIODevice::ReadOnly))
        return audio;
    const QByteArray data = file.readAll();
    const qsizetype entry = data.indexOf("mp4a");
    if (entry >= 0 && entry + 32 <= data.size()) {
        const auto *bytes = reinterpret_cast<const uchar *>(data.constData() + entry);
        audio.channels = qFromBigEndian<quint16>(bytes + 20);
        audio.sampleRate = qFromBigEndian<quint16>(bytes + 28);
        const qsizetype esds = data.indexOf("esds", entry);
        audio.aac = esds > entry;
        // The decoder-specific descriptor (tag 5) holds the AudioSpecificConfig: 5 bits of
        // object type, 4 of sample-rate index, 4 of channel configuration.
        for (qsizetype i = esds; audio.aac && i >= 0 && i + 6 < data.size() && i < esds + 200; ++i) {
            if (uchar(data[i]) != 0x05 || uchar(data[i - 1]) == 0x80)
                continue;
            qsizetype at = i + 1;
            while (at < data.size() && (uchar(data[at]) & 0x80))
                ++at;
            ++at; // the last length byte
            if (at + 1 >= data.size())
                break;
            const quint16 config = quint16(uchar(data[at]) << 8 | uchar(data[at + 1]));
            if ((config >> 11) != 2) // AAC LC
                continue;
            audio.configRateIndex = (config >> 7) & 0x0f;
            audio.configChannels = (config >> 3) & 0x0f;
            break;
        }
    }
    const qsizetype header = data.indexOf("mvhd");
    if (header >= 0 && header + 24 <= data.size()) {
        const auto *bytes = reinterpret_cast<const uchar *>(data.constData() + header + 4);
        if (bytes[0] == 0) { // version 0: 32-bit times
            const quint32 scale = qFromBigEndian<quint32>(bytes + 12);
            const quint32 length = qFromBigEndian<quint32>(bytes + 16);
            audio.duration = scale ? double(length) / scale : 0;
        }
    }
    return audio;
}

QStringList takes(const QString &folder)
{
    return QDir(folder).entryList({ QStringLiteral("scrivelbar-*.m4a") }, QDir::Files);
}

} // namespace

class MediaTest : public QObject
{
    Q_OBJECT

    PulseAudioServer m_pulse;
    QString m_pulseProblem;
    QTemporaryDir m_dir;
    QString m_tone;

    AudioRecorder::Options options(const QString &folder) const
    {
        AudioRecorder::Options options;
        options.tick = 20ms;
        options.folder = folder;
        return options;
    }

    void needPulse()
    {
        if (!m_pulseProblem.isEmpty())
            QFAIL(qPrintable(m_pulseProblem));
        if (!AudioRecorder::isAvailable())
            QFAIL("the AAC encoder or the MPEG-4 muxer is missing");
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        m_pulseProblem = m_pulse.start();
        m_tone = m_dir.filePath(QStringLiteral("tone.wav"));
        QVERIFY(PulseAudioServer::tone(m_tone, 6));
    }

    void recordsMonoAACOfTheRightLength()
    {
        needPulse();
        const QString folder = m_dir.filePath(QStringLiteral("take"));
        AudioRecorder recorder(options(folder));
        QSignalSpy statuses(&recorder, &AudioRecorder::statusChanged);
        QProcess *tone = PulseAudioServer::play(m_tone, this);
        recorder.start();
        QCOMPARE(statuses.first().first().value<AudioRecorder::Status>().kind, Kind::RequestingPermission);
        QCOMPARE(recorder.status().kind, Kind::Recording);
        QTRY_VERIFY_WITH_TIMEOUT(recorder.elapsed() >= 2.0, 10000);
        const auto take = recorder.stop();
        tone->kill();
        tone->waitForFinished();
        QVERIFY(take);
        QCOMPARE(recorder.status().kind, Kind::Idle);
        QVERIFY2(take->duration >= 2.0 && take->duration < 2.5, qPrintable(QString::number(take->duration)));
        QVERIFY(QFileInfo(take->file).fileName().contains(QRegularExpression(
            QStringLiteral("^scrivelbar-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.m4a$"))));
        const Mp4Audio audio = readMp4(take->file);
        QVERIFY(audio.aac);
        QCOMPARE(audio.channels, 1);
        QCOMPARE(audio.sampleRate, 44100);
        QCOMPARE(audio.configChannels, 1);
        QCOMPARE(audio.configRateIndex, 4);
        QVERIFY2(std::abs(audio.duration - take->duration) < 0.15, qPrintable(QString::number(audio.duration)));

        // Decoded back (the decoder may hand out stereo: its output format is its own): the
        // length holds and the tone is in it, not silence.
        QAudioDecoder decoder;
        decoder.setSource(QUrl::fromLocalFile(take->file));
        double sum = 0;
        qint64 frames = 0;
        int channels = 0, rate = 0;
        bool done = false;
        connect(&decoder, &QAudioDecoder::bufferReady, this, [&] {
            const QAudioBuffer buffer = decoder.read();
            channels = buffer.format().channelCount();
            rate = buffer.format().sampleRate();
            const QAudioFormat format = buffer.format();
            for (int i = 0; i < buffer.sampleCount(); ++i) {
                const double value = format.sampleFormat() == QAudioFormat::Float
                    ? double(buffer.constData<float>()[i])
                    : format.sampleFormat() == QAudioFormat::Int16 ? buffer.constData<qint16>()[i] / 32768.0
                                                                   : 0.0;
                sum += value * value;
            }
            frames += buffer.frameCount();
        });
        connect(&decoder, &QAudioDecoder::finished, this, [&] { done = true; });
        connect(&decoder, qOverload<QAudioDecoder::Error>(&QAudioDecoder::error), this, [&] { done = true; });
        decoder.start();
        QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
        QCOMPARE(decoder.error(), QAudioDecoder::NoError);
        QVERIFY(channels >= 1);
        QCOMPARE(rate, 44100);
        QVERIFY(std::abs(double(frames) / 44100 - take->duration) < 0.15);
        const double rms = std::sqrt(sum / std::max<qint64>(1, frames));
        QVERIFY2(rms > 0.05, qPrintable(QStringLiteral("rms %1").arg(rms)));

        // And the player reads the same length.
        AudioPlayer player;
        player.load(QUrl::fromLocalFile(take->file));
        QTRY_VERIFY_WITH_TIMEOUT(player.duration() > 0, 10000);
        QVERIFY(std::abs(player.duration() - take->duration) < 0.2);
        QVERIFY(player.problem().isEmpty());
    }

    void shortAndCancelledTakesLeaveNoFile_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("stopped after 0.1 s") << false;
        QTest::newRow("cancelled") << true;
    }
    void shortAndCancelledTakesLeaveNoFile()
    {
        QFETCH(bool, cancel);
        needPulse();
        const QString folder = m_dir.filePath(QStringLiteral("short-") + QString::number(cancel));
        AudioRecorder recorder(options(folder));
        recorder.start();
        QCOMPARE(recorder.status().kind, Kind::Recording);
        QCOMPARE(takes(folder).size(), 1);
        QTest::qWait(100);
        if (cancel)
            recorder.cancel();
        else
            QVERIFY(!recorder.stop());
        QCOMPARE(recorder.status().kind, Kind::Idle);
        QCOMPARE(takes(folder), QStringList());
    }

    void startWhileRecordingChangesNothing()
    {
        needPulse();
        const QString folder = m_dir.filePath(QStringLiteral("twice"));
        AudioRecorder recorder(options(folder));
        recorder.start();
        const QStringList first = takes(folder);
        QSignalSpy statuses(&recorder, &AudioRecorder::statusChanged);
        recorder.start();
        QCOMPARE(statuses.count(), 0);
        QCOMPARE(takes(folder), first);
        recorder.cancel();
    }

    void refusedPermissionMakesNoFile()
    {
        const QString folder = m_dir.filePath(QStringLiteral("denied"));
        AudioRecorder::Options refused = options(folder);
        refused.permission = [] { return false; };
        AudioRecorder recorder(refused);
        recorder.start();
        QCOMPARE(recorder.status().kind, Kind::Denied);
        QCOMPARE(takes(folder), QStringList());
        QVERIFY(!recorder.stop());
    }

    void stopWithoutRecordingAnswersNothing()
    {
        AudioRecorder recorder(options(m_dir.filePath(QStringLiteral("none"))));
        QVERIFY(!recorder.stop());
        recorder.cancel();
        QCOMPARE(recorder.status().kind, Kind::Idle);
    }

    void soundSettingsByDesktop_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("expected");
        QTest::newRow("GNOME") << "ubuntu:GNOME" << "gnome-control-center" << "gnome-control-center sound";
        QTest::newRow("KDE") << "KDE" << "systemsettings" << "systemsettings kcm_pulseaudio";
        QTest::newRow("GNOME without its settings") << "GNOME" << "" << "";
        QTest::newRow("unknown desktop") << "Openbox" << "gnome-control-center" << "";
    }
    void soundSettingsByDesktop()
    {
        QFETCH(QString, desktop);
        QFETCH(QString, program);
        QFETCH(QString, expected);
        const QString bin = m_dir.filePath(QStringLiteral("bin-") + QString::number(qHash(desktop + program)));
        QDir().mkpath(bin);
        if (!program.isEmpty()) {
            QFile file(QDir(bin).filePath(program));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n");
            file.close();
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        }
        const QByteArray oldPath = qgetenv("PATH"), oldDesktop = qgetenv("XDG_CURRENT_DESKTOP");
        qputenv("PATH", bin.toUtf8());
        qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
        const QString command = AudioRecorder::soundSettingsCommand().join(u' ');
        qputenv("PATH", oldPath);
        qputenv("XDG_CURRENT_DESKTOP", oldDesktop);
        QCOMPARE(command, expected);
    }

    // The player against a generated file of one second.
    void playerSeeks_data()
    {
        QTest::addColumn<double>("fraction");
        QTest::addColumn<double>("expected"); // as a fraction of the length
        QTest::newRow("middle") << 0.5 << 0.5;
        QTest::newRow("past the end lands at the end") << 1.5 << 1.0;
        QTest::newRow("before the start lands at 0") << -0.3 << 0.0;
    }
    void playerSeeks()
    {
        QFETCH(double, fraction);
        QFETCH(double, expected);
        const QString file = m_dir.filePath(QStringLiteral("one.wav"));
        if (!QFile::exists(file))
            QVERIFY(PulseAudioServer::tone(file, 1.0));
        AudioPlayer player;
        player.seek(0.5); // nothing loaded: nothing happens
        QCOMPARE(player.currentTime(), 0.0);
        player.load(QUrl::fromLocalFile(file));
        QTRY_VERIFY_WITH_TIMEOUT(player.duration() > 0, 10000);
        QVERIFY(std::abs(player.duration() - 1.0) < 0.05);
        player.seek(fraction);
        QCOMPARE(player.currentTime(), expected * player.duration());
        QCOMPARE(player.progress(), expected);
    }

    void playerPlaysToTheEndAndRewinds()
    {
        const QString file = m_dir.filePath(QStringLiteral("short.wav"));
        QVERIFY(PulseAudioServer::tone(file, 0.6));
        AudioPlayer player(nullptr, 20ms);
        QSignalSpy times(&player, &AudioPlayer::currentTimeChanged);
        player.load(QUrl::fromLocalFile(file));
        QTRY_VERIFY_WITH_TIMEOUT(player.duration() > 0, 10000);
        player.toggle();
        QVERIFY(player.isPlaying());
        // Loading the same file again does not interrupt playback.
        player.load(QUrl::fromLocalFile(file));
        QVERIFY(player.isPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 10000);
        QCOMPARE(player.currentTime(), 0.0);
        QVERIFY2(times.count() >= 2, "the clock followed the player while it played");
        // Pause keeps the position; stop rewinds.
        player.toggle();
        QTRY_VERIFY_WITH_TIMEOUT(player.currentTime() > 0.1, 10000);
        player.toggle();
        QVERIFY(!player.isPlaying());
        const double paused = player.currentTime();
        QVERIFY(paused > 0);
        player.stop();
        QCOMPARE(player.currentTime(), 0.0);
    }

    void playerProblem_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("not audio") << QByteArray("this is not a recording at all, just text");
    }
    void playerProblem()
    {
        QFETCH(QByteArray, content);
        const QString file = m_dir.filePath(QStringLiteral("bad-%1.m4a").arg(content.size()));
        if (!content.isEmpty()) {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(content);
        }
        AudioPlayer player;
        player.load(QUrl::fromLocalFile(file));
        QTRY_VERIFY_WITH_TIMEOUT(!player.problem().isEmpty(), 10000);
        player.toggle();
        QVERIFY(!player.isPlaying());
    }
};

QTEST_MAIN(MediaTest)
#include "tst_media.moc"
