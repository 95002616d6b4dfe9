#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

/// What the core and the recognizer module share, and nothing else: the module
/// (scrivelbar-recognizers.so, built from ai/local/recognizers/) holds the code that calls
/// tesseract and pocketsphinx, and the core loads it when a job first needs a recognizer
/// (RecognizerModule), so the app starts without those libraries and their dependencies.
///
/// The seam is one factory function with C linkage, not a Qt plugin: the module is private to
/// this program and built with it by the same compiler against the same Qt, so the plugin
/// metadata and its compatibility checks would add a moc step and a QObject without guarding
/// anything that the version in the function's name does not.
namespace Recognizers {

/// What a recognition of text in an image came to. The recognizers say nothing to people
/// themselves (the message tables belong to the main thread): the caller words the outcome.
struct TextOutcome
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

/// Text in images. One engine is started on first use and kept: starting it costs more than
/// most recognitions. `recognize` blocks and is meant for a worker thread; calls are
/// serialized, the engine is not reentrant.
class TextRecognizer
{
public:
    virtual ~TextRecognizer() = default;
    /// The recognized lines in reading order, each trimmed, blank ones dropped, joined with
    /// "\n". `languages` are tesseract codes, the preferred first ("spa+eng" is started from
    /// { "spa", "eng" }); none → `NoEngine`.
    virtual TextOutcome recognize(const QString &imagePath, const QStringList &languages) = 0;
    /// How many times the engine has been started (it is reused while the languages stay).
    virtual int starts() const = 0;
};

/// What a transcription by the classic recognizer came to.
struct SpeechOutcome
{
    enum class Kind {
        Text, ///< `text` holds the words
        NoSpeech, ///< nothing was recognized
        NoModel, ///< the model files are missing or the decoder would not start
    };
    Kind kind = Kind::NoSpeech;
    QString text;
};

/// The classic speech recognizer (US English). One decoder is started on first use and kept.
/// `recognize` blocks and is meant for a worker thread; calls are serialized.
class SpeechRecognizer
{
public:
    virtual ~SpeechRecognizer() = default;
    /// The words in 16 kHz mono signed 16-bit PCM (`pcm`), utterance by utterance joined
    /// with spaces.
    virtual SpeechOutcome recognize(const QByteArray &pcm) = 0;
};

/// Where the recognizers find their data.
struct Paths
{
    QString tessdata; ///< the "tessdata" folder (never empty: the core resolves the default)
    QString sphinxModels; ///< holds "en-us/…"; empty → where pocketsphinx-en-us installs it
};

/// One engine's recognizers, made together and freed together.
class Engines
{
public:
    virtual ~Engines() = default;
    virtual TextRecognizer &text() = 0;
    virtual SpeechRecognizer &speech() = 0;
};

/// The module's one export: `Engines *scrivel_create_recognizers_v1(const Paths &)`, owned
/// by the caller. The number changes with any declaration above, so a module built from
/// other sources lacks the symbol and is refused instead of called.
using Create = Engines *(*)(const Paths &paths);
inline constexpr char createSymbol[] = "scrivel_create_recognizers_v1";

} // namespace Recognizers
