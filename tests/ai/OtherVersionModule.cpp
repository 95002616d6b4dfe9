// A module built for another version of the recognizer interface: a real shared object that
// loads, but whose factory has another name. The core must refuse it in words.
#include <QtGlobal>

extern "C" Q_DECL_EXPORT void *scrivel_create_recognizers_v0(const void *)
{
    return nullptr;
}
