#pragma once

#include "ai/local/Recognizers.h"

#include <QMutex>
#include <QString>

#include <memory>

namespace tesseract {
class TessBaseAPI;
}

/// Text in images with tesseract (the module's implementation of `TextRecognizer`).
class TesseractRecognizer final : public Recognizers::TextRecognizer
{
public:
    /// `dataPath` is the "tessdata" folder.
    explicit TesseractRecognizer(QString dataPath);
    ~TesseractRecognizer() override;
    TesseractRecognizer(const TesseractRecognizer &) = delete;
    TesseractRecognizer &operator=(const TesseractRecognizer &) = delete;

    Recognizers::TextOutcome recognize(const QString &imagePath,
                                       const QStringList &languages) override;
    int starts() const override;

    /// Largest image side fed to the engine; bigger images are scaled down while decoding.
    static constexpr int maxSide = 6000;

private:
    bool ensureStarted(const QString &languages);

    QString m_dataPath;
    mutable QMutex m_lock;
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    QString m_started;
    int m_starts = 0;
};
