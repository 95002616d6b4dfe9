// The on-device engine with its real parts: tesseract on images the test draws, GStreamer's
// decoder on recordings in several containers, and pocketsphinx on recorded human speech
// (the LibriVox sentences pocketsphinx-testdata ships, with their transcripts).
#include "MemoryLoginItem.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "ai/AIService.h"
#include "ai/local/AudioDecoder.h"
#include "ai/local/LocalEngine.h"
#include "ai/local/RecognizerModule.h"
#include "base/Localization.h"
#include "settings/AppSettings.h"

#include <QCoroTask>
#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <cmath>

using TestSupport::HttpRequest;
using TestSupport::HttpResponse;
using TestSupport::TestHttpServer;

namespace {

const QString kLibriVox = QStringLiteral("/usr/share/pocketsphinx/test/data/librivox/");

QImage drawText(const QStringList &lines, int pixelSize, QImage::Format format = QImage::Format_RGB32)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    const QFontMetrics metrics(font);
    int width = 0;
    for (const QString &line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    QImage image(width + 2 * pixelSize, int(lines.size()) * metrics.lineSpacing() + 2 * pixelSize, format);
    image.fill(format == QImage::Format_ARGB32 ? Qt::transparent : Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    int y = pixelSize + metrics.ascent();
    for (const QString &line : lines) {
        painter.drawText(pixelSize, y, line);
        y += metrics.lineSpacing();
    }
    return image;
}

// The words of `text` in lower case, without punctuation.
QStringList words(const QString &text)
{
    QString plain;
    for (const QChar c : text.toLower())
        plain.append(c.isLetterOrNumber() || c == u'\'' ? c : u' ');
    return plain.split(u' ', Qt::SkipEmptyParts);
}

// The share of the reference's words that the hypothesis has, in order (longest common
// subsequence): the word accuracy people mean by "most words right".
double wordsRight(const QString &hypothesis, const QString &reference)
{
    const QStringList h = words(hypothesis);
    const QStringList r = words(reference);
    QList<QList<int>> table(h.size() + 1, QList<int>(r.size() + 1, 0));
    for (qsizetype i = 1; i <= h.size(); ++i)
        for (qsizetype j = 1; j <= r.size(); ++j)
            table[i][j] = h[i - 1] == r[j - 1] ? table[i - 1][j - 1] + 1
                                               : std::max(table[i - 1][j], table[i][j - 1]);
    return r.isEmpty() ? 0 : double(table[h.size()][r.size()]) / double(r.size());
}

QString transcriptOf(const QString &id)
{
    const QString all = QString::fromUtf8(TestSupport::readFile(kLibriVox + QStringLiteral("transcription")));
    for (const QString &line : all.split(u'\n'))
        if (line.contains(u'(' + id + u')'))
            return QString(line).remove(QStringLiteral("<s>")).remove(QStringLiteral("</s>")).section(u'(', 0, 0).trimmed();
    return {};
}

// A WAV file of `seconds` of `channels` channels at `rate`, each sample from `sample(t)`.
QByteArray makeWav(int rate, int channels, double seconds, const std::function<double(double)> &sample)
{
    const auto frames = qsizetype(rate * seconds);
    QByteArray pcm(frames * channels * 2, Qt::Uninitialized);
    auto *out = reinterpret_cast<qint16 *>(pcm.data());
    for (qsizetype i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[i * channels + c] = qint16(std::lround(32767 * sample(double(i) / rate)));
    QByteArray file = AudioDecoder::wav(QByteArray()); // 16 kHz mono header, patched below
    file.append(pcm);
    qToLittleEndian<quint32>(quint32(36 + pcm.size()), file.data() + 4);
    qToLittleEndian<quint16>(quint16(channels), file.data() + 22);
    qToLittleEndian<quint32>(quint32(rate), file.data() + 24);
    qToLittleEndian<quint32>(quint32(rate * channels * 2), file.data() + 28);
    qToLittleEndian<quint16>(quint16(channels * 2), file.data() + 32);
    qToLittleEndian<quint32>(quint32(pcm.size()), file.data() + 40);
    return file;
}

// `jpeg` with an EXIF block whose only entry is the orientation (6: turn 90° clockwise to
// show, 3: turn 180°), as cameras write it.
QByteArray withOrientation(const QByteArray &jpeg, quint16 orientation)
{
    QByteArray tiff("II*\0", 4);
    tiff.append(QByteArray::fromHex("08000000")); // first directory at offset 8
    tiff.append(QByteArray::fromHex("0100")); // one entry
    tiff.append(QByteArray::fromHex("1201")); // tag 0x0112, orientation
    tiff.append(QByteArray::fromHex("0300")); // SHORT
    tiff.append(QByteArray::fromHex("01000000")); // one value
    tiff.append(char(orientation & 0xff));
    tiff.append(char(orientation >> 8));
    tiff.append(QByteArray(2, '\0'));
    tiff.append(QByteArray(4, '\0')); // no next directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment = QByteArray::fromHex("ffe1");
    const int length = int(payload.size()) + 2;
    segment.append(char(length >> 8));
    segment.append(char(length & 0xff));
    segment.append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2); // right after the start-of-image marker
}

// Encodes `wav` with a GStreamer pipeline, as a recording of the app would be stored.
bool encode(const QString &wav, const QString &target)
{
    const QString encoder = target.endsWith(QLatin1String(".m4a"))
        ? QStringLiteral("avenc_aac ! mp4mux")
        : QStringLiteral("vorbisenc ! oggmux");
    QProcess gst;
    gst.start(QStringLiteral("gst-launch-1.0"),
              QStringList { QStringLiteral("-q"), QStringLiteral("filesrc"), QStringLiteral("location=") + wav,
                            QStringLiteral("!"), QStringLiteral("wavparse"), QStringLiteral("!"),
                            QStringLiteral("audioconvert"), QStringLiteral("!"), QStringLiteral("audioresample"),
                            QStringLiteral("!"), QStringLiteral("audio/x-raw,rate=44100,channels=2"),
                            QStringLiteral("!") }
                  + encoder.split(u' ')
                  + QStringList { QStringLiteral("!"), QStringLiteral("filesink"), QStringLiteral("location=") + target });
    return gst.waitForFinished(60000) && gst.exitStatus() == QProcess::NormalExit && gst.exitCode() == 0
        && QFileInfo(target).size() > 0;
}

} // namespace

class TestLocalEngine : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::TempFolders> m_folders;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<LocalEngine> m_engine;

    QString path(const QString &name) const { return m_folders->path(name); }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::initTestEnvironment();
        if (!QFileInfo::exists(kLibriVox))
            QFAIL("pocketsphinx-testdata is not installed (scripts/setup)");
    }

    void init()
    {
        Localization::setLanguage(AppLanguage::En);
        m_folders = std::make_unique<TestSupport::TempFolders>();
        QDir().mkpath(m_folders->root());
        m_settings = std::make_unique<AppSettings>(path(QStringLiteral("settings.ini")),
                                                   std::make_unique<MemoryLoginItem>());
        // No speech server: the classic recognizer answers unless a test starts one.
        m_settings->setLocalSpeechURL(TestSupport::unusedAddress());
        m_settings->setLocalModelURL(TestSupport::unusedAddress());
        m_settings->setSpeechLanguage(AppLanguage::En);
        LocalEngine::Options options;
        options.probeAtStart = false;
        m_engine = std::make_unique<LocalEngine>(m_settings.get(), options);
    }

    void cleanup()
    {
        m_engine.reset();
        m_settings.reset();
        m_folders.reset();
        Localization::setLanguage(AppLanguage::En);
    }

    // ---- text in images ----

    void textInImages_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<int>("rotation"); // stored turned by this much, with an EXIF orientation
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<AppLanguage>("interface");
        const QStringList english { QStringLiteral("Buy milk and bread"), QStringLiteral("Call the dentist on Monday") };
        QTest::newRow("small text") << english << 14 << 0 << false << AppLanguage::En;
        QTest::newRow("body text") << english << 24 << 0 << false << AppLanguage::En;
        QTest::newRow("large text") << english << 48 << 0 << false << AppLanguage::En;
        QTest::newRow("photo stored sideways") << english << 28 << 90 << false << AppLanguage::En;
        QTest::newRow("photo stored upside down") << english << 28 << 180 << false << AppLanguage::En;
        QTest::newRow("dark text on transparency") << english << 24 << 0 << true << AppLanguage::En;
        QTest::newRow("Spanish accents")
            << QStringList { QStringLiteral("Mañana comeré piña con azúcar"), QStringLiteral("El niño está en la montaña") }
            << 28 << 0 << false << AppLanguage::Es;
        QTest::newRow("Portuguese accents")
            << QStringList { QStringLiteral("Não esqueça a reunião às três"), QStringLiteral("Ação e coração") }
            << 28 << 0 << false << AppLanguage::Pt;
    }

    void textInImages()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, pixelSize);
        QFETCH(int, rotation);
        QFETCH(bool, transparent);
        QFETCH(AppLanguage, interface);
        Localization::setLanguage(interface);
        QImage image = drawText(lines, pixelSize, transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        QString file = path(QStringLiteral("image.png"));
        if (rotation != 0) {
            // The camera stores the sensor's picture as it lay and says in EXIF how to turn it.
            const QImageIOHandler::Transformation turn = rotation == 90
                ? QImageIOHandler::TransformationRotate90
                : QImageIOHandler::TransformationRotate180;
            image = image.transformed(QTransform().rotate(-rotation));
            file = path(QStringLiteral("photo.jpg"));
            QByteArray jpeg;
            QBuffer buffer(&jpeg);
            buffer.open(QIODevice::WriteOnly);
            QVERIFY(image.save(&buffer, "JPEG", 95));
            QVERIFY(TestSupport::writeFile(file, withOrientation(jpeg, rotation == 90 ? 6 : 3)));
            QImageReader check(file);
            QCOMPARE(check.transformation(), turn);
        } else {
            QVERIFY(image.save(file));
        }
        const auto text = QCoro::waitFor(m_engine->recognizeText(file));
        QVERIFY2(text, qPrintable(text ? QString() : text.error().description()));
        QCOMPARE(text->split(u'\n').size(), lines.size());
        QCOMPARE(words(*text), words(lines.join(u' ')));
    }

    void imagesWithoutText_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("key");
        QTest::newRow("blank page") << "blank" << "ai.error.noText";
        QTest::newRow("only a frame") << "frame" << "ai.error.noText";
        QTest::newRow("not an image") << "garbage" << "ai.error.imageUnreadable";
        QTest::newRow("empty file") << "empty" << "ai.error.imageUnreadable";
    }

    void imagesWithoutText()
    {
        QFETCH(QString, kind);
        QFETCH(QString, key);
        const QString file = path(QStringLiteral("picture.png"));
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(Qt::white);
        if (kind == u"frame") {
            QPainter painter(&image);
            painter.setPen(QPen(Qt::lightGray, 2));
            painter.drawRect(20, 20, 360, 260);
        }
        if (kind == u"garbage")
            QVERIFY(TestSupport::writeFile(file, QByteArray(4096, '\x5a')));
        else if (kind == u"empty")
            QVERIFY(TestSupport::writeFile(file, QByteArray()));
        else
            QVERIFY(image.save(file));
        const auto text = QCoro::waitFor(m_engine->recognizeText(file));
        QVERIFY(!text);
        QCOMPARE(text.error().description(), L(key.toLatin1().constData()));
    }

    void oneTextEngineIsReused()
    {
        const QString file = path(QStringLiteral("note.png"));
        QVERIFY(drawText({ QStringLiteral("Reuse the engine") }, 24).save(file));
        for (int i = 0; i < 3; ++i)
            QVERIFY(QCoro::waitFor(m_engine->recognizeText(file)));
        QCOMPARE(m_engine->textEngineStarts(), 1);
        // The preferred language leads: Spanish first once the interface is Spanish.
        QCOMPARE(m_engine->textLanguagesFor({ QLocale(QStringLiteral("es")) }).first(),
                 QStringLiteral("spa"));
        QCOMPARE(
            m_engine->textLanguagesFor({ QLocale(QStringLiteral("de")) }),
            (QStringList { QStringLiteral("eng"), QStringLiteral("spa"), QStringLiteral("por") }));
    }

    // ---- decoding ----

    void decoding_data()
    {
        QTest::addColumn<QString>("container");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::newRow("wav 44.1 kHz stereo") << "wav" << 44100 << 2;
        QTest::newRow("wav 48 kHz mono") << "wav" << 48000 << 1;
        QTest::newRow("wav 8 kHz mono") << "wav" << 8000 << 1;
        QTest::newRow("m4a (AAC)") << "m4a" << 44100 << 2;
        QTest::newRow("ogg (Vorbis)") << "ogg" << 44100 << 2;
    }

    void decoding()
    {
        QFETCH(QString, container);
        QFETCH(int, rate);
        QFETCH(int, channels);
        const double seconds = 2.0;
        const QString wav = path(QStringLiteral("tone.wav"));
        QVERIFY(TestSupport::writeFile(wav, makeWav(rate, channels, seconds, [](double t) {
            return 0.5 * std::sin(2 * M_PI * 300 * t);
        })));
        QString file = wav;
        if (container != u"wav") {
            file = path(QStringLiteral("tone.") + container);
            QVERIFY(encode(wav, file));
        }
        const auto audio = QCoro::waitFor(AudioDecoder::decode(file));
        QCOMPARE(audio.kind, AudioDecoder::Outcome::Kind::Pcm);
        // Encoders pad a little at either end.
        QVERIFY2(std::abs(audio.seconds() - seconds) < 0.15, qPrintable(QString::number(audio.seconds())));
        // A 0.5 full-scale sine has an RMS of about 0.35, whatever the rate and channels.
        QVERIFY2(std::abs(AudioDecoder::loudestStretch(audio.pcm) - 0.354) < 0.06,
                 qPrintable(QString::number(AudioDecoder::loudestStretch(audio.pcm))));
    }

    void undecodableAudio()
    {
        const QString file = path(QStringLiteral("broken.m4a"));
        QVERIFY(TestSupport::writeFile(file, QByteArray("ftypM4A not really audio") + QByteArray(2000, '\x01')));
        const auto text = QCoro::waitFor(m_engine->transcribe(file, QLocale(QStringLiteral("en_US"))));
        QVERIFY(!text);
        QVERIFY2(text.error().description().startsWith(L("ai.error.audioUnreadable", QString()).trimmed()),
                 qPrintable(text.error().description()));
    }

    // ---- speech ----

    void recordedSpeech_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("container");
        QTest::newRow("wav as shipped") << "sense_and_sensibility_01_austen_64kb-0880" << "wav";
        QTest::newRow("recording stored as m4a") << "sense_and_sensibility_01_austen_64kb-0930" << "m4a";
        QTest::newRow("long sentence, m4a") << "sense_and_sensibility_01_austen_64kb-0870" << "m4a";
    }

    void recordedSpeech()
    {
        QFETCH(QString, id);
        QFETCH(QString, container);
        QString file = kLibriVox + id + QStringLiteral(".wav");
        if (container == u"m4a") {
            const QString m4a = path(QStringLiteral("scrivelbar-recording.m4a"));
            QVERIFY(encode(file, m4a));
            file = m4a;
        }
        const QString reference = transcriptOf(id);
        QVERIFY(!reference.isEmpty());
        // The main thread keeps turning while the recognizer works.
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(10);
        const auto text = QCoro::waitFor(m_engine->transcribe(file, QLocale(QStringLiteral("en_US"))));
        ticker.stop();
        QVERIFY2(text, qPrintable(text ? QString() : text.error().description()));
        const double right = wordsRight(*text, reference);
        qInfo("%s: %.0f%% of the words right: \"%s\"", qPrintable(id), right * 100, qPrintable(*text));
        QVERIFY2(right >= 0.6, qPrintable(*text));
        QVERIFY(ticks > 5);
    }

    void silence_data()
    {
        QTest::addColumn<double>("level"); // of white noise, full scale = 1
        QTest::newRow("digital silence") << 0.0;
        QTest::newRow("a quiet room") << 0.001;
    }

    void silence()
    {
        QFETCH(double, level);
        const QString wav = path(QStringLiteral("quiet.wav"));
        QVERIFY(TestSupport::writeFile(wav, makeWav(44100, 2, 3.0, [level](double) {
            return level * (2.0 * QRandomGenerator::global()->generateDouble() - 1.0);
        })));
        const QString m4a = path(QStringLiteral("quiet.m4a"));
        QVERIFY(encode(wav, m4a));
        TestHttpServer server; // a speech server would make words up too; it is not asked
        QVERIFY(server.listen());
        m_settings->setLocalSpeechURL(server.url());
        const auto text = QCoro::waitFor(m_engine->transcribe(m4a, QLocale(QStringLiteral("en_US"))));
        QVERIFY(!text);
        QCOMPARE(text.error().description(), L("ai.error.noSpeech"));
        QVERIFY(server.requests().isEmpty());
    }

    void languagesWithoutAModel_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<AppLanguage>("interface");
        QTest::addColumn<QString>("name");
        QTest::newRow("Spanish, English interface") << "es" << AppLanguage::En << "Spanish";
        QTest::newRow("Spanish, Portuguese interface") << "es" << AppLanguage::Pt << "espanhol";
        QTest::newRow("Brazilian Portuguese, Spanish interface") << "pt_BR" << AppLanguage::Es << "portugués";
        QTest::newRow("German has no name here") << "de_DE" << AppLanguage::En << "de_DE";
    }

    void languagesWithoutAModel()
    {
        QFETCH(QString, locale);
        QFETCH(AppLanguage, interface);
        QFETCH(QString, name);
        Localization::setLanguage(interface);
        const QString file = kLibriVox + QStringLiteral("sense_and_sensibility_01_austen_64kb-0880.wav");
        const auto text = QCoro::waitFor(m_engine->transcribe(file, QLocale(locale)));
        QVERIFY(!text);
        QCOMPARE(text.error().description(), L("ai.error.speechLanguage", name));
    }

    // The newer recognizer: a speech server here gets the decoded recording and its answer
    // is the transcript; pocketsphinx is not needed, so Spanish works too.
    void speechServerIsPreferred()
    {
        TestHttpServer server;
        QVERIFY(server.listen());
        server.setHandler([](const HttpRequest &) {
            return HttpResponse::json({ { QStringLiteral("text"), QStringLiteral(" Hola, ¿qué tal? ") } });
        });
        m_settings->setLocalSpeechURL(server.url());
        const QString m4a = path(QStringLiteral("speech.m4a"));
        QVERIFY(encode(kLibriVox + QStringLiteral("sense_and_sensibility_01_austen_64kb-0880.wav"), m4a));
        const auto text = QCoro::waitFor(m_engine->transcribe(m4a, QLocale(QStringLiteral("es_ES"))));
        QVERIFY2(text, qPrintable(text ? QString() : text.error().description()));
        QCOMPARE(*text, QStringLiteral("Hola, ¿qué tal?"));
        QCOMPARE(server.requests().size(), 1);
        const QByteArray body = server.requests().first().body;
        const qsizetype riff = body.indexOf("RIFF");
        QVERIFY(riff > 0);
        QCOMPARE(qFromLittleEndian<quint16>(body.constData() + riff + 22), quint16(1));
        QCOMPARE(qFromLittleEndian<quint32>(body.constData() + riff + 24), quint32(16000));
        const double seconds = qFromLittleEndian<quint32>(body.constData() + riff + 40) / 32000.0;
        QVERIFY2(std::abs(seconds - 2.9) < 0.3, qPrintable(QString::number(seconds)));
        QVERIFY(m_engine->speechServerAnswers());
        QCOMPARE(m_engine->engineFor(LocalAI::Job::Speech), L("ai.local.engine.speechServer", server.url()));
    }

    // ---- through the service and the tool ----

    void serviceRunsTheRealEngine()
    {
        AIService::Options options;
        options.local = m_engine.get();
        AIService service(m_settings.get(), nullptr, options);
        const QString file = path(QStringLiteral("receipt.png"));
        QVERIFY(drawText({ QStringLiteral("Total 42 euros") }, 30).save(file));
        QSignalSpy finished(&service, &AIService::jobFinished);
        service.runOnFile(AIService::Action::Kind::ExtractText, file);
        QVERIFY(finished.wait(30000));
        QVERIFY(service.result());
        QCOMPARE(service.result()->text, QStringLiteral("Total 42 euros"));
        QCOMPARE(service.result()->source, L("ai.source.local"));
        QVERIFY(service.localEngineFor(AIService::Action::Kind::ExtractText).contains(QStringLiteral("tesseract")));
        QCOMPARE(service.localSummaryUnavailableReason(), std::optional(L("ai.local.summary.checking")));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // words expected on standard output or error
        QTest::newRow("ocr") << QStringList { QStringLiteral("ocr"), QStringLiteral("@image") } << 0
                             << "Scrivel reads this";
        QTest::newRow("transcribe wav") << QStringList { QStringLiteral("transcribe"), QStringLiteral("@speech"),
                                                         QStringLiteral("--engine"), QStringLiteral("local"),
                                                         QStringLiteral("--locale"), QStringLiteral("en") }
                                        << 0 << "he might even have been made";
        QTest::newRow("transcribe Spanish") << QStringList { QStringLiteral("transcribe"), QStringLiteral("@speech"),
                                                             QStringLiteral("--engine"), QStringLiteral("local"),
                                                             QStringLiteral("--locale"), QStringLiteral("es") }
                                            << 8 << "Spanish";
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        const QString image = path(QStringLiteral("cli.png"));
        QVERIFY(drawText({ QStringLiteral("Scrivel reads this") }, 30).save(image));
        for (QString &argument : arguments) {
            if (argument == u"@image")
                argument = image;
            else if (argument == u"@speech")
                argument = kLibriVox + QStringLiteral("sense_and_sensibility_01_austen_64kb-0930.wav");
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("home/.config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("home/.local/share")));
        environment.insert(QStringLiteral("SCRIVEL_LOCAL_SPEECH_URL"), TestSupport::unusedAddress());
        environment.insert(QStringLiteral("SCRIVEL_LOCAL_LLM_URL"), TestSupport::unusedAddress());
        // The tool finds the recognizers beside itself, as in the build it is run from.
        environment.remove(QString::fromLatin1(RecognizerModule::folderVariable));
        QProcess tool;
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(SCRIVEL_CLI_PATH), QStringList { QStringLiteral("ai") } + arguments);
        QVERIFY(tool.waitForFinished(120000));
        const QString out = QString::fromUtf8(tool.readAllStandardOutput());
        const QString err = QString::fromUtf8(tool.readAllStandardError());
        QVERIFY2(tool.exitCode() == exitCode, qPrintable(out + err));
        QVERIFY2((out + err).contains(output), qPrintable(out + err));
    }
};

QTEST_MAIN(TestLocalEngine)
#include "tst_localengine.moc"
