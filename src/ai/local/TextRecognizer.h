#pragma once

#include <QList>
#include <QLocale>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>

namespace tesseract {
class TessBaseAPI;
}

/// Text in images with tesseract. One engine is started on first use and kept: starting it
/// costs more than most recognitions. `recognize` blocks and is meant for a worker thread;
/// calls are serialized, the engine is not reentrant. It says nothing to people itself (the
/// message tables belong to the main thread): its outcome is a code the caller words.
class TextRecognizer
{
public:
    struct Outcome
    {
        enum class Kind {
            Text, ///< `text` holds the recognized lines
            NoText, ///< the image has no text the engine can read
            Unreadable, ///< the file is no image the decoders read
            NoEngine, ///< no language data could be loaded
        };
        Kind kind = Kind::NoText;
        QString text;
    };

    /// `dataPath` is the "tessdata" folder; empty → $TESSDATA_PREFIX, else Debian's folder.
    explicit TextRecognizer(QString dataPath = {});
    ~TextRecognizer();
    TextRecognizer(const TextRecognizer &) = delete;
    TextRecognizer &operator=(const TextRecognizer &) = delete;

    /// The recognized lines in reading order, each trimmed, blank ones dropped, joined with
    /// "\n". `languages` are tesseract codes, the preferred first ("spa", "eng").
    Outcome recognize(const QString &imagePath, const QStringList &languages);

    /// The tesseract codes for `locales` (the speech and interface languages), preferred
    /// first, then the other languages the app knows ("eng", "spa", "por"); only installed ones.
    QStringList languagesFor(const QList<QLocale> &locales) const;
    /// Languages with data installed, of those the app knows.
    QStringList installedLanguages() const;
    /// How many times the engine has been started (it is reused while the languages stay).
    int starts() const;

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
