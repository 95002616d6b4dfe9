#include "ai/local/recognizers/TesseractRecognizer.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <tesseract/baseapi.h>

#include <omp.h>

namespace {

using Kind = Recognizers::TextOutcome::Kind;

// Below 70 dpi tesseract assumes a fax; screenshots and photos without a resolution read
// best with a typical screen value.
int resolutionOf(const QImage &image)
{
    const double dpi = image.dotsPerMeterX() * 0.0254;
    if (dpi >= 70 && dpi <= 2400)
        return int(dpi);
    return 96;
}

QImage greyOnWhite(QImage image)
{
    // Transparent pixels would turn black when the alpha is dropped, hiding dark text.
    if (image.hasAlphaChannel()) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
        painter.end();
        image = flat;
    }
    return image.convertToFormat(QImage::Format_Grayscale8);
}

} // namespace

TesseractRecognizer::TesseractRecognizer(QString dataPath)
    : m_dataPath(std::move(dataPath))
{
}

TesseractRecognizer::~TesseractRecognizer()
{
    if (m_api)
        m_api->End();
}

int TesseractRecognizer::starts() const
{
    const QMutexLocker locker(&m_lock);
    return m_starts;
}

bool TesseractRecognizer::ensureStarted(const QString &languages)
{
    if (m_api && m_started == languages)
        return true;
    if (m_api)
        m_api->End();
    m_api = std::make_unique<tesseract::TessBaseAPI>();
    m_started.clear();
    ++m_starts;
    const QByteArray path = QFile::encodeName(m_dataPath);
    const QByteArray codes = languages.toLatin1();
    if (m_api->Init(path.constData(), codes.constData(), tesseract::OEM_LSTM_ONLY) != 0) {
        m_api.reset();
        return false;
    }
    // Quiet: the engine's own complaints ("Estimating resolution…") go nowhere useful.
    m_api->SetVariable("debug_file", "/dev/null");
    m_api->SetPageSegMode(tesseract::PSM_AUTO);
    m_started = languages;
    return true;
}

Recognizers::TextOutcome TesseractRecognizer::recognize(const QString &imagePath,
                                                        const QStringList &languages)
{
    QImageReader reader(imagePath);
    // Photos from phones are stored sideways with an EXIF orientation.
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > maxSide || size.height() > maxSide))
        reader.setScaledSize(size.scaled(maxSide, maxSide, Qt::KeepAspectRatio));
    const QImage decoded = reader.read();
    if (decoded.isNull())
        return { Kind::Unreadable, {} };
    const QImage grey = greyOnWhite(decoded);

    const QMutexLocker locker(&m_lock);
    // tesseract asks OpenMP for four threads, which spin while they wait for each other: on
    // two busy cores a page then takes ten times as long as on one thread (measured with the
    // benchmark). With dynamic threads OpenMP gives only as many as the load leaves free.
    omp_set_dynamic(1);
    if (languages.isEmpty() || !ensureStarted(languages.join(u'+')))
        return { Kind::NoEngine, {} };
    m_api->SetImage(grey.constBits(), grey.width(), grey.height(), 1, int(grey.bytesPerLine()));
    m_api->SetSourceResolution(resolutionOf(decoded));
    std::unique_ptr<char[]> raw(m_api->GetUTF8Text());
    m_api->Clear();
    QStringList lines;
    if (raw) {
        for (const QString &line : QString::fromUtf8(raw.get()).split(u'\n')) {
            const QString trimmed = line.trimmed();
            if (!trimmed.isEmpty())
                lines.append(trimmed);
        }
    }
    if (lines.isEmpty())
        return { Kind::NoText, {} };
    return { Kind::Text, lines.join(u'\n') };
}
