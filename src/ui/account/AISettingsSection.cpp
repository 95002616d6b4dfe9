#include "ui/account/AISettingsSection.h"

#include "ai/AIService.h"
#include "ai/ProviderClient.h"
#include "ai/local/LocalEndpoints.h"
#include "base/Localization.h"
#include "settings/AppSettings.h"
#include "ui/account/AccountControls.h"
#include "ui/style/ScreenStyle.h"
#include "ui/widgets/DropDown.h"

#include <QAbstractButton>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace AccountControls;

namespace {

// Language names are shown in their own language, whatever the interface language is.
struct SpeechEntry
{
    AppLanguage language;
    const char *endonym; // null: the localized "same as interface"
};
constexpr SpeechEntry kSpeechLanguages[] = {
    { AppLanguage::System, nullptr },
    { AppLanguage::En, "English" },
    { AppLanguage::Es, "Español" },
    { AppLanguage::Pt, "Português (Brasil)" },
};

QWidget *rowWidget(QWidget *parent, QHBoxLayout **layout)
{
    auto *row = new QWidget(parent);
    *layout = new QHBoxLayout(row);
    (*layout)->setContentsMargins(0, 0, 0, 0);
    (*layout)->setSpacing(8);
    return row;
}

} // namespace

AISettingsSection::AISettingsSection(AppSettings *settings, AIService *ai, QWidget *parent)
    : AccountPart(parent)
    , m_settings(settings)
    , m_ai(ai)
{
    setObjectName(QStringLiteral("account.section.ai"));
    addTitle([] { return L("ai.title"); }, [] { return L("ai.subtitle"); });

    m_summaryEngine = new DropDown(this);
    m_summaryEngine->setObjectName(QStringLiteral("ai.summaries"));
    m_summaryEngine->addItem(QString(), int(AIEngine::Local));
    m_summaryEngine->addItem(QString(), int(AIEngine::Provider));
    column()->addLayout(pickerRow(this, [] { return L("ai.summaries"); }, m_summaryEngine));
    m_summaryReason = label(this, {}, true);
    m_summaryReason->setObjectName(QStringLiteral("ai.summaries.reason"));
    column()->addWidget(m_summaryReason);

    m_transcriptionEngine = new DropDown(this);
    m_transcriptionEngine->setObjectName(QStringLiteral("ai.transcription"));
    m_transcriptionEngine->addItem(QString(), int(AIEngine::Local));
    m_transcriptionEngine->addItem(QString(), int(AIEngine::Provider));
    column()->addLayout(pickerRow(this, [] { return L("ai.transcription"); }, m_transcriptionEngine));
    m_openaiOnly = label(this, [] { return L("ai.transcription.openaiOnly"); }, true);
    m_openaiOnly->setObjectName(QStringLiteral("ai.transcription.openaiOnly"));
    column()->addWidget(m_openaiOnly);

    m_speechLanguage = new DropDown(this);
    m_speechLanguage->setObjectName(QStringLiteral("ai.speechLanguage"));
    for (const SpeechEntry &entry : kSpeechLanguages)
        m_speechLanguage->addItem(entry.endonym ? QString::fromUtf8(entry.endonym) : QString(),
                                  int(entry.language));
    column()->addLayout(pickerRow(this, [] { return L("ai.speechLanguage"); }, m_speechLanguage));

    // The on-device servers: where they listen, and which model writes summaries. Each group
    // shows only while its job runs on this computer.
    const auto group = [this](const char *name) {
        auto *box = new QWidget(this);
        box->setObjectName(QString::fromLatin1(name));
        auto *layout = new QVBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(8);
        column()->addWidget(box);
        return box;
    };
    const auto addField = [this](QWidget *box, const char *name, std::function<QString()> text,
                                 QLabel **note) {
        auto *field = new QLineEdit(box);
        field->setObjectName(QString::fromLatin1(name));
        field->setMinimumWidth(190);
        auto *layout = static_cast<QVBoxLayout *>(box->layout());
        layout->addLayout(pickerRow(box, std::move(text), field));
        if (note) {
            *note = label(box, {}, true);
            (*note)->setObjectName(QString::fromLatin1(name) + QStringLiteral(".note"));
            (*note)->setWordWrap(true);
            layout->addWidget(*note);
        }
        return field;
    };
    m_speechGroup = group("ai.local.speechGroup");
    m_speechURL = addField(m_speechGroup, "ai.local.speechURL",
                           [] { return L("ai.local.speechURL"); }, &m_speechURLNote);
    m_modelGroup = group("ai.local.modelGroup");
    m_modelURL = addField(m_modelGroup, "ai.local.modelURL", [] { return L("ai.local.modelURL"); },
                          &m_modelURLNote);
    m_localModel = addField(m_modelGroup, "ai.local.model", [] { return L("ai.local.model"); },
                            nullptr);
    m_localEngines = label(this, {}, true);
    m_localEngines->setObjectName(QStringLiteral("ai.local.engines"));
    m_localEngines->setWordWrap(true);
    column()->addWidget(m_localEngines);
    column()->addWidget(label(this, [] { return L("ai.local.hint"); }, true));
    auto *divider = new QFrame(this);
    divider->setFixedHeight(1);
    m_divider = divider;
    column()->addWidget(divider);

    m_provider = new DropDown(this);
    m_provider->setObjectName(QStringLiteral("ai.provider"));
    for (AIProvider provider : allAIProviders())
        m_provider->addItem(QString(), int(provider));
    column()->addLayout(pickerRow(this, [] { return L("ai.provider"); }, m_provider));

    m_details = new QWidget(this);
    m_details->setObjectName(QStringLiteral("ai.details"));
    auto *details = new QVBoxLayout(m_details);
    details->setContentsMargins(0, 0, 0, 0);
    details->setSpacing(8);
    column()->addWidget(m_details);

    QHBoxLayout *row = nullptr;
    m_savedRow = rowWidget(m_details, &row);
    m_savedRow->setObjectName(QStringLiteral("ai.key.savedRow"));
    m_keyIcon = pictureLabel(m_savedRow, 16);
    row->addWidget(m_keyIcon);
    row->addWidget(label(m_savedRow, [] { return L("ai.key.saved"); }), 1);
    m_remove = button(m_savedRow, [] { return L("ai.key.remove"); });
    m_remove->setObjectName(QStringLiteral("ai.key.remove"));
    row->addWidget(m_remove);
    details->addWidget(m_savedRow);

    m_keyRow = rowWidget(m_details, &row);
    m_keyField = new QLineEdit(m_keyRow);
    m_keyField->setObjectName(QStringLiteral("ai.key.field"));
    // A key is a secret: masked while typed, never offered to input methods or history.
    m_keyField->setEchoMode(QLineEdit::Password);
    m_keyField->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData
                                    | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
    m_save = button(m_keyRow, [] { return L("ai.key.save"); });
    m_save->setObjectName(QStringLiteral("ai.key.save"));
    row->addWidget(m_keyField, 1);
    row->addWidget(m_save);
    details->addWidget(m_keyRow);
    m_keyPage = label(m_details, {});
    m_keyPage->setObjectName(QStringLiteral("ai.key.get"));
    m_keyPage->setTextFormat(Qt::RichText);
    m_keyPage->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    details->addWidget(m_keyPage);

    m_connectRow = rowWidget(m_details, &row);
    m_connect = button(m_connectRow, [] { return L("ai.connect.openrouter"); },
                       QStringLiteral("person.badge.key"));
    m_connect->setObjectName(QStringLiteral("ai.connect.openrouter"));
    m_connectSpinner = new Spinner(m_connectRow);
    m_connectCaption = label(m_connectRow, {}, true);
    m_connectCaption->setObjectName(QStringLiteral("ai.connect.caption"));
    row->addWidget(m_connect, 0, Qt::AlignTop);
    row->addWidget(m_connectSpinner, 0, Qt::AlignVCenter);
    row->addWidget(m_connectCaption, 1);
    details->addWidget(m_connectRow);

    m_model = new QLineEdit(m_details);
    m_model->setObjectName(QStringLiteral("ai.model"));
    // Wide enough for a model name such as "anthropic/claude-opus-5" without scrolling.
    m_model->setMinimumWidth(190);
    details->addLayout(pickerRow(m_details, [] { return L("ai.model"); }, m_model));
    details->addWidget(switchRow(m_details, [] { return L("ai.askBeforeSending"); },
                                 QStringLiteral("ai.askBeforeSending"), &m_ask));
    m_providerHint = label(m_details, {}, true);
    m_providerHint->setObjectName(QStringLiteral("ai.provider.hint"));
    details->addWidget(m_providerHint);
    m_keyProblem = label(this, {}, true);
    m_keyProblem->setObjectName(QStringLiteral("ai.key.problem"));
    column()->addWidget(m_keyProblem);

    const auto engineOf = [](DropDown *picker, int index) {
        return AIEngine(picker->itemData(index).toInt());
    };
    connect(m_summaryEngine, &QComboBox::currentIndexChanged, this, [this, engineOf](int index) {
        if (index >= 0 && m_settings)
            m_settings->setSummaryEngine(engineOf(m_summaryEngine, index));
    });
    connect(m_transcriptionEngine, &QComboBox::currentIndexChanged, this,
            [this, engineOf](int index) {
                if (index >= 0 && m_settings)
                    m_settings->setTranscriptionEngine(engineOf(m_transcriptionEngine, index));
            });
    connect(m_speechLanguage, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && m_settings)
            m_settings->setSpeechLanguage(AppLanguage(m_speechLanguage->itemData(index).toInt()));
    });
    connect(m_provider, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0 || !m_settings)
            return;
        // A half-typed key belongs to the provider it was typed for.
        m_keyField->clear();
        m_connectProblem.reset();
        m_settings->setAiProvider(AIProvider(m_provider->itemData(index).toInt()));
        scheduleRefresh();
    });
    connect(m_keyField, &QLineEdit::textChanged, this, &AISettingsSection::scheduleRefresh);
    connect(m_keyField, &QLineEdit::returnPressed, this, &AISettingsSection::saveKey);
    connect(m_save, &QPushButton::clicked, this, &AISettingsSection::saveKey);
    connect(m_remove, &QPushButton::clicked, this, &AISettingsSection::removeKey);
    connect(m_connect, &QPushButton::clicked, this, &AISettingsSection::connectOpenRouter);
    connect(m_keyPage, &QLabel::linkActivated, this, &openWebAddress);
    connect(m_model, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (m_settings)
            m_settings->setAiModel(m_settings->aiProvider(), text);
    });
    // Written when the user is done with a field: every keystroke would be a new address
    // for the engine to look at.
    connect(m_speechURL, &QLineEdit::editingFinished, this, [this] {
        if (m_settings)
            m_settings->setLocalSpeechURL(m_speechURL->text());
    });
    connect(m_modelURL, &QLineEdit::editingFinished, this, [this] {
        if (m_settings)
            m_settings->setLocalModelURL(m_modelURL->text());
    });
    connect(m_localModel, &QLineEdit::editingFinished, this, [this] {
        if (m_settings)
            m_settings->setLocalModel(m_localModel->text());
    });
    connect(m_ask, &QAbstractButton::toggled, this, [this](bool on) {
        if (m_settings)
            m_settings->setAiAskBeforeSending(on);
    });
    if (m_settings) {
        connect(m_settings, &AppSettings::aiProviderChanged, this, &AISettingsSection::scheduleRefresh);
        connect(m_settings, &AppSettings::aiModelsChanged, this, &AISettingsSection::scheduleRefresh);
        connect(m_settings, &AppSettings::summaryEngineChanged, this, &AISettingsSection::scheduleRefresh);
        connect(m_settings, &AppSettings::transcriptionEngineChanged, this,
                &AISettingsSection::scheduleRefresh);
        connect(m_settings, &AppSettings::speechLanguageChanged, this,
                &AISettingsSection::scheduleRefresh);
        connect(m_settings, &AppSettings::aiAskBeforeSendingChanged, this,
                &AISettingsSection::scheduleRefresh);
        connect(m_settings, &AppSettings::localSpeechURLChanged, this,
                &AISettingsSection::scheduleRefresh);
        connect(m_settings, &AppSettings::localModelURLChanged, this,
                &AISettingsSection::scheduleRefresh);
        connect(m_settings, &AppSettings::localModelChanged, this,
                &AISettingsSection::scheduleRefresh);
    }
    if (m_ai) {
        connect(m_ai, &AIService::storedKeysChanged, this, &AISettingsSection::scheduleRefresh);
        connect(m_ai, &AIService::connectingChanged, this, &AISettingsSection::scheduleRefresh);
        connect(m_ai, &AIService::keyProblemChanged, this, &AISettingsSection::scheduleRefresh);
        connect(m_ai, &AIService::keysLoaded, this, &AISettingsSection::scheduleRefresh);
        connect(m_ai, &AIService::localStatusChanged, this, &AISettingsSection::scheduleRefresh);
        // Local servers come and go: look again whenever the settings are opened.
        m_ai->refreshLocalStatus();
    }
    finishBuilding();
}

QString AISettingsSection::keyDraft() const
{
    return m_keyField->text();
}

void AISettingsSection::setKeyDraft(const QString &draft)
{
    m_keyField->setText(draft);
}

void AISettingsSection::saveKey()
{
    if (!m_ai || !m_settings)
        return;
    const QString draft = m_keyField->text();
    if (draft.trimmed().isEmpty())
        return;
    // The draft leaves the field at once: the key is not kept on screen while the keychain
    // answers.
    m_keyField->clear();
    auto running = runSave(this, draft);
    Q_UNUSED(running);
}

QCoro::Task<> AISettingsSection::runSave(QPointer<AISettingsSection> self, QString draft)
{
    const QPointer<AIService> ai = self->m_ai;
    const AIProvider provider = self->m_settings->aiProvider();
    co_await ai->saveKey(draft, provider);
    if (self)
        self->scheduleRefresh();
}

void AISettingsSection::removeKey()
{
    if (!m_ai || !m_settings)
        return;
    auto running = runRemove(this);
    Q_UNUSED(running);
}

QCoro::Task<> AISettingsSection::runRemove(QPointer<AISettingsSection> self)
{
    const QPointer<AIService> ai = self->m_ai;
    co_await ai->removeKey(self->m_settings->aiProvider());
    if (self)
        self->scheduleRefresh();
}

void AISettingsSection::connectOpenRouter()
{
    if (!m_ai || m_ai->connecting())
        return;
    m_connectProblem.reset();
    auto running = runConnect(this);
    Q_UNUSED(running);
    scheduleRefresh();
}

QCoro::Task<> AISettingsSection::runConnect(QPointer<AISettingsSection> self)
{
    const QPointer<AIService> ai = self->m_ai;
    const std::optional<QString> problem = co_await ai->connectOpenRouter();
    if (!self)
        co_return;
    self->m_connectProblem = problem && !problem->isEmpty() ? problem : std::nullopt;
    self->scheduleRefresh();
}

void AISettingsSection::translate()
{
    {
        const QSignalBlocker blocker(m_summaryEngine);
        m_summaryEngine->setItemText(0, L("ai.engine.local.summary"));
        m_summaryEngine->setItemText(1, L("ai.engine.provider"));
    }
    {
        const QSignalBlocker blocker(m_transcriptionEngine);
        m_transcriptionEngine->setItemText(0, L("ai.engine.local"));
        m_transcriptionEngine->setItemText(1, L("ai.engine.provider"));
    }
    {
        const QSignalBlocker blocker(m_speechLanguage);
        m_speechLanguage->setItemText(0, L("ai.speechLanguage.interface"));
    }
    {
        const QSignalBlocker blocker(m_provider);
        for (int i = 0; i < m_provider->count(); ++i)
            m_provider->setItemText(i, aiProviderPickerLabel(AIProvider(m_provider->itemData(i).toInt())));
    }
    ScreenStyle::describe(m_summaryEngine, L("ai.summaries"));
    ScreenStyle::describe(m_transcriptionEngine, L("ai.transcription"));
    ScreenStyle::describe(m_speechLanguage, L("ai.speechLanguage"));
    ScreenStyle::describe(m_provider, L("ai.provider"));
    ScreenStyle::describe(m_model, L("ai.model"));
    ScreenStyle::describe(m_speechURL, L("ai.local.speechURL"));
    ScreenStyle::describe(m_modelURL, L("ai.local.modelURL"));
    ScreenStyle::describe(m_localModel, L("ai.local.model"));
    m_speechURL->setPlaceholderText(QString::fromLatin1(AppSettings::defaultLocalSpeechURL));
    m_modelURL->setPlaceholderText(QString::fromLatin1(AppSettings::defaultLocalModelURL));
    m_localModel->setPlaceholderText(QString::fromLatin1(AppSettings::defaultLocalModel));
    m_keyField->setPlaceholderText(L("ai.key.placeholder"));
    ScreenStyle::describe(m_keyField, L("ai.key.placeholder"));
}

void AISettingsSection::restyle()
{
    const QPalette pal = palette();
    setTextColor(m_openaiOnly, ScreenStyle::orange(pal));
    setTextColor(m_keyProblem, ScreenStyle::orange(pal));
    setSymbolPicture(m_keyIcon, QStringLiteral("key.fill"), Icons::Tint::Text);
    m_divider->setStyleSheet(QStringLiteral("background: %1;")
                                 .arg(ScreenStyle::withAlpha(pal.color(QPalette::Mid), 0.6)
                                          .name(QColor::HexArgb)));
}

void AISettingsSection::render()
{
    if (!m_settings)
        return;
    const AIProvider provider = m_settings->aiProvider();
    const auto select = [](DropDown *picker, int value) {
        const QSignalBlocker blocker(picker);
        picker->setCurrentIndex(picker->findData(value));
    };
    select(m_summaryEngine, int(m_settings->summaryEngine()));
    select(m_transcriptionEngine, int(m_settings->transcriptionEngine()));
    select(m_speechLanguage, int(m_settings->speechLanguage()));
    select(m_provider, int(provider));

    std::optional<QString> reason;
    if (m_settings->summaryEngine() == AIEngine::Local && m_ai)
        reason = m_ai->localSummaryUnavailableReason();
    m_summaryReason->setText(reason.value_or(QString()));
    m_summaryReason->setVisible(reason.has_value() && !reason->isEmpty());
    m_openaiOnly->setVisible(m_settings->transcriptionEngine() == AIEngine::Provider
                             && provider != AIProvider::OpenAI);
    renderLocal();

    m_details->setVisible(provider != AIProvider::None);
    // Without the service there is no keychain to put a key in: no key controls at all.
    const bool stored = m_ai && m_ai->hasKey(provider);
    m_savedRow->setVisible(m_ai && stored);
    m_keyRow->setVisible(m_ai && !stored);
    m_keyField->setEnabled(m_ai != nullptr);
    m_save->setEnabled(m_ai && !m_keyField->text().trimmed().isEmpty());
    m_remove->setEnabled(m_ai != nullptr);
    const QUrl page = ProviderHosts::keyPage(provider);
    m_keyPage->setVisible(m_ai && !stored && page.isValid() && !page.isEmpty());
    m_keyPage->setText(page.isValid() ? link(page, L("ai.key.get")) : QString());
    const bool connecting = m_ai && m_ai->connecting();
    m_connectRow->setVisible(m_ai && !stored && provider == AIProvider::OpenRouter);
    m_connect->setEnabled(m_ai && !connecting);
    m_connectSpinner->setVisible(connecting);
    m_connectCaption->setText(m_connectProblem.value_or(L("ai.connect.hint")));
    setTextColor(m_connectCaption, m_connectProblem ? ScreenStyle::orange(palette())
                                                    : ScreenStyle::secondary(palette()));

    m_model->setPlaceholderText(aiProviderDefaultModel(provider));
    const QString model = m_settings->aiModels().value(aiProviderRawValue(provider));
    if (m_model->text() != model && !m_model->hasFocus())
        m_model->setText(model);
    {
        const QSignalBlocker blocker(m_ask);
        m_ask->setChecked(m_settings->aiAskBeforeSending());
    }
    m_providerHint->setText(L("ai.provider.hint", aiProviderDisplayName(provider)));

    const QString problem = m_ai ? m_ai->keyProblem() : QString();
    m_keyProblem->setText(problem);
    m_keyProblem->setVisible(!problem.isEmpty());
}

void AISettingsSection::renderLocal()
{
    const auto showField = [this](QLineEdit *field, QLabel *note, const QString &stored,
                                  const LocalEndpoints::Endpoint &endpoint, const char *variable) {
        // The environment's address wins for this run; the field says so instead of
        // pretending that editing it would change anything now.
        field->setEnabled(!endpoint.fromEnvironment);
        const QString shown = endpoint.fromEnvironment ? endpoint.written : stored;
        if (field->text() != shown && !field->hasFocus())
            field->setText(shown);
        QString text;
        if (!endpoint.problem.isEmpty())
            text = endpoint.problem;
        else if (endpoint.fromEnvironment)
            text = L("ai.local.environment", QString::fromLatin1(variable));
        note->setText(text);
        note->setVisible(!text.isEmpty());
        setTextColor(note, endpoint.problem.isEmpty() ? ScreenStyle::secondary(palette())
                                                      : ScreenStyle::orange(palette()));
    };
    showField(m_speechURL, m_speechURLNote, m_settings->localSpeechURL(),
              LocalEndpoints::speechServer(*m_settings), LocalEndpoints::speechVariable);
    showField(m_modelURL, m_modelURLNote, m_settings->localModelURL(),
              LocalEndpoints::modelServer(*m_settings), LocalEndpoints::modelVariable);
    if (m_localModel->text() != m_settings->localModel() && !m_localModel->hasFocus())
        m_localModel->setText(m_settings->localModel());
    m_speechGroup->setVisible(m_settings->transcriptionEngine() == AIEngine::Local);
    m_modelGroup->setVisible(m_settings->summaryEngine() == AIEngine::Local);

    // Which engine runs each job that stays on this computer with the current choices.
    QStringList engines;
    if (m_ai) {
        engines.append(m_ai->localEngineFor(AIService::Action::Kind::ExtractText));
        if (m_settings->transcriptionEngine() == AIEngine::Local)
            engines.append(m_ai->localEngineFor(AIService::Action::Kind::Transcribe));
        if (m_settings->summaryEngine() == AIEngine::Local)
            engines.append(m_ai->localEngineFor(AIService::Action::Kind::Summarize));
    }
    engines.removeAll(QString());
    m_localEngines->setText(engines.join(u'\n'));
    m_localEngines->setVisible(!engines.isEmpty());
}
