#pragma once

#include "settings/SettingsTypes.h"
#include "ui/account/AccountPart.h"

class AppSettings;
class HotKeyManager;
class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

/// The preferences section: launch at login (with the login item's problem, and a caption
/// when the app runs from a place a login entry cannot rely on), the global hot key, the tray
/// icon style, the panel height (380 to 900 in steps of 20) and the interface language.
/// Every control writes through to the settings and follows them. With the hot-key manager,
/// the hot-key row also says when the chosen combination does not work here (taken by
/// another program, or no facility on this desktop) and offers the desktop shortcut that
/// always works: a command to copy and where to add it.
class PreferencesSection : public AccountPart
{
    Q_OBJECT
public:
    PreferencesSection(AppSettings *settings, const HotKeyManager *hotKeys, QWidget *parent);

    /// The command a desktop shortcut runs to open and close the panel.
    static QString toggleCommand();

    /// Whether `executable` lies where an installed copy lives (/usr, /opt, Flatpak's /app,
    /// /snap, or the user's ~/.local), so that a login entry pointing at it keeps working.
    static bool isInstalledLocation(const QString &executable, const QString &home);
    /// The tooltip and accessible name of a tray icon choice: what its picture shows, and the
    /// group it belongs to.
    static QString iconChoiceName(MenuBarIcon icon);

protected:
    void render() override;
    void translate() override;
    void restyle() override;

private:
    void renderHotKeyStatus();

    AppSettings *m_settings;
    const HotKeyManager *m_hotKeys;

    QAbstractButton *m_launchAtLogin = nullptr;
    QLabel *m_launchProblem = nullptr;
    QLabel *m_launchOutside = nullptr;
    QComboBox *m_hotKey = nullptr;
    QLabel *m_hotKeyProblem = nullptr;
    QLabel *m_hotKeyNotice = nullptr;
    QWidget *m_hotKeyFallback = nullptr;
    QLabel *m_hotKeyCommand = nullptr;
    QPushButton *m_hotKeyCopy = nullptr;
    QButtonGroup *m_iconGroup = nullptr;
    QSlider *m_panelHeight = nullptr;
    QLabel *m_panelHeightValue = nullptr;
    QComboBox *m_language = nullptr;
};
