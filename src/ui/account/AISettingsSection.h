#pragma once

#include "ui/account/AccountPart.h"

#include <QCoro/QCoroTask>
#include <QPointer>

#include <optional>

class AIService;
class AppSettings;
class DropDown;
class QAbstractButton;
class QLabel;
class QLineEdit;
class QPushButton;

/// The AI block of the account screen: where summaries and transcripts are made (and which
/// on-device engine runs each job), the speech language, the local servers' addresses and
/// model, the cloud provider, its key (typed, or for OpenRouter fetched through the
/// browser), its model and whether to ask before sending. A stored key is never shown back:
/// the section only says that one is saved. Holds only the half-typed key and the last
/// OpenRouter connect failure.
class AISettingsSection : public AccountPart
{
    Q_OBJECT
public:
    /// `ai` may be null: the provider's key controls are then hidden.
    AISettingsSection(AppSettings *settings, AIService *ai, QWidget *parent);

    /// The key typed so far (never a stored key).
    QString keyDraft() const;
    void setKeyDraft(const QString &draft);
    /// The last OpenRouter connect failure shown, if any.
    std::optional<QString> connectProblem() const { return m_connectProblem; }

    /// Saves the draft as the chosen provider's key and empties the draft.
    void saveKey();
    void removeKey();
    /// Runs OpenRouter's browser flow; a failure is kept as `connectProblem`.
    void connectOpenRouter();

    QLineEdit *keyField() const { return m_keyField; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *removeButton() const { return m_remove; }
    QPushButton *connectButton() const { return m_connect; }
    QLineEdit *speechServerField() const { return m_speechURL; }
    QLineEdit *modelServerField() const { return m_modelURL; }
    QLineEdit *localModelField() const { return m_localModel; }

protected:
    void render() override;
    void translate() override;
    void restyle() override;

private:
    void renderLocal();
    static QCoro::Task<> runSave(QPointer<AISettingsSection> self, QString draft);
    static QCoro::Task<> runRemove(QPointer<AISettingsSection> self);
    static QCoro::Task<> runConnect(QPointer<AISettingsSection> self);

    QPointer<AppSettings> m_settings;
    QPointer<AIService> m_ai;
    std::optional<QString> m_connectProblem;

    DropDown *m_summaryEngine = nullptr;
    QLabel *m_summaryReason = nullptr;
    DropDown *m_transcriptionEngine = nullptr;
    QLabel *m_openaiOnly = nullptr;
    DropDown *m_speechLanguage = nullptr;
    QWidget *m_divider = nullptr;
    DropDown *m_provider = nullptr;
    QWidget *m_details = nullptr;
    QWidget *m_savedRow = nullptr;
    QLabel *m_keyIcon = nullptr;
    QPushButton *m_remove = nullptr;
    QWidget *m_keyRow = nullptr;
    QLineEdit *m_keyField = nullptr;
    QPushButton *m_save = nullptr;
    QLabel *m_keyPage = nullptr;
    QWidget *m_connectRow = nullptr;
    QPushButton *m_connect = nullptr;
    QWidget *m_connectSpinner = nullptr;
    QLabel *m_connectCaption = nullptr;
    QLineEdit *m_model = nullptr;
    QAbstractButton *m_ask = nullptr;
    QLabel *m_providerHint = nullptr;
    QLabel *m_keyProblem = nullptr;
    QLabel *m_localEngines = nullptr;
    QWidget *m_speechGroup = nullptr;
    QWidget *m_modelGroup = nullptr;
    QLineEdit *m_speechURL = nullptr;
    QLabel *m_speechURLNote = nullptr;
    QLineEdit *m_modelURL = nullptr;
    QLabel *m_modelURLNote = nullptr;
    QLineEdit *m_localModel = nullptr;
};
