#include "sync/SyncEngine.h"

#include "settings/AppSettings.h"
#include "base/Localization.h"
#include "platform/Keychain.h"
#include "base/AppInfo.h"
#include "store/NoteStore.h"
#include "sync/GoogleSignIn.h"
#include "sync/SessionTelemetry.h"

#include <QCoroSignal>
#include <QSysInfo>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>

namespace {
Q_LOGGING_CATEGORY(lcSync, "app.scrivelbar.app.sync")

// An engine built without a keychain has no stored session and cannot keep one.
class NoKeychain final : public Keychain
{
public:
    QCoro::Task<KeychainResult> read(QString, QString) override { co_return KeychainResult {}; }
    QCoro::Task<KeychainResult> save(QString, QString, QString) override
    {
        co_return KeychainResult { L("keychain.unavailable"), std::nullopt };
    }
    QCoro::Task<KeychainResult> remove(QString, QString) override { co_return KeychainResult {}; }
};

// An engine built without session telemetry records into the process-wide recorder and has
// nothing to configure or send.
class NoSessionTelemetry final : public SessionTelemetry
{
public:
    void record(const QString &name, const QVariantMap &properties) override
    {
        UsageRecorder::shared().record(name, properties);
    }
    QCoro::Task<> configure(APIClient *) override { co_return; }
    QCoro::Task<> flush() override { co_return; }
    void silence() override { }
};

SessionTelemetry &noSessionTelemetry()
{
    static NoSessionTelemetry none;
    return none;
}
} // namespace

SyncEngine::SyncEngine(NoteStore *store, AppSettings *settings, QObject *parent)
    : SyncEngine(store, settings, static_cast<Keychain *>(nullptr), Options {}, parent)
{
}

SyncEngine::SyncEngine(NoteStore *store, AppSettings *settings, Keychain *keychain,
                       const Options &options, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_settings(settings)
    , m_options(options)
    , m_browser(options.browser)
    , m_keychain(keychain)
    , m_telemetry(options.telemetry ? options.telemetry : &noSessionTelemetry())
    , m_client(new APIClient(options.client, this))
{
    qRegisterMetaType<SyncState>();
    if (!m_browser) {
        m_ownBrowser = Browser::create();
        m_browser = m_ownBrowser.get();
    }
    if (!m_keychain) {
        m_ownKeychain = std::make_unique<NoKeychain>();
        m_keychain = m_ownKeychain.get();
    }

    // A keychain that answers at once (the in-memory one) finishes this before the
    // constructor returns, so the state is right from the first look.
    auto restoring = restoreSession();
    Q_UNUSED(restoring);
    startTimer();

    m_debounce = new QTimer(this);
    m_debounce->setSingleShot(true);
    m_debounce->setInterval(m_options.changeDebounce);
    connect(m_debounce, &QTimer::timeout, this, [this] {
        if (m_store->dirtyCount() > 0)
            syncIfPossible();
    });
    connect(m_store, &NoteStore::changed, m_debounce, qOverload<>(&QTimer::start));
}

SyncEngine::SyncEngine(NoteStore *store, AppSettings *settings,
                       std::unique_ptr<Keychain> keychain, const Options &options,
                       QObject *parent)
    : SyncEngine(store, settings, keychain.get(), options, parent)
{
    // The delegated constructor has already read the session through the pointer; from here
    // on this engine owns the keychain. (A null one was replaced by one that keeps nothing.)
    if (keychain)
        m_ownKeychain = std::move(keychain);
}

SyncEngine::~SyncEngine() = default;

QString SyncEngine::serverURL() const
{
    return (m_options.serverURL.isNull() ? m_settings->serverURL() : m_options.serverURL).trimmed();
}

QCoro::Task<KeychainResult> SyncEngine::readToken()
{
    co_return co_await m_keychain->read(Keychain::syncService(), Keychain::sessionTokenAccount());
}

QCoro::Task<> SyncEngine::restoreSession()
{
    QPointer<SyncEngine> self(this);
    const auto token = co_await readToken();
    if (!self)
        co_return;
    m_restoring = false;
    if (!token.ok() || !token.secret || token.secret->isEmpty() || m_settings->email().isEmpty()) {
        if (!token.ok())
            qCWarning(lcSync, "start-up: the keychain could not be read: %s",
                      qUtf8Printable(token.error));
        Q_EMIT sessionRestored();
        co_return;
    }
    setAccount(APIUser { QString(), m_settings->email(), std::nullopt });
    setState(SyncState::idle());
    Q_EMIT sessionRestored();

    m_client->configure(serverURL(), token.secret);
    const quint64 session = m_session;
    const auto user = co_await m_client->me();
    if (!self || m_session != session)
        co_return;
    // A failure keeps the provisional account: the next sync tells whether it is still valid.
    if (user && m_account)
        setAccount(*user);
    co_await m_telemetry->configure(m_client);
    if (!self || m_session != session)
        co_return;
    m_telemetry->record(QStringLiteral("app_launched"));
}

void SyncEngine::startTimer()
{
    delete m_timer;
    m_timer = new QTimer(this);
    m_timer->setInterval(m_options.syncInterval);
    connect(m_timer, &QTimer::timeout, this, &SyncEngine::syncIfPossible);
    m_timer->start();
}

void SyncEngine::syncIfPossible()
{
    if (!m_account || !m_settings->autoSync() || serverURL().isEmpty()
        || m_state.kind == SyncState::Kind::LocalOnly)
        return;
    sync();
}

void SyncEngine::sync()
{
    if (!m_account)
        return;
    if (serverURL().isEmpty()) {
        setState(SyncState::failed(APIError::noServer().description()));
        return;
    }
    if (m_inFlight)
        return;
    m_inFlight = true;
    setState(SyncState::syncing());
    // The task runs on by itself once this handle is dropped; its end publishes the outcome.
    auto running = runSync();
    Q_UNUSED(running);
}

QCoro::Task<> SyncEngine::runSync()
{
    QPointer<SyncEngine> self(this);
    // A sign-out or account deletion while a request is out ends this run for the outside
    // world at once; what the server answers afterwards belongs to the old session and must
    // not mark notes as accepted (they are all to be pushed again) or revive the state.
    const quint64 session = m_session;
    auto abandoned = [&] { return !self || m_session != session; };
    QElapsedTimer clock;
    clock.start();

    const auto token = co_await readToken();
    if (abandoned())
        co_return;
    if (!token.ok()) {
        // The keychain could not be asked: that is no reason to sign the user out.
        qCWarning(lcSync, "sync failed: keychain: %s", qUtf8Printable(token.error));
        setState(SyncState::failed(token.error));
        m_inFlight = false;
        Q_EMIT syncFinished();
        co_return;
    }
    m_client->configure(serverURL(), token.secret);

    SyncReport report;
    QList<Note> conflicts;
    QList<MediaRef> pendingUploads;
    QSet<MediaRef> uploadSet;
    QStringList downloadNotes;
    QSet<QString> downloadSet;
    bool mediaWanted = false;

    for (int exchange = 0;; ++exchange) {
        const QList<Note> batch = m_store->dirtyNotes(pushBatch);
        QHash<QString, Date> pushedAt;
        QList<WireNote> changes;
        changes.reserve(batch.size());
        for (const Note &note : batch) {
            pushedAt.insert(note.id, note.updatedAt);
            changes.append(WireNote::fromNote(note));
        }

        const auto answer = co_await m_client->sync(m_store->cursor(), changes);
        if (abandoned())
            co_return;
        if (!answer) {
            // Copies made by earlier exchanges of this sync exist in the store already; the
            // user has to hear of them even though the sync as a whole failed. They join any
            // copies not yet dismissed rather than replace them.
            if (!conflicts.isEmpty()) {
                m_lastConflicts.append(conflicts);
                Q_EMIT lastConflictsChanged();
            }
            fail(answer.error());
            co_return;
        }
        const SyncResponse &response = *answer;

        m_store->markAccepted(response.accepted, pushedAt);
        // Only identifiers this device pushed count: the server cannot inflate the report.
        QSet<QString> acceptedOwn;
        for (const QString &id : response.accepted) {
            if (pushedAt.contains(id))
                acceptedOwn.insert(id);
        }
        report.pushed += int(acceptedOwn.size());
        report.pulled += int(response.notes.size());

        if (response.mediaWanted) {
            mediaWanted = true;
            for (const MediaRef &ref : *response.mediaWanted) {
                if (!Wire::isUsableName(ref.noteId, Wire::maxIdentifierBytes)
                    || !Wire::isUsableName(ref.filename, Wire::maxFilenameBytes)) {
                    qCWarning(lcSync, "sync: skipped a media request with an unusable name");
                    ++report.skipped;
                    continue;
                }
                if (!uploadSet.contains(ref)) {
                    uploadSet.insert(ref);
                    pendingUploads.append(ref);
                }
            }
        }

        for (const QList<WireNote> *list : { &response.rejected, &response.notes }) {
            for (const WireNote &wire : *list) {
                const auto note = wire.toNote();
                if (!note) {
                    qCWarning(lcSync, "sync: skipped a received note: %s",
                              qUtf8Printable(note.error()));
                    ++report.skipped;
                    continue;
                }
                if (const auto copy = m_store->applyRemote(*note))
                    conflicts.append(*copy);
                if (!downloadSet.contains(note->id)) {
                    downloadSet.insert(note->id);
                    downloadNotes.append(note->id);
                }
            }
        }

        if (response.cursor != m_store->cursor()) {
            m_store->setCursor(response.cursor);
            m_store->scheduleIndexWrite();
        }

        if (!response.hasMore && m_store->dirtyNotes(1).isEmpty())
            break;
        if (exchange == maxExchanges - 1)
            break;
        if (batch.isEmpty() && response.notes.isEmpty() && response.rejected.isEmpty())
            break;
    }

    m_lastConflicts = conflicts;
    Q_EMIT lastConflictsChanged();

    if (mediaWanted) {
        report.files = co_await moveMedia(pendingUploads, downloadNotes);
        if (abandoned())
            co_return;
        if (report.files > 0) {
            co_await runMediaUsage();
            if (abandoned())
                co_return;
        }
    }

    report.milliseconds = clock.elapsed();
    m_lastReport = report;
    setState(SyncState::idle(Clock::now()));
    qCInfo(lcSync, "sync ok: %ld up, %ld down, %ld files, %ld ms", long(report.pushed),
           long(report.pulled), long(report.files), long(report.milliseconds));
    if (report.pushed + report.pulled + report.files >= 1) {
        m_telemetry->record(QStringLiteral("sync_completed"),
                                   { { QStringLiteral("ms"), report.milliseconds },
                                     { QStringLiteral("pushed"), report.pushed },
                                     { QStringLiteral("pulled"), report.pulled },
                                     { QStringLiteral("files"), report.files } });
    }
    m_inFlight = false;
    Q_EMIT syncFinished();
}

void SyncEngine::fail(const ClientError &error)
{
    const APIError *api = asAPIError(error);
    if (api && api->kind == APIError::Kind::Unauthorized) {
        qCCritical(lcSync, "sync: signed out by the server");
        ++m_session;
        m_telemetry->silence();
        m_client->setToken(std::nullopt);
        // Removing the token is fire-and-forget: whatever the keychain says, this session ends.
        auto removing
            = m_keychain->remove(Keychain::syncService(), Keychain::sessionTokenAccount());
        Q_UNUSED(removing);
        // The session is over as surely as after a sign-out (there is just nobody left to tell):
        // the next account, maybe another one, must receive every note again, and the stored
        // e-mail must not bring this session back at the next start.
        forgetSession();
    } else if (api && api->kind == APIError::Kind::Server && api->status == 402) {
        qCInfo(lcSync, "sync: not included in this account, staying local");
        setState(SyncState::localOnly());
    } else {
        const QString why = reason(error);
        if (const auto *decode = std::get_if<DecodeError>(&error))
            qCCritical(lcSync, "sync failed: %s (%s)", qUtf8Printable(why),
                       qUtf8Printable(decode->detail));
        else
            qCCritical(lcSync, "sync failed: %s", qUtf8Printable(why));
        m_telemetry->record(QStringLiteral("sync_failed"),
                                   { { QStringLiteral("reason"), why } });
        setState(SyncState::failed(describe(error)));
    }
    m_inFlight = false;
    Q_EMIT syncFinished();
}

QCoro::Task<int> SyncEngine::moveMedia(QList<MediaRef> uploads, QStringList downloadNotes)
{
    QPointer<SyncEngine> self(this);
    const quint64 session = m_session;
    int moved = 0;
    int failed = 0;

    for (const MediaRef &ref : uploads) {
        const auto path = m_store->localMediaPath(ref.noteId, ref.filename);
        // Only a plain file of the note goes out: a link planted in the attachment folder
        // could otherwise send any file of this computer to the server.
        if (!path || QFileInfo(*path).isSymLink() || !QFileInfo(*path).isFile())
            continue;
        const auto done = co_await m_client->uploadMedia(ref.noteId, ref.filename, *path);
        if (!self || m_session != session)
            co_return moved;
        if (done) {
            ++moved;
        } else {
            ++failed;
            qCWarning(lcSync, "media upload failed: %s", qUtf8Printable(reason(done.error())));
        }
    }

    for (const QString &noteId : downloadNotes) {
        for (const Attachment &attachment : m_store->missingMedia(noteId)) {
            const auto bytes = co_await m_client->downloadMedia(noteId, attachment.filename);
            if (!self || m_session != session)
                co_return moved;
            if (!bytes) {
                ++failed;
                qCWarning(lcSync, "media download failed: %s",
                          qUtf8Printable(reason(bytes.error())));
                continue;
            }
            m_store->saveDownloadedMedia(*bytes, attachment, noteId);
            // The store reports a failed write itself; it still is a transfer that did not
            // land, so it counts as pending rather than moved.
            const QString target = m_store->liveMediaPath(noteId, attachment.filename);
            if (!target.isEmpty() && QFileInfo::exists(target))
                ++moved;
            else
                ++failed;
        }
    }

    setMediaPending(failed);
    co_return moved;
}

void SyncEngine::checkHealth()
{
    auto checking = runHealthCheck();
    Q_UNUSED(checking);
}

QCoro::Task<> SyncEngine::runHealthCheck()
{
    QPointer<SyncEngine> self(this);
    const QString server = serverURL();
    if (server.isEmpty()) {
        setHealth(std::nullopt);
        co_return;
    }
    const auto token = co_await readToken();
    if (!self)
        co_return;
    m_client->configure(server, token.secret);
    const auto answer = co_await m_client->health();
    if (!self)
        co_return;
    if (answer) {
        setHealth(Health(*answer));
        co_await runMediaUsage();
        co_return;
    }
    if (const APIError *api = asAPIError(answer.error()))
        setHealth(Health(std::unexpected(*api)));
    else
        setHealth(Health(std::unexpected(APIError::transport(describe(answer.error())))));
}

void SyncEngine::refreshMediaUsage()
{
    auto refreshing = runMediaUsage();
    Q_UNUSED(refreshing);
}

QCoro::Task<> SyncEngine::runMediaUsage()
{
    QPointer<SyncEngine> self(this);
    if (!m_account || !m_health || !m_health->has_value() || !(*m_health)->capabilities.media) {
        setMediaUsage(std::nullopt);
        co_return;
    }
    const quint64 session = m_session;
    const auto usage = co_await m_client->mediaUsage();
    if (!self || m_session != session)
        co_return;
    setMediaUsage(usage ? std::optional(*usage) : std::nullopt);
}

QString SyncEngine::reason(const ClientError &error)
{
    const APIError *api = asAPIError(error);
    if (!api)
        return QStringLiteral("other");
    switch (api->kind) {
    case APIError::Kind::Server:
        return QStringLiteral("http_") + QString::number(api->status);
    case APIError::Kind::Transport:
        return QStringLiteral("offline");
    case APIError::Kind::NoServer:
        return QStringLiteral("no_server");
    case APIError::Kind::Unauthorized:
        return QStringLiteral("unauthorized");
    }
    return QStringLiteral("other");
}

void SyncEngine::setState(const SyncState &state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged(m_state);
}

void SyncEngine::setAccount(const std::optional<APIUser> &account)
{
    if (m_account == account)
        return;
    m_account = account;
    Q_EMIT accountChanged();
}

void SyncEngine::setMediaPending(int count)
{
    if (m_mediaPending == count)
        return;
    m_mediaPending = count;
    Q_EMIT mediaPendingChanged(count);
}

void SyncEngine::setHealth(const std::optional<Health> &health)
{
    m_health = health;
    Q_EMIT healthChanged();
}

void SyncEngine::setMediaUsage(const std::optional<MediaUsage> &usage)
{
    if (m_mediaUsage == usage)
        return;
    m_mediaUsage = usage;
    Q_EMIT mediaUsageChanged();
}

// ---- sign-in, sharing and the account -------------------------------------------------------

namespace {

// The name the server shows for this device among the account's sessions.
QString deviceName()
{
    const QString host = QSysInfo::machineHostName().trimmed();
    return host.isEmpty() ? QStringLiteral("Linux") : host;
}

} // namespace

QCoro::Task<QString> SyncEngine::configureClient()
{
    QPointer<SyncEngine> self(this);
    const auto token = co_await readToken();
    if (!self)
        co_return QString();
    if (!token.ok())
        co_return token.error;
    m_client->configure(serverURL(), token.secret);
    co_return QString();
}

void SyncEngine::signInWithGoogle(bool acceptedTerms)
{
    // One browser flow at a time: a second listener would only race the first for the code.
    if (isAccountOperationRunning())
        return;
    m_signingIn = true;
    auto running = runSignIn(acceptedTerms);
    Q_UNUSED(running);
}

void SyncEngine::dismissConflicts()
{
    if (m_lastConflicts.isEmpty())
        return;
    m_lastConflicts.clear();
    Q_EMIT lastConflictsChanged();
}

void SyncEngine::cancelSignIn()
{
    if (m_signInCanceller)
        m_signInCanceller->cancel();
}

QCoro::Task<> SyncEngine::runSignIn(bool acceptedTerms)
{
    QPointer<SyncEngine> self(this);
    const std::optional<QString> clientID = m_health && m_health->has_value()
        ? (*m_health)->capabilities.googleClientId
        : std::nullopt;
    if (!clientID || clientID->trimmed().isEmpty()) {
        setState(SyncState::failed(L("account.google.unavailable")));
        m_signingIn = false;
        finishAccountOperation();
        co_return;
    }
    setState(SyncState::syncing());
    m_client->configure(serverURL(), std::nullopt);

    auto *canceller = new LoopbackRedirect::Canceller(this);
    m_signInCanceller = canceller;
    GoogleSignIn::Options options;
    options.browser = m_browser;
    options.timeout = m_options.signInTimeout;
    options.accountsHost = m_options.accountsHost;
    options.opened = m_options.signInAddress;
    options.canceller = canceller;
    const auto flow = co_await GoogleSignIn::authorize(*clientID, options);
    if (!self)
        co_return;
    canceller->deleteLater();
    if (!flow.result) {
        qCWarning(lcSync, "sign-in failed: browser flow ended without a code");
        setState(SyncState::failed(flow.failure.description()));
        m_signingIn = false;
        finishAccountOperation();
        co_return;
    }

    const auto answer = co_await m_client->googleSignIn(flow.result->code,
                                                        flow.result->redirectUri,
                                                        flow.result->codeVerifier, deviceName(),
                                                        acceptedTerms);
    if (!self)
        co_return;
    if (!answer) {
        qCWarning(lcSync, "sign-in failed: %s", qUtf8Printable(reason(answer.error())));
        setState(SyncState::failed(describe(answer.error())));
        m_signingIn = false;
        finishAccountOperation();
        co_return;
    }
    const AuthResponse &auth = *answer;
    const auto saved = co_await m_keychain->save(auth.token, Keychain::syncService(),
                                                 Keychain::sessionTokenAccount());
    if (!self)
        co_return;
    if (!saved.ok()) {
        // Every later request reads the session from the keychain, and it may be kept nowhere
        // else: without the keychain this sign-in cannot be used, so say so now rather than
        // fail every sync. The server's new session is ended again (best effort).
        qCWarning(lcSync, "sign-in: the session could not be stored: %s",
                  qUtf8Printable(saved.error));
        m_client->setToken(auth.token);
        const auto loggedOut = co_await m_client->logout();
        if (!self)
            co_return;
        Q_UNUSED(loggedOut);
        m_client->setToken(std::nullopt);
        setState(SyncState::failed(L("account.google.failed", saved.error)));
        m_signingIn = false;
        finishAccountOperation();
        co_return;
    }
    m_client->setToken(auth.token);
    m_settings->setEmail(auth.user.email);
    setAccount(auth.user);
    setState(SyncState::idle());
    const quint64 session = m_session;
    co_await m_telemetry->configure(m_client);
    if (!self)
        co_return;
    if (m_session == session)
        m_telemetry->record(QStringLiteral("app_launched"));
    m_signingIn = false;
    finishAccountOperation();
    // The account screen shows the new account's storage at once, not at its next visit.
    refreshMediaUsage();
    sync();
}

QCoro::Task<APIResult<QUrl>> SyncEngine::publicLink(QString noteID)
{
    QPointer<SyncEngine> self(this);
    if (!m_account)
        co_return std::unexpected(ClientError(SignedOutError {}));
    const auto meta = m_store->meta(noteID);
    if (!meta || meta->dirty) {
        // The server may not have the note's current text: publish it first. The sync's
        // outcome does not stop the link.
        if (!m_inFlight)
            sync();
        if (m_inFlight)
            co_await qCoro(this, &SyncEngine::syncFinished);
        if (!self)
            co_return std::unexpected(ClientError(APIError::transport(QString())));
        // The sync may have ended the session (signed out meanwhile, or refused by the server).
        if (!m_account)
            co_return std::unexpected(ClientError(SignedOutError {}));
    }
    const QString keychainError = co_await configureClient();
    if (!self)
        co_return std::unexpected(ClientError(APIError::transport(QString())));
    if (!keychainError.isEmpty())
        co_return std::unexpected(ClientError(KeychainError { keychainError }));
    const auto link = co_await m_client->createShare(noteID);
    if (!link)
        co_return APIResult<QUrl>::failure(link.error());
    co_return link->url;
}

QCoro::Task<QList<ShareLink>> SyncEngine::liveLinks(QString noteID)
{
    QPointer<SyncEngine> self(this);
    if (!m_account)
        co_return QList<ShareLink>();
    const QString keychainError = co_await configureClient();
    if (!self || !keychainError.isEmpty())
        co_return QList<ShareLink>();
    const auto links = co_await m_client->shareLinks(noteID);
    co_return links ? *links : QList<ShareLink>();
}

QCoro::Task<APIResult<void>> SyncEngine::stopSharing(QString noteID)
{
    QPointer<SyncEngine> self(this);
    if (!m_account)
        co_return std::unexpected(ClientError(SignedOutError {}));
    const QString keychainError = co_await configureClient();
    if (!self)
        co_return std::unexpected(ClientError(APIError::transport(QString())));
    if (!keychainError.isEmpty())
        co_return std::unexpected(ClientError(KeychainError { keychainError }));
    const auto links = co_await m_client->shareLinks(noteID);
    if (!links)
        co_return APIResult<void>::failure(links.error());
    for (const ShareLink &link : *links) {
        const auto revoked = co_await m_client->revokeShare(link.token);
        if (!revoked)
            co_return APIResult<void>::failure(revoked.error());
    }
    co_return APIResult<void>(std::expected<void, ClientError>());
}

void SyncEngine::finishAccountOperation()
{
    m_accountBusy = false;
    Q_EMIT accountOperationFinished();
}

void SyncEngine::openDashboard()
{
    // One account operation at a time: the screen that started it may be gone, and a second
    // sign-out or deletion would only meet the first one's ended session.
    if (isAccountOperationRunning())
        return;
    m_accountBusy = true;
    auto running = runDashboard();
    Q_UNUSED(running);
}

QCoro::Task<> SyncEngine::runDashboard()
{
    QPointer<SyncEngine> self(this);
    const auto link = co_await m_client->dashboardLink();
    if (!self)
        co_return;
    if (!link)
        setState(SyncState::failed(describe(link.error())));
    else if (!m_browser->open(*link))
        qCWarning(lcSync, "dashboard: no browser could be started");
    finishAccountOperation();
}

void SyncEngine::signOut()
{
    if (isAccountOperationRunning())
        return;
    m_accountBusy = true;
    auto running = runSignOut();
    Q_UNUSED(running);
}

QCoro::Task<> SyncEngine::runSignOut()
{
    QPointer<SyncEngine> self(this);
    co_await signOutSteps();
    if (!self)
        co_return;
    finishAccountOperation();
}

void SyncEngine::changeServer(QString url)
{
    if (isAccountOperationRunning() || !AppSettings::normalizedServerURL(url))
        return;
    m_accountBusy = true;
    auto running = runChangeServer(std::move(url));
    Q_UNUSED(running);
}

QCoro::Task<> SyncEngine::runChangeServer(QString url)
{
    QPointer<SyncEngine> self(this);
    // The session belongs to the old server: end it there before the address changes.
    if (m_account) {
        co_await signOutSteps();
        if (!self)
            co_return;
    }
    if (m_settings->setServerURL(url))
        qCInfo(lcSync, "server address changed");
    setMediaUsage(std::nullopt);
    finishAccountOperation();
    checkHealth();
}

QCoro::Task<APIResult<ServerHealth>> SyncEngine::probeServer(QString url)
{
    const auto normalized = AppSettings::normalizedServerURL(url);
    if (!normalized)
        co_return std::unexpected(ClientError(APIError::noServer()));
    // A client of its own: the engine's keeps serving the current server meanwhile.
    APIClient probe(m_options.client);
    probe.configure(*normalized, std::nullopt);
    co_return co_await probe.health();
}

QCoro::Task<> SyncEngine::signOutSteps()
{
    QPointer<SyncEngine> self(this);
    const QString keychainError = co_await configureClient();
    if (!self)
        co_return;
    // Queued events still go out with the valid session; after that nothing is recorded
    // until the next sign-in.
    co_await m_telemetry->flush();
    if (!self)
        co_return;
    m_telemetry->silence();
    // Telling the server is a courtesy: offline, or refused, the local sign-out still happens.
    if (keychainError.isEmpty() && m_client->token()) {
        const auto loggedOut = co_await m_client->logout();
        if (!self)
            co_return;
        if (!loggedOut)
            qCInfo(lcSync, "sign-out: logout request failed (%s)",
                   qUtf8Printable(reason(loggedOut.error())));
    }
    co_await endSession();
}

QCoro::Task<> SyncEngine::endSession()
{
    QPointer<SyncEngine> self(this);
    ++m_session;
    m_client->setToken(std::nullopt);
    // A sync still waiting for the server is over as far as anyone here is concerned (it
    // drops its answer); waiters such as a share request must not hang on it.
    if (m_inFlight) {
        m_inFlight = false;
        Q_EMIT syncFinished();
    }
    const auto removed
        = co_await m_keychain->remove(Keychain::syncService(), Keychain::sessionTokenAccount());
    if (!self)
        co_return;
    if (!removed.ok())
        qCWarning(lcSync, "sign-out: the stored session could not be removed: %s",
                  qUtf8Printable(removed.error));
    forgetSession();
}

void SyncEngine::forgetSession()
{
    // Without the e-mail a token the keychain failed to remove never restores this session.
    m_settings->setEmail(QString());
    setAccount(std::nullopt);
    setMediaUsage(std::nullopt);
    // The notes stay; the bookkeeping of what the old account holds does not.
    m_store->resetSyncState();
    setState(SyncState::signedOut());
}

void SyncEngine::deleteAccount()
{
    if (isAccountOperationRunning())
        return;
    m_accountBusy = true;
    auto running = runDeleteAccount();
    Q_UNUSED(running);
}

QCoro::Task<> SyncEngine::runDeleteAccount()
{
    QPointer<SyncEngine> self(this);
    if (!m_account) {
        finishAccountOperation();
        co_return;
    }
    setState(SyncState::syncing());
    const QString keychainError = co_await configureClient();
    if (!self)
        co_return;
    if (!keychainError.isEmpty()) {
        setState(SyncState::failed(keychainError));
        finishAccountOperation();
        co_return;
    }
    const quint64 session = m_session;
    const auto deleted = co_await m_client->deleteAccount();
    if (!self)
        co_return;
    if (m_session != session) {
        // The session ended meanwhile (the server refused a sync); that outcome stands.
        finishAccountOperation();
        co_return;
    }
    if (!deleted) {
        setState(SyncState::failed(describe(deleted.error())));
        finishAccountOperation();
        co_return;
    }
    co_await endSession();
    if (!self)
        co_return;
    finishAccountOperation();
}

QCoro::Task<APIResult<void>> SyncEngine::sendFeedback(QString message,
                                                      std::optional<QByteArray> picture,
                                                      std::optional<FeedbackDiagnostics> diagnostics)
{
    QPointer<SyncEngine> self(this);
    const QString keychainError = co_await configureClient();
    if (!self)
        co_return std::unexpected(ClientError(APIError::transport(QString())));
    if (!keychainError.isEmpty())
        co_return std::unexpected(ClientError(APIError::transport(keychainError)));
    QMap<QString, QString> fields {
        { QStringLiteral("appVersion"), AppInfo::version() },
        { QStringLiteral("osVersion"), AppInfo::osVersion(3) },
        { QStringLiteral("macModel"), AppInfo::hardwareModel() },
        { QStringLiteral("lang"), AppInfo::languageCode() },
    };
    std::optional<QByteArray> diagnosticsFile;
    if (diagnostics) {
        fields.insert(QStringLiteral("crashes"), QString::number(diagnostics->crashReports));
        diagnosticsFile = diagnostics->text.toUtf8();
    }
    auto sent = co_await m_client->sendFeedback(message, fields, picture, diagnosticsFile);
    if (!self)
        co_return sent;
    if (sent)
        m_telemetry->record(QStringLiteral("feedback_sent"));
    co_return sent;
}
