#pragma once

#include "store/Note.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include <chrono>
#include <functional>
#include <optional>

class AppSettings;
class Dialogs;
class NoteListModel;
class NoteRowDelegate;
class NoteStore;
class Notice;
class QActionGroup;
class QFrame;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;
class QStackedWidget;
class QTimer;
class QToolButton;
class SyncEngine;
class Telemetry;

/// The panel's home screen: a search field, buttons that create notes, a tag filter, the
/// matching notes (a QListView over NoteListModel painted by NoteRowDelegate) and an empty
/// state. With `setTrashMode(true)` the same view is the trash, where notes are restored or
/// deleted for ever.
///
/// Navigation is signalled to the root: `openNote` for an existing note, `openNewNote` for a
/// note this view has just created (the new-note button, Return or the empty-state button on
/// a query: the editor opens it in edit mode), `showAccount` for the trash's back button.
/// The view reads the store on every change and keeps only its query, filter and notice.
class NoteListView : public QWidget
{
    Q_OBJECT
public:
    /// `telemetry` records the list's usage events (none when null).
    NoteListView(NoteStore *store, AppSettings *settings, SyncEngine *sync, Dialogs *dialogs,
                 Telemetry *telemetry = nullptr, QWidget *parent = nullptr);
    ~NoteListView() override;

    void setTrashMode(bool trash);
    bool trashMode() const { return m_trash; }

    QString query() const;
    void setQuery(const QString &query);
    std::optional<Note::Tag> tagFilter() const { return m_tagFilter; }
    void setTagFilter(std::optional<Note::Tag> tag);

    /// The notes the list shows now, in order.
    QList<Note> rows() const;

    /// The number of conflict copies the last sync made; a banner shows while it is not 0.
    /// Its OK button empties the engine's conflict list, sets it to 0 and emits
    /// `conflictsDismissed`.
    void setConflictCount(int count);
    int conflictCount() const { return m_conflicts; }

    /// What the record button does: create a note and start recording into it. Without a
    /// handler (no recorder on this system) the button is hidden.
    void setRecordHandler(std::function<void()> handler);
    bool canRecord() const { return bool(m_onRecord); }

    /// Asks for confirmation, then moves the notes whose files vanished in a mass deletion to
    /// the trash (the banner's second action).
    void confirmTrashHeldNotes();

    // The store's warnings, as the banners show them now (empty when hidden).
    /// The mass-deletion banner's text.
    QString heldBannerText() const;
    /// The store error the list shows, until its OK is pressed.
    QString errorBannerText() const;
    /// Shows a problem of this screen's own (a control that turned out not to work here) in
    /// the error banner, until its OK is pressed.
    void showProblem(const QString &text);
    /// The line that counts the files the store could not read.
    QString unreadableText() const;

    /// Return in the search field: open the first row, or create a note from the query.
    void submitSearch();
    /// The new-image-note flow: ask for an image file and make a note of it.
    void importImage();
    /// Asks for confirmation, then purges (trash mode).
    void confirmPurge(const QString &id);
    /// Asks for confirmation, then empties the trash (trash mode).
    void confirmEmptyTrash();
    /// Puts the note on the clipboard: its text, or its image when it has no text title.
    void copyNote(const QString &id);

    /// Publishes the note (flushing the store first) and copies its public link; the notice
    /// tells the outcome.
    void copyPublicLink(const QString &id);

    /// The row context menu of a note (built, not shown; the caller owns it).
    QMenu *contextMenu(const QString &id, QWidget *parent = nullptr);

    Notice *notice() const { return m_notice; }
    void showNotice(const QString &message);

    /// How often the rows' relative dates ("5 min ago") are drawn again while the list shows.
    static constexpr std::chrono::milliseconds defaultDateRefreshInterval { 30000 };
    /// Tests shorten it.
    void setDateRefreshInterval(std::chrono::milliseconds interval);
    /// The wait before the dates are drawn again when the newest row is `newestAge` seconds
    /// old: ages under a minute read in seconds and are redrawn every second (never later
    /// than `interval`), older ones every `interval`.
    static std::chrono::milliseconds dateRefreshDelay(double newestAge,
                                                      std::chrono::milliseconds interval);

    // Widgets, for the root's focus handling and for tests.
    QLineEdit *searchField() const { return m_search; }
    QListView *listView() const { return m_list; }
    NoteRowDelegate *rowDelegate() const { return m_delegate; }

    /// What the empty state shows now: the symbol, the message and the button text (empty
    /// when there is no button). Nothing while rows are shown.
    struct EmptyState
    {
        QString symbol;
        QString message;
        QString button;
    };
    std::optional<EmptyState> emptyState() const;

Q_SIGNALS:
    void openNote(const QString &id);
    void openNewNote(const QString &id);
    void showAccount();
    /// The user dismissed the conflict banner.
    void conflictsDismissed();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void bind();
    void applyMode();
    void applyLook();
    void scheduleRefresh();
    void scheduleDateRefresh();
    void refresh();
    void updateEmptyState();
    void updateEmptyTrashButton();
    void updateStoreBanners();
    void newNote();
    void createFromQuery();
    void openRow(const QModelIndex &index);
    void showContextMenu(const QPoint &position);
    EmptyState computeEmptyState() const;
    /// True when every match of `query` is also a match of `previous`, so searching the
    /// current rows is enough.
    static bool refines(const QString &query, const QString &previous);
    // Takes the view by guarded pointer: the list is rebuilt when the user navigates, maybe
    // before the server answers.
    static QCoro::Task<> runCopyPublicLink(QPointer<NoteListView> view, QString id);
    /// Notes whose share link is being requested (their menu entry is off meanwhile).
    QSet<QString> m_sharing;

    QPointer<NoteStore> m_store;
    AppSettings *m_settings;
    QPointer<SyncEngine> m_sync;
    Dialogs *m_dialogs;
    QPointer<Telemetry> m_telemetry;

    bool m_trash = false;
    std::optional<Note::Tag> m_tagFilter;
    int m_conflicts = 0;
    std::function<void()> m_onRecord;
    bool m_stale = false;
    /// The rows are exactly the matches of m_lastQuery over the current store state.
    bool m_narrowable = false;
    QString m_lastQuery;
    QString m_problem;

    NoteListModel *m_model = nullptr;
    NoteRowDelegate *m_delegate = nullptr;
    QTimer *m_refreshTimer = nullptr;
    QTimer *m_dateTimer = nullptr;
    std::chrono::milliseconds m_dateRefreshInterval = defaultDateRefreshInterval;

    QToolButton *m_back = nullptr;
    QLabel *m_trashTitle = nullptr;
    QLabel *m_searchIcon = nullptr;
    QLineEdit *m_search = nullptr;
    QToolButton *m_clear = nullptr;
    QToolButton *m_newNote = nullptr;
    QToolButton *m_newImage = nullptr;
    QToolButton *m_newAudio = nullptr;
    QToolButton *m_filter = nullptr;
    QActionGroup *m_filterGroup = nullptr;
    QToolButton *m_emptyTrash = nullptr;
    QFrame *m_banner = nullptr;
    QLabel *m_bannerIcon = nullptr;
    QLabel *m_bannerText = nullptr;
    QPushButton *m_bannerOk = nullptr;
    QFrame *m_heldBanner = nullptr;
    QLabel *m_heldIcon = nullptr;
    QLabel *m_heldText = nullptr;
    QPushButton *m_putBack = nullptr;
    QPushButton *m_trashHeld = nullptr;
    QFrame *m_errorBanner = nullptr;
    QLabel *m_errorIcon = nullptr;
    QLabel *m_errorText = nullptr;
    QPushButton *m_errorOk = nullptr;
    QFrame *m_unreadableBanner = nullptr;
    QLabel *m_unreadableIcon = nullptr;
    QLabel *m_unreadableText = nullptr;
    QToolButton *m_unreadableMore = nullptr;
    QLabel *m_unreadableNames = nullptr;
    QStackedWidget *m_content = nullptr;
    QListView *m_list = nullptr;
    QWidget *m_empty = nullptr;
    QLabel *m_emptySymbol = nullptr;
    QLabel *m_emptyMessage = nullptr;
    QPushButton *m_emptyButton = nullptr;
    Notice *m_notice = nullptr;
};
