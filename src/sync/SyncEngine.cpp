// Signed-out engine: the network half of the sync arrives separately.
#include "sync/SyncEngine.h"

SyncEngine::SyncEngine(NoteStore *store, AppSettings *settings, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_settings(settings)
{
    qRegisterMetaType<SyncState>();
}

SyncEngine::~SyncEngine() = default;

void SyncEngine::sync()
{
    if (!m_account)
        return;
}

void SyncEngine::syncIfPossible()
{
    if (!m_account)
        return;
}
