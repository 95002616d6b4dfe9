// The one entry point of scrivelbar-recognizers.so; everything else in the module is hidden.
#include "ai/local/Recognizers.h"
#include "ai/local/recognizers/SphinxRecognizer.h"
#include "ai/local/recognizers/TesseractRecognizer.h"

#include <type_traits>

namespace {

class ModuleEngines final : public Recognizers::Engines
{
public:
    explicit ModuleEngines(const Recognizers::Paths &paths)
        : m_text(paths.tessdata)
        , m_speech(paths.sphinxModels)
    {
    }
    Recognizers::TextRecognizer &text() override { return m_text; }
    Recognizers::SpeechRecognizer &speech() override { return m_speech; }

private:
    // Both only keep their paths until their first job: making them starts no engine.
    TesseractRecognizer m_text;
    SphinxRecognizer m_speech;
};

} // namespace

extern "C" Q_DECL_EXPORT Recognizers::Engines *
scrivel_create_recognizers_v1(const Recognizers::Paths &paths)
{
    // An exception must not unwind into the loader's caller: no recognizers is an answer
    // the core words for people.
    try {
        return new ModuleEngines(paths);
    } catch (...) {
        return nullptr;
    }
}

// The core calls it through this type: a signature that drifts from it fails to build.
static_assert(std::is_same_v<decltype(&scrivel_create_recognizers_v1), Recognizers::Create>);
