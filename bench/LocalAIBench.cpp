#include "LocalAIBench.h"

#include "ai/local/LocalEngine.h"
#include "settings/AppSettings.h"

#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

namespace {

const QString kLibriVox = QStringLiteral("/usr/share/pocketsphinx/test/data/librivox/");

double ms(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// The longest time between two ticks of a fast main-thread timer, less its interval: how
// long the event loop (and with it the panel) stood still.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setInterval(kIntervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_worst = std::max(m_worst, ms(m_since) - kIntervalMs);
            m_since.restart();
        });
    }
    void start()
    {
        m_since.start();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double worstMs() const { return std::max(0.0, m_worst); }

private:
    static constexpr int kIntervalMs = 5;
    QTimer m_timer;
    QElapsedTimer m_since;
    double m_worst = 0;
};

QString closedAddress()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

// A page of a typical screenshot: eight lines of 18-pixel text.
QImage page()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(18);
    const QFontMetrics metrics(font);
    QImage image(900, 40 + 8 * metrics.lineSpacing(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int line = 0; line < 8; ++line)
        painter.drawText(20, 20 + metrics.ascent() + line * metrics.lineSpacing(),
                         QStringLiteral("Line %1: meeting notes about the garden, coffee and the client report")
                             .arg(line + 1));
    return image;
}

} // namespace

QJsonObject runLocalAIBench()
{
    QJsonObject result;
    QTemporaryDir dir;
    AppSettings settings(dir.filePath(QStringLiteral("settings.ini")));
    // No local servers: the figures are those of the engines on this machine.
    settings.setLocalSpeechURL(closedAddress());
    settings.setLocalModelURL(closedAddress());
    settings.setSpeechLanguage(AppLanguage::En);
    LocalEngine::Options options;
    options.probeAtStart = false;
    LocalEngine engine(&settings, options);
    StallMeter stall;
    stall.start();

    const QString image = dir.filePath(QStringLiteral("page.png"));
    page().save(image);
    QElapsedTimer timer;
    timer.start();
    const auto first = QCoro::waitFor(engine.recognizeText(image));
    result.insert(QStringLiteral("ocr_first_ms"), ms(timer));
    constexpr int runs = 3;
    timer.restart();
    bool ocrOk = bool(first);
    for (int i = 0; i < runs; ++i)
        ocrOk = bool(QCoro::waitFor(engine.recognizeText(image))) && ocrOk;
    result.insert(QStringLiteral("ocr_ms"), ms(timer) / runs);
    result.insert(QStringLiteral("ocr_ok"), ocrOk);
    result.insert(QStringLiteral("ocr_image_px"), QStringLiteral("900x%1").arg(page().height()));

    double audioSeconds = 0;
    double transcribeMs = 0;
    int recordings = 0;
    bool speechOk = true;
    for (const QFileInfo &wav : QDir(kLibriVox).entryInfoList({ QStringLiteral("*.wav") }, QDir::Files)) {
        // 16 kHz mono 16-bit after a 44-byte header.
        audioSeconds += double(wav.size() - 44) / 32000.0;
        timer.restart();
        speechOk = bool(QCoro::waitFor(engine.transcribe(wav.absoluteFilePath(), QLocale(QLocale::English))))
            && speechOk;
        transcribeMs += ms(timer);
        ++recordings;
    }
    stall.stop();
    if (recordings > 0 && audioSeconds > 0) {
        result.insert(QStringLiteral("transcribe_ms_per_audio_s"), transcribeMs / audioSeconds);
        result.insert(QStringLiteral("transcribe_audio_s"), audioSeconds);
        result.insert(QStringLiteral("transcribe_ok"), speechOk);
    } else {
        result.insert(QStringLiteral("transcribe_skipped"),
                      QStringLiteral("pocketsphinx-testdata is not installed"));
    }
    result.insert(QStringLiteral("main_thread_stall_ms"), stall.worstMs());
    return result;
}
