#pragma once

#include "base/Localization.h"
#include "settings/SettingsTypes.h"
#include "platform/LoginItem.h"

#include <QLocale>
#include <QMap>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QSettings;

/// All user settings. Every value is read from the settings store once, at construction, and
/// each change is written back (and synced) at once. Bad stored values read as the defaults:
/// an unknown raw value, or a Bool or number stored as something that is not one.
///
/// Keys and defaults: "menuBarIcon" (dotted), "email" (empty), "autoSync" (true),
/// "hotKey" (optionSpace), "notesFolder" (AppPaths::defaultNotesFolder()), "panelHeight" (520,
/// clamped to 380…900), "language" (system), "aiProvider" (none), "aiModels" (a group of
/// provider raw value → model name), "summaryEngine" and "transcriptionEngine" (local),
/// "speechLanguage" (system), "aiAskBeforeSending" (true), "localSpeechURL"
/// (defaultLocalSpeechURL), "localModelURL" (defaultLocalModelURL), "localModel"
/// (defaultLocalModel). `launchAtLogin` is not stored: it
/// mirrors the login item.
class AppSettings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString serverURL READ serverURL NOTIFY serverURLChanged)
    Q_PROPERTY(
        MenuBarIcon menuBarIcon READ menuBarIcon WRITE setMenuBarIcon NOTIFY menuBarIconChanged)
    Q_PROPERTY(QString email READ email WRITE setEmail NOTIFY emailChanged)
    Q_PROPERTY(bool autoSync READ autoSync WRITE setAutoSync NOTIFY autoSyncChanged)
    Q_PROPERTY(HotKeyCombo hotKey READ hotKey WRITE setHotKey NOTIFY hotKeyChanged)
    Q_PROPERTY(QString notesFolder READ notesFolder WRITE setNotesFolder NOTIFY notesFolderChanged)
    Q_PROPERTY(int panelHeight READ panelHeight WRITE setPanelHeight NOTIFY panelHeightChanged)
    Q_PROPERTY(AppLanguage language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(AIProvider aiProvider READ aiProvider WRITE setAiProvider NOTIFY aiProviderChanged)
    Q_PROPERTY(ModelMap aiModels READ aiModels WRITE setAiModels NOTIFY aiModelsChanged)
    Q_PROPERTY(AIEngine summaryEngine READ summaryEngine WRITE setSummaryEngine NOTIFY
                   summaryEngineChanged)
    Q_PROPERTY(AIEngine transcriptionEngine READ transcriptionEngine WRITE setTranscriptionEngine
                   NOTIFY transcriptionEngineChanged)
    Q_PROPERTY(AppLanguage speechLanguage READ speechLanguage WRITE setSpeechLanguage NOTIFY
                   speechLanguageChanged)
    Q_PROPERTY(bool aiAskBeforeSending READ aiAskBeforeSending WRITE setAiAskBeforeSending NOTIFY
                   aiAskBeforeSendingChanged)
    Q_PROPERTY(QString localSpeechURL READ localSpeechURL WRITE setLocalSpeechURL NOTIFY
                   localSpeechURLChanged)
    Q_PROPERTY(QString localModelURL READ localModelURL WRITE setLocalModelURL NOTIFY
                   localModelURLChanged)
    Q_PROPERTY(QString localModel READ localModel WRITE setLocalModel NOTIFY localModelChanged)
    Q_PROPERTY(
        bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)
    Q_PROPERTY(
        QString launchAtLoginProblem READ launchAtLoginProblem NOTIFY launchAtLoginProblemChanged)

public:
    /// Model name per provider raw value.
    using ModelMap = QMap<QString, QString>;

    static constexpr int minimumPanelHeight = 380;
    static constexpr int maximumPanelHeight = 900;
    static constexpr int defaultPanelHeight = 520;
    /// The server used when no development server is set.
    static constexpr const char *productionServerURL = "https://api.scrivelbar.app";
    /// The on-device speech server (whisper.cpp's server listens here by default).
    static constexpr const char *defaultLocalSpeechURL = "http://127.0.0.1:8080";
    /// The on-device language model server (Ollama's port).
    static constexpr const char *defaultLocalModelURL = "http://127.0.0.1:11434";
    static constexpr const char *defaultLocalModel = "llama3.2";

    /// Production: the QSettings store of organisation and application "ScrivelBar", and the
    /// desktop's login item.
    explicit AppSettings(QObject *parent = nullptr);
    /// An INI file at `settingsFile` (tests, tools). `loginItem` null → the desktop's login item.
    explicit AppSettings(const QString &settingsFile,
                         std::unique_ptr<LoginItem> loginItem = nullptr, QObject *parent = nullptr);
    ~AppSettings() override;

    /// The development server (AppInfo::devServer) without trailing slashes when one is set;
    /// else the address the user chose ("serverURL"), else productionServerURL.
    QString serverURL() const { return m_devServer.isNull() ? m_chosenServerURL : m_devServer; }
    /// Whether the development override decides the server (the user's choice is kept but
    /// not used).
    bool serverURLOverridden() const { return !m_devServer.isNull(); }
    /// The user's server address, productionServerURL when none was chosen.
    QString chosenServerURL() const { return m_chosenServerURL; }
    /// `text` as a server address: trimmed, without trailing slashes, an https address with a
    /// host (http only to this computer, 127.0.0.1, ::1 or localhost: a session token never
    /// travels unencrypted over a network). Nothing when it is not one.
    static std::optional<QString> normalizedServerURL(const QString &text);
    /// Keeps `url` as the user's server (after normalizedServerURL; anything else is
    /// ignored and false returned). The production address is stored as no choice at all.
    bool setServerURL(const QString &url);

    MenuBarIcon menuBarIcon() const { return m_menuBarIcon; }
    QString email() const { return m_email; }
    bool autoSync() const { return m_autoSync; }
    HotKeyCombo hotKey() const { return m_hotKey; }
    /// Whether the hot key is a choice on record: a known raw value was stored, or one was set
    /// since. False on a first start, where `hotKey` is only the default.
    bool hotKeyStored() const { return m_hotKeyStored; }
    /// Absolute path of the notes folder.
    QString notesFolder() const { return m_notesFolder; }
    int panelHeight() const { return m_panelHeight; }
    AppLanguage language() const { return m_language; }
    AIProvider aiProvider() const { return m_aiProvider; }
    ModelMap aiModels() const { return m_aiModels; }
    AIEngine summaryEngine() const { return m_summaryEngine; }
    AIEngine transcriptionEngine() const { return m_transcriptionEngine; }
    AppLanguage speechLanguage() const { return m_speechLanguage; }
    bool aiAskBeforeSending() const { return m_aiAskBeforeSending; }
    /// The address of the on-device speech server as the user wrote it (the engine checks it).
    QString localSpeechURL() const { return m_localSpeechURL; }
    /// The address of the on-device language model server as the user wrote it.
    QString localModelURL() const { return m_localModelURL; }
    /// The model the on-device language model server runs summaries with.
    QString localModel() const { return m_localModel; }
    bool launchAtLogin() const { return m_launchAtLogin; }
    /// The message shown under the launch-at-login switch; empty when there is none.
    QString launchAtLoginProblem() const { return m_launchAtLoginProblem; }

    /// The model to use with `provider`: the user's entry trimmed of white space when not
    /// empty, otherwise the provider's default model (empty for None).
    QString aiModel(AIProvider provider) const;
    /// Locale for speech recognition: en → "en", es → "es", pt → "pt_BR", system → the
    /// interface locale (which is the system locale when the interface follows the system).
    QLocale speechLocale() const;

    void setMenuBarIcon(MenuBarIcon icon);
    void setEmail(const QString &email);
    void setAutoSync(bool on);
    void setHotKey(HotKeyCombo combo);
    /// Ignores empty and relative paths (the folder is always an absolute path).
    void setNotesFolder(const QString &path);
    /// Clamped to 380…900.
    void setPanelHeight(int height);
    /// Stores the raw value and switches Localization to the language at once.
    void setLanguage(AppLanguage language);
    void setAiProvider(AIProvider provider);
    /// Entries with an empty model name, or whose key cannot be a settings key, are dropped.
    void setAiModels(const ModelMap &models);
    /// Sets or (with an empty model) removes the entry for one provider.
    void setAiModel(AIProvider provider, const QString &model);
    void setSummaryEngine(AIEngine engine);
    void setTranscriptionEngine(AIEngine engine);
    void setSpeechLanguage(AppLanguage language);
    void setAiAskBeforeSending(bool on);
    /// The three local-engine settings are trimmed; an empty value means the default.
    void setLocalSpeechURL(const QString &url);
    void setLocalModelURL(const QString &url);
    void setLocalModel(const QString &model);
    /// Registers or unregisters the login item. On failure `launchAtLoginProblem` carries
    /// "account.launchAtLogin.failed" and the value goes back to the login item's real status.
    void setLaunchAtLogin(bool on);

    /// Re-reads the login item: `launchAtLogin` follows its status, and a login item waiting for
    /// the user's approval sets "account.launchAtLogin.blocked" (no problem otherwise).
    void refreshLaunchAtLogin();

signals:
    /// The server in use changed (not sent for a choice the development override hides).
    void serverURLChanged(const QString &url);
    void menuBarIconChanged(MenuBarIcon icon);
    void emailChanged(const QString &email);
    void autoSyncChanged(bool on);
    void hotKeyChanged(HotKeyCombo combo);
    void notesFolderChanged(const QString &path);
    void panelHeightChanged(int height);
    void languageChanged(AppLanguage language);
    void aiProviderChanged(AIProvider provider);
    void aiModelsChanged(const AppSettings::ModelMap &models);
    void summaryEngineChanged(AIEngine engine);
    void transcriptionEngineChanged(AIEngine engine);
    void speechLanguageChanged(AppLanguage language);
    void aiAskBeforeSendingChanged(bool on);
    void localSpeechURLChanged(const QString &url);
    void localModelURLChanged(const QString &url);
    void localModelChanged(const QString &model);
    void launchAtLoginChanged(bool on);
    void launchAtLoginProblemChanged(const QString &problem);

private:
    AppSettings(std::unique_ptr<QSettings> store, std::unique_ptr<LoginItem> loginItem,
                QObject *parent);
    void load();
    void write(const QString &key, const QVariant &value);
    void writeModels();
    void setLaunchAtLoginProblem(const QString &problem);
    bool setLocalText(QString &field, const QString &key, const QString &value,
                      const char *fallback);

    std::unique_ptr<QSettings> m_store;
    std::unique_ptr<LoginItem> m_loginItem;

    QString m_devServer; ///< null without the development override
    QString m_chosenServerURL;
    MenuBarIcon m_menuBarIcon = MenuBarIcon::Dotted;
    QString m_email;
    bool m_autoSync = true;
    HotKeyCombo m_hotKey = HotKeyCombo::OptionSpace;
    bool m_hotKeyStored = false;
    QString m_notesFolder;
    int m_panelHeight = defaultPanelHeight;
    AppLanguage m_language = AppLanguage::System;
    AIProvider m_aiProvider = AIProvider::None;
    ModelMap m_aiModels;
    AIEngine m_summaryEngine = AIEngine::Local;
    AIEngine m_transcriptionEngine = AIEngine::Local;
    AppLanguage m_speechLanguage = AppLanguage::System;
    bool m_aiAskBeforeSending = true;
    QString m_localSpeechURL = QString::fromLatin1(defaultLocalSpeechURL);
    QString m_localModelURL = QString::fromLatin1(defaultLocalModelURL);
    QString m_localModel = QString::fromLatin1(defaultLocalModel);
    bool m_launchAtLogin = false;
    QString m_launchAtLoginProblem;
};
