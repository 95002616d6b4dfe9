#include "settings/AppSettings.h"

#include "base/VariantTypes.h"

#include "base/AppInfo.h"
#include "base/AppPaths.h"

#include <QDir>
#include <QLoggingCategory>
#include <QSettings>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

Q_LOGGING_CATEGORY(lcSettings, "app.scrivelbar.app.settings")

const QString keyMenuBarIcon = QStringLiteral("menuBarIcon");
const QString keyEmail = QStringLiteral("email");
const QString keyAutoSync = QStringLiteral("autoSync");
const QString keyHotKey = QStringLiteral("hotKey");
const QString keyNotesFolder = QStringLiteral("notesFolder");
const QString keyPanelHeight = QStringLiteral("panelHeight");
const QString keyLanguage = QStringLiteral("language");
const QString keyAiProvider = QStringLiteral("aiProvider");
const QString keyAiModels = QStringLiteral("aiModels");
const QString keySummaryEngine = QStringLiteral("summaryEngine");
const QString keyTranscriptionEngine = QStringLiteral("transcriptionEngine");
const QString keySpeechLanguage = QStringLiteral("speechLanguage");
const QString keyAiAskBeforeSending = QStringLiteral("aiAskBeforeSending");
const QString keyServerURL = QStringLiteral("serverURL");
const QString keyLocalSpeechURL = QStringLiteral("localSpeechURL");
const QString keyLocalModelURL = QStringLiteral("localModelURL");
const QString keyLocalModel = QStringLiteral("localModel");

// An INI store gives every scalar back as text, so "wrong type" means text that does not spell
// a value of the type. Values written by this process keep their QVariant type.
std::optional<bool> asBool(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (isNumberType(value)) {
        const double number = value.toDouble();
        if (number == 0.0 || number == 1.0)
            return number == 1.0;
        return std::nullopt;
    }
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return std::nullopt;
}

std::optional<double> asFiniteNumber(const QVariant &value)
{
    double number = 0;
    if (isNumberType(value)) {
        number = value.toDouble();
    } else if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        number = QLocale::c().toDouble(value.toString().trimmed(), &ok);
        if (!ok)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(number))
        return std::nullopt;
    return number;
}

std::optional<QString> asText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (value.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(value.toByteArray());
    return std::nullopt;
}

int clampPanelHeight(double height)
{
    const double clamped = std::clamp(height, double(AppSettings::minimumPanelHeight),
                                      double(AppSettings::maximumPanelHeight));
    return int(std::lround(clamped));
}

// Notes folder paths must be absolute: a relative one would follow the working directory.
// A leading "~" (hand-edited settings) means the home folder.
std::optional<QString> normalizedFolder(const QString &path)
{
    QString expanded = path.trimmed();
    if (expanded == QLatin1String("~"))
        expanded = QDir::homePath();
    else if (expanded.startsWith(QLatin1String("~/")))
        expanded = QDir::homePath() + expanded.mid(1);
    if (expanded.isEmpty() || !QDir::isAbsolutePath(expanded))
        return std::nullopt;
    return QDir::cleanPath(expanded);
}

bool isUsableModelKey(const QString &key)
{
    return !key.isEmpty() && !key.contains(QLatin1Char('/')) && !key.contains(QLatin1Char('\\'));
}

AppSettings::ModelMap cleanedModels(const AppSettings::ModelMap &models)
{
    AppSettings::ModelMap cleaned;
    for (auto it = models.cbegin(); it != models.cend(); ++it)
        if (isUsableModelKey(it.key()) && !it.value().isEmpty())
            cleaned.insert(it.key(), it.value());
    return cleaned;
}

} // namespace

AppSettings::AppSettings(QObject *parent)
    : AppSettings(
        std::make_unique<QSettings>(QStringLiteral("ScrivelBar"), QStringLiteral("ScrivelBar")),
        nullptr, parent)
{
}

AppSettings::AppSettings(const QString &settingsFile, std::unique_ptr<LoginItem> loginItem,
                         QObject *parent)
    : AppSettings(std::make_unique<QSettings>(settingsFile, QSettings::IniFormat),
                  std::move(loginItem), parent)
{
}

AppSettings::AppSettings(std::unique_ptr<QSettings> store, std::unique_ptr<LoginItem> loginItem,
                         QObject *parent)
    : QObject(parent)
    , m_store(std::move(store))
    , m_loginItem(loginItem ? std::move(loginItem) : LoginItem::create())
{
    if (const auto dev = AppInfo::devServer()) {
        QString url = *dev;
        while (url.endsWith(QLatin1Char('/')))
            url.chop(1);
        // A malformed override still wins: silently talking to production from a development
        // build (with its "Dev" folders) would be worse than failing requests.
        m_devServer = url.isNull() ? QStringLiteral("") : url;
    }
    m_chosenServerURL = QString::fromLatin1(productionServerURL);
    load();
    Localization::setLanguage(m_language);
    m_launchAtLogin = m_loginItem->status() == LoginItem::Status::Enabled;
}

AppSettings::~AppSettings() = default;

std::optional<QString> AppSettings::normalizedServerURL(const QString &text)
{
    QString trimmed = text.trimmed();
    while (trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const QUrl url(trimmed, QUrl::StrictMode);
    if (trimmed.isEmpty() || !url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty()
        || url.hasQuery() || url.hasFragment())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    const QString host = url.host().toLower();
    const bool loopback = host == QLatin1String("127.0.0.1") || host == QLatin1String("::1")
        || host == QLatin1String("localhost");
    if (scheme != QLatin1String("https") && !(scheme == QLatin1String("http") && loopback))
        return std::nullopt;
    return url.toString(QUrl::FullyEncoded);
}

bool AppSettings::setServerURL(const QString &url)
{
    const auto normalized = normalizedServerURL(url);
    if (!normalized)
        return false;
    if (*normalized == m_chosenServerURL)
        return true;
    m_chosenServerURL = *normalized;
    if (m_chosenServerURL == QLatin1String(productionServerURL)) {
        m_store->remove(keyServerURL);
        m_store->sync();
    } else {
        write(keyServerURL, m_chosenServerURL);
    }
    if (!serverURLOverridden())
        emit serverURLChanged(m_chosenServerURL);
    return true;
}

void AppSettings::load()
{
    QSettings &s = *m_store;
    const auto text = [&](const QString &key) {
        return asText(s.value(key));
    };

    if (const auto raw = text(keyMenuBarIcon))
        m_menuBarIcon = menuBarIconFromRawValue(*raw);
    if (const auto raw = text(keyEmail))
        m_email = *raw;
    if (const auto on = asBool(s.value(keyAutoSync)))
        m_autoSync = *on;
    if (const auto raw = text(keyHotKey)) {
        m_hotKey = hotKeyComboFromRawValue(*raw);
        // A value this version cannot read is no choice the user made.
        m_hotKeyStored = hotKeyComboRawValue(m_hotKey) == *raw;
    }

    m_notesFolder = AppPaths::defaultNotesFolder();
    if (const auto raw = text(keyNotesFolder)) {
        if (const auto folder = normalizedFolder(*raw))
            m_notesFolder = *folder;
        else
            qCWarning(lcSettings) << "ignoring stored notes folder that is not absolute:" << *raw;
    }

    if (const auto raw = text(keyServerURL)) {
        if (const auto url = normalizedServerURL(*raw))
            m_chosenServerURL = *url;
        else
            qCWarning(lcSettings, "ignoring stored server address that is not an https address");
    }

    if (const auto height = asFiniteNumber(s.value(keyPanelHeight)))
        m_panelHeight = clampPanelHeight(*height);
    if (const auto raw = text(keyLanguage))
        m_language = appLanguageFromRawValue(*raw);
    if (const auto raw = text(keyAiProvider))
        m_aiProvider = aiProviderFromRawValue(*raw);

    // A plain map value (as another writer might leave) first, the group on top of it.
    ModelMap models;
    const QVariant mapValue = s.value(keyAiModels);
    if (mapValue.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = mapValue.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            if (const auto model = asText(it.value()))
                models.insert(it.key(), *model);
    }
    s.beginGroup(keyAiModels);
    for (const QString &provider : s.childKeys())
        if (const auto model = asText(s.value(provider)))
            models.insert(provider, *model);
    s.endGroup();
    m_aiModels = cleanedModels(models);

    if (const auto raw = text(keySummaryEngine))
        m_summaryEngine = aiEngineFromRawValue(*raw);
    if (const auto raw = text(keyTranscriptionEngine))
        m_transcriptionEngine = aiEngineFromRawValue(*raw);
    if (const auto raw = text(keySpeechLanguage))
        m_speechLanguage = appLanguageFromRawValue(*raw);
    if (const auto on = asBool(s.value(keyAiAskBeforeSending)))
        m_aiAskBeforeSending = *on;
    const auto localText = [&](const QString &key, QString &field) {
        if (const auto raw = text(key); raw && !raw->trimmed().isEmpty())
            field = raw->trimmed();
    };
    localText(keyLocalSpeechURL, m_localSpeechURL);
    localText(keyLocalModelURL, m_localModelURL);
    localText(keyLocalModel, m_localModel);
}

void AppSettings::write(const QString &key, const QVariant &value)
{
    m_store->setValue(key, value);
    m_store->sync();
    if (m_store->status() != QSettings::NoError)
        qCWarning(lcSettings) << "could not write the settings file" << m_store->fileName();
}

void AppSettings::writeModels()
{
    m_store->remove(keyAiModels);
    m_store->beginGroup(keyAiModels);
    for (auto it = m_aiModels.cbegin(); it != m_aiModels.cend(); ++it)
        m_store->setValue(it.key(), it.value());
    m_store->endGroup();
    m_store->sync();
    if (m_store->status() != QSettings::NoError)
        qCWarning(lcSettings) << "could not write the settings file" << m_store->fileName();
}

QString AppSettings::aiModel(AIProvider provider) const
{
    const QString entry = m_aiModels.value(aiProviderRawValue(provider)).trimmed();
    return entry.isEmpty() ? aiProviderDefaultModel(provider) : entry;
}

QLocale AppSettings::speechLocale() const
{
    if (m_speechLanguage == AppLanguage::System)
        return Localization::locale();
    return Localization::localeFor(m_speechLanguage);
}

void AppSettings::setMenuBarIcon(MenuBarIcon icon)
{
    if (icon == m_menuBarIcon)
        return;
    m_menuBarIcon = icon;
    write(keyMenuBarIcon, menuBarIconRawValue(icon));
    emit menuBarIconChanged(icon);
}

void AppSettings::setEmail(const QString &email)
{
    if (email == m_email)
        return;
    m_email = email;
    write(keyEmail, email);
    emit emailChanged(email);
}

void AppSettings::setAutoSync(bool on)
{
    if (on == m_autoSync)
        return;
    m_autoSync = on;
    write(keyAutoSync, on);
    emit autoSyncChanged(on);
}

void AppSettings::setHotKey(HotKeyCombo combo)
{
    if (combo == m_hotKey)
        return;
    m_hotKey = combo;
    m_hotKeyStored = true;
    write(keyHotKey, hotKeyComboRawValue(combo));
    emit hotKeyChanged(combo);
}

void AppSettings::setNotesFolder(const QString &path)
{
    const auto folder = normalizedFolder(path);
    if (!folder) {
        qCWarning(lcSettings) << "refusing a notes folder that is not an absolute path:" << path;
        return;
    }
    if (*folder == m_notesFolder)
        return;
    m_notesFolder = *folder;
    write(keyNotesFolder, m_notesFolder);
    emit notesFolderChanged(m_notesFolder);
}

void AppSettings::setPanelHeight(int height)
{
    // The reading rule clamps anyway; clamping here too keeps the published value the same as
    // what the next launch will read.
    const int clamped = clampPanelHeight(height);
    if (clamped == m_panelHeight)
        return;
    m_panelHeight = clamped;
    write(keyPanelHeight, clamped);
    emit panelHeightChanged(clamped);
}

void AppSettings::setLanguage(AppLanguage language)
{
    if (language == m_language)
        return;
    m_language = language;
    write(keyLanguage, appLanguageRawValue(language));
    Localization::setLanguage(language);
    emit languageChanged(language);
}

void AppSettings::setAiProvider(AIProvider provider)
{
    if (provider == m_aiProvider)
        return;
    m_aiProvider = provider;
    write(keyAiProvider, aiProviderRawValue(provider));
    emit aiProviderChanged(provider);
}

void AppSettings::setAiModels(const ModelMap &models)
{
    const ModelMap cleaned = cleanedModels(models);
    if (cleaned == m_aiModels)
        return;
    m_aiModels = cleaned;
    writeModels();
    emit aiModelsChanged(m_aiModels);
}

void AppSettings::setAiModel(AIProvider provider, const QString &model)
{
    ModelMap models = m_aiModels;
    if (model.isEmpty())
        models.remove(aiProviderRawValue(provider));
    else
        models.insert(aiProviderRawValue(provider), model);
    setAiModels(models);
}

void AppSettings::setSummaryEngine(AIEngine engine)
{
    if (engine == m_summaryEngine)
        return;
    m_summaryEngine = engine;
    write(keySummaryEngine, aiEngineRawValue(engine));
    emit summaryEngineChanged(engine);
}

void AppSettings::setTranscriptionEngine(AIEngine engine)
{
    if (engine == m_transcriptionEngine)
        return;
    m_transcriptionEngine = engine;
    write(keyTranscriptionEngine, aiEngineRawValue(engine));
    emit transcriptionEngineChanged(engine);
}

void AppSettings::setSpeechLanguage(AppLanguage language)
{
    if (language == m_speechLanguage)
        return;
    m_speechLanguage = language;
    write(keySpeechLanguage, appLanguageRawValue(language));
    emit speechLanguageChanged(language);
}

void AppSettings::setAiAskBeforeSending(bool on)
{
    if (on == m_aiAskBeforeSending)
        return;
    m_aiAskBeforeSending = on;
    write(keyAiAskBeforeSending, on);
    emit aiAskBeforeSendingChanged(on);
}

bool AppSettings::setLocalText(QString &field, const QString &key, const QString &value,
                               const char *fallback)
{
    const QString trimmed = value.trimmed();
    const QString next = trimmed.isEmpty() ? QString::fromLatin1(fallback) : trimmed;
    if (next == field)
        return false;
    field = next;
    // The default is not written down, so that a later version's default applies.
    if (trimmed.isEmpty()) {
        m_store->remove(key);
        m_store->sync();
    } else {
        write(key, next);
    }
    return true;
}

void AppSettings::setLocalSpeechURL(const QString &url)
{
    if (setLocalText(m_localSpeechURL, keyLocalSpeechURL, url, defaultLocalSpeechURL))
        emit localSpeechURLChanged(m_localSpeechURL);
}

void AppSettings::setLocalModelURL(const QString &url)
{
    if (setLocalText(m_localModelURL, keyLocalModelURL, url, defaultLocalModelURL))
        emit localModelURLChanged(m_localModelURL);
}

void AppSettings::setLocalModel(const QString &model)
{
    if (setLocalText(m_localModel, keyLocalModel, model, defaultLocalModel))
        emit localModelChanged(m_localModel);
}

void AppSettings::setLaunchAtLogin(bool on)
{
    if (on == m_launchAtLogin)
        return;
    m_launchAtLogin = on;
    emit launchAtLoginChanged(on);

    const bool enabled = m_loginItem->status() == LoginItem::Status::Enabled;
    if (on == enabled)
        return;
    const auto result = on ? m_loginItem->registerItem() : m_loginItem->unregisterItem();
    if (result) {
        setLaunchAtLoginProblem({});
        return;
    }
    qCWarning(lcSettings) << "login item change failed:" << result.error().message;
    setLaunchAtLoginProblem(L("account.launchAtLogin.failed", result.error().message));
    // Show the real state; with the value equal to the status this call changes nothing else.
    setLaunchAtLogin(m_loginItem->status() == LoginItem::Status::Enabled);
}

void AppSettings::refreshLaunchAtLogin()
{
    const LoginItem::Status status = m_loginItem->status();
    const bool enabled = status == LoginItem::Status::Enabled;
    if (enabled != m_launchAtLogin)
        setLaunchAtLogin(enabled);
    setLaunchAtLoginProblem(status == LoginItem::Status::RequiresApproval
                                ? L("account.launchAtLogin.blocked")
                                : QString());
}

void AppSettings::setLaunchAtLoginProblem(const QString &problem)
{
    if (problem == m_launchAtLoginProblem)
        return;
    m_launchAtLoginProblem = problem;
    emit launchAtLoginProblemChanged(problem);
}
