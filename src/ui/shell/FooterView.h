#pragma once

#include "sync/SyncState.h"

#include <QLocale>
#include <QWidget>

#include <functional>
#include <optional>

class Dialogs;
class NoteStore;
class QLabel;
class QToolButton;
class SyncEngine;

/// The bottom bar of the panel: the account button, one line of sync status, sync now and
/// quit (with its confirmation).
class FooterView : public QWidget
{
    Q_OBJECT
public:
    /// Everything the status line depends on.
    struct Inputs
    {
        SyncState state;
        int dirtyCount = 0;
        int mediaPending = 0;
        int liveNotes = 0;
        /// The signed-in account's e-mail; nothing when signed out.
        std::optional<QString> accountEmail;
    };

    /// `onAccount` opens (or toggles) the account screen; `terminate` runs the app's quit
    /// sequence. The store, engine and dialogs must outlive the footer.
    FooterView(NoteStore *store, SyncEngine *sync, Dialogs *dialogs,
               std::function<void()> onAccount, std::function<void()> terminate,
               QWidget *parent = nullptr);

    /// The status line for `inputs`, numbers and times formatted with `locale`.
    static QString statusText(const Inputs &inputs, const QLocale &locale);
    /// The quit confirmation's message: the pending text only when signed in with unsynced notes.
    static QString quitMessage(bool signedIn, int dirtyCount);

    /// The current inputs, read from the store and the engine.
    Inputs inputs() const;
    /// Shows `inputs` (the engine's signals call it with the current ones; previews and
    /// tests may show any state).
    void render(const Inputs &inputs);
    /// The full status text shown (the label may elide it).
    QString statusLine() const { return m_status; }

    QToolButton *accountButton() const { return m_account; }
    QToolButton *syncButton() const { return m_sync; }
    QToolButton *quitButton() const { return m_quit; }
    bool isConfirmingQuit() const { return m_confirmingQuit; }

    /// Asks for confirmation and, when given, flushes the store and quits.
    void confirmQuit();

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void refresh();
    void applyIcons();
    void applyCaption();
    void elide();

    NoteStore *m_store;
    SyncEngine *m_syncEngine;
    Dialogs *m_dialogs;
    std::function<void()> m_onAccount;
    std::function<void()> m_terminate;
    bool m_confirmingQuit = false;
    QString m_status;

    QToolButton *m_account = nullptr;
    QLabel *m_label = nullptr;
    QToolButton *m_sync = nullptr;
    QToolButton *m_quit = nullptr;
};
