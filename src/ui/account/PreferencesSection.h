#pragma once

#include "settings/SettingsTypes.h"
#include "ui/account/AccountPart.h"

class AppSettings;
class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QLabel;
class QSlider;

/// The preferences section: launch at login (with the login item's problem, and a caption
/// when the app runs from a place a login entry cannot rely on), the global hot key, the tray
/// icon style, the panel height (380 to 900 in steps of 20) and the interface language.
/// Every control writes through to the settings and follows them.
class PreferencesSection : public AccountPart
{
    Q_OBJECT
public:
    PreferencesSection(AppSettings *settings, QWidget *parent);

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
    AppSettings *m_settings;

    QAbstractButton *m_launchAtLogin = nullptr;
    QLabel *m_launchProblem = nullptr;
    QLabel *m_launchOutside = nullptr;
    QComboBox *m_hotKey = nullptr;
    QButtonGroup *m_iconGroup = nullptr;
    QSlider *m_panelHeight = nullptr;
    QLabel *m_panelHeightValue = nullptr;
    QComboBox *m_language = nullptr;
};
