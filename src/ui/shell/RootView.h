#pragma once

#include "store/Note.h"

#include <QString>
#include <QWidget>

#include <functional>

class AIService;
class AppSettings;
class Dialogs;
class FooterView;
class HotKeyManager;
class NoteStore;
class QVBoxLayout;
class SyncEngine;
class Telemetry;

/// What the panel shows.
struct Screen
{
    enum class Kind { List, Editor, Account, Trash };

    Kind kind = Kind::List;
    QString noteId; ///< editor only
    bool isNew = false; ///< editor only: start in edit mode
    bool record = false; ///< editor only: start recording

    static Screen list() { return {}; }
    static Screen account() { return { Kind::Account, {}, false, false }; }
    static Screen trash() { return { Kind::Trash, {}, false, false }; }
    static Screen editor(const QString &id, bool isNew, bool record)
    {
        return { Kind::Editor, id, isNew, record };
    }

    bool operator==(const Screen &) const = default;
};

/// The shared objects every screen reaches (they outlive the root view).
struct ScreenEnvironment
{
    NoteStore *store = nullptr;
    SyncEngine *sync = nullptr;
    AppSettings *settings = nullptr;
    Dialogs *dialogs = nullptr;
    /// Runs the app's quit sequence.
    std::function<void()> terminate;
    /// Where the screens record usage events (none when null).
    Telemetry *telemetry = nullptr;
    /// The AI assistant.
    AIService *ai = nullptr;
    /// The global hot key's registration, read for its status (none when null).
    const HotKeyManager *hotKeys = nullptr;
};

/// What the note list is built with. An empty function is an absent callback.
struct ListScreenArgs
{
    bool trash = false;
    std::function<void(const Note &)> onOpen;
    std::function<void()> onNew;
    std::function<void(const Note &)> onCreate;
    std::function<void()> onRecord;
    std::function<void()> onBack;
};

struct EditorScreenArgs
{
    QString noteId;
    bool startInEdit = false;
    bool startRecording = false;
    std::function<void()> onBack;
    std::function<void(const QString &id)> onOpenNote;
};

struct AccountScreenArgs
{
    std::function<void()> onBack;
    std::function<void()> onShowTrash;
};

/// How screens are made. Each maker returns a new widget (the root view takes ownership).
/// The defaults are simple stand-ins; the real screens replace them without touching the
/// navigation.
struct ScreenFactories
{
    std::function<QWidget *(const ScreenEnvironment &, const ListScreenArgs &)> list;
    std::function<QWidget *(const ScreenEnvironment &, const EditorScreenArgs &)> editor;
    std::function<QWidget *(const ScreenEnvironment &, const AccountScreenArgs &)> account;

    /// The product's screens: the note list, the trash, the editor and the account screen.
    static ScreenFactories standard();
};

/// The panel's content: the current screen, a divider and the footer. Owns the navigation
/// state, which survives closing and reopening the panel; the first screen is the list.
class RootView : public QWidget
{
    Q_OBJECT
public:
    /// Empty factory members fall back to the standard screens.
    RootView(ScreenEnvironment environment, ScreenFactories factories = {},
             QWidget *parent = nullptr);
    ~RootView() override;

    Screen screen() const { return m_screen; }
    /// Changes the screen. Rebuilds the screen widget when the kind or the editor's note
    /// changes; a change to the list flushes the store.
    void setScreen(const Screen &screen);

    /// The footer's account button: list → account, account → list, trash and editor → account.
    static Screen afterAccountToggle(const Screen &current);

    /// The footer's account action (what the button does).
    void toggleAccount();

    QWidget *currentScreenWidget() const { return m_current; }
    FooterView *footer() const { return m_footer; }

    /// Gives the keyboard focus to the current screen (when the panel opens).
    void focusScreen();

Q_SIGNALS:
    void screenChanged(const Screen &screen);

private:
    void applyLanguage();
    void rebuild();
    QWidget *build(const Screen &screen);

    ScreenEnvironment m_environment;
    ScreenFactories m_factories;
    Screen m_screen;
    QVBoxLayout *m_layout = nullptr;
    QWidget *m_current = nullptr;
    FooterView *m_footer = nullptr;
};
