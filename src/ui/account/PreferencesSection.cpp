#include "ui/account/PreferencesSection.h"

#include "base/Localization.h"
#include "platform/HotKeyManager.h"
#include "settings/AppSettings.h"
#include "ui/account/AccountControls.h"
#include "ui/style/ScreenStyle.h"
#include "ui/widgets/DropDown.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace AccountControls;

namespace {

constexpr int kPanelHeightStep = 20;

// Language names are shown in their own language, whatever the interface language is.
struct LanguageEntry
{
    AppLanguage language;
    const char *endonym; // null: the localized "same as system"
};
constexpr LanguageEntry kLanguages[] = {
    { AppLanguage::System, nullptr },
    { AppLanguage::En, "English" },
    { AppLanguage::Es, "Español" },
    { AppLanguage::Pt, "Português (Brasil)" },
};

// What each tray icon's picture shows, in words.
QString iconMeaning(MenuBarIcon icon)
{
    switch (icon) {
    case MenuBarIcon::List:
        return L("account.icon.list");
    case MenuBarIcon::Dotted:
        return L("account.icon.dotted");
    case MenuBarIcon::Pencil:
        return L("account.icon.pencil");
    case MenuBarIcon::Append:
        return L("account.icon.append");
    case MenuBarIcon::Stack:
        return L("account.icon.stack");
    }
    return menuBarIconRawValue(icon);
}

// The picker label of a combination the hot-key manager reports, by its keys.
QString comboLabel(const std::optional<GlobalHotKey> &hotKey)
{
    if (!hotKey)
        return {};
    for (HotKeyCombo combo : allHotKeyCombos())
        if (const auto candidate = globalHotKey(combo); candidate && candidate->keys == hotKey->keys)
            return hotKeyComboLabel(combo);
    return hotKey->label;
}

} // namespace

PreferencesSection::PreferencesSection(AppSettings *settings, const HotKeyManager *hotKeys,
                                       QWidget *parent)
    : AccountPart(parent)
    , m_settings(settings)
    , m_hotKeys(hotKeys)
{
    setObjectName(QStringLiteral("account.section.prefs"));
    addTitle([] { return L("account.prefs"); });
    column()->addWidget(switchRow(
        this, [] { return L("account.launchAtLogin"); }, QStringLiteral("account.launchAtLogin"),
        &m_launchAtLogin));
    m_launchProblem = label(this, {}, true);
    m_launchProblem->setObjectName(QStringLiteral("account.launchAtLogin.problem"));
    column()->addWidget(m_launchProblem);
    m_launchOutside = label(
        this, [] { return L("account.launchAtLogin.outside"); }, true);
    m_launchOutside->setObjectName(QStringLiteral("account.launchAtLogin.outside"));
    column()->addWidget(m_launchOutside);

    m_hotKey = new DropDown(this);
    m_hotKey->setObjectName(QStringLiteral("account.hotkey"));
    for (HotKeyCombo combo : allHotKeyCombos())
        m_hotKey->addItem(QString(), int(combo));
    column()->addSpacing(4);
    column()->addLayout(pickerRow(
        this, [] { return L("account.hotkey"); }, m_hotKey));
    column()->addWidget(label(
        this, [] { return L("account.hotkey.hint"); }, true));
    m_hotKeyNotice = label(this, {}, true);
    m_hotKeyNotice->setObjectName(QStringLiteral("account.hotkey.notice"));
    column()->addWidget(m_hotKeyNotice);
    m_hotKeyProblem = label(this, {}, true);
    m_hotKeyProblem->setObjectName(QStringLiteral("account.hotkey.problem"));
    column()->addWidget(m_hotKeyProblem);
    // The desktop's own shortcut settings can always run the command, whatever the desktop
    // lets an application grab.
    m_hotKeyFallback = new QWidget(this);
    m_hotKeyFallback->setObjectName(QStringLiteral("account.hotkey.fallback"));
    auto *fallback = new QVBoxLayout(m_hotKeyFallback);
    fallback->setContentsMargins(0, 0, 0, 0);
    fallback->setSpacing(4);
    auto *commandRow = new QHBoxLayout;
    commandRow->setSpacing(8);
    m_hotKeyCommand = new QLabel(toggleCommand(), m_hotKeyFallback);
    m_hotKeyCommand->setObjectName(QStringLiteral("account.hotkey.command"));
    m_hotKeyCommand->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_hotKeyCommand->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_hotKeyCopy = button(m_hotKeyFallback, [] { return L("account.hotkey.copy"); });
    m_hotKeyCopy->setObjectName(QStringLiteral("account.hotkey.copy"));
    commandRow->addWidget(m_hotKeyCommand, 1);
    commandRow->addWidget(m_hotKeyCopy, 0);
    fallback->addLayout(commandRow);
    fallback->addWidget(label(
        m_hotKeyFallback, [] { return L("account.hotkey.where"); }, true));
    column()->addWidget(m_hotKeyFallback);

    auto *icons = new QWidget(this);
    auto *iconRow = new QHBoxLayout(icons);
    iconRow->setContentsMargins(0, 0, 0, 0);
    iconRow->setSpacing(2);
    m_iconGroup = new QButtonGroup(this);
    m_iconGroup->setExclusive(true);
    for (MenuBarIcon icon : menuBarIconPickerOrder()) {
        auto *choice
            = ScreenStyle::toolButton(icons, menuBarIconRawValue(icon), iconChoiceName(icon));
        choice->setObjectName(QStringLiteral("account.icon.") + menuBarIconRawValue(icon));
        choice->setCheckable(true);
        choice->setFixedSize(28, 26);
        m_iconGroup->addButton(choice, int(icon));
        iconRow->addWidget(choice);
    }
    column()->addSpacing(4);
    column()->addLayout(pickerRow(
        this, [] { return L("account.icon"); }, icons));

    auto *heightRow = new QHBoxLayout;
    heightRow->setSpacing(8);
    heightRow->addWidget(label(this, [] { return L("account.panelHeight"); }), 0);
    m_panelHeight = new QSlider(Qt::Horizontal, this);
    m_panelHeight->setObjectName(QStringLiteral("account.panelHeight"));
    // The slider counts steps of 20 points, so every position is a valid height.
    m_panelHeight->setRange(
        0, (AppSettings::maximumPanelHeight - AppSettings::minimumPanelHeight) / kPanelHeightStep);
    m_panelHeight->setSingleStep(1);
    m_panelHeight->setPageStep(1);
    m_panelHeightValue = new QLabel(this);
    m_panelHeightValue->setObjectName(QStringLiteral("account.panelHeight.value"));
    m_panelHeightValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_panelHeightValue->setMinimumWidth(std::max(
        30, m_panelHeightValue->fontMetrics().horizontalAdvance(QStringLiteral("900")) + 2));
    heightRow->addWidget(m_panelHeight, 1);
    heightRow->addWidget(m_panelHeightValue);
    column()->addSpacing(4);
    column()->addLayout(heightRow);
    column()->addWidget(label(
        this, [] { return L("account.panelHeight.hint"); }, true));

    m_language = new DropDown(this);
    m_language->setObjectName(QStringLiteral("account.language"));
    for (const LanguageEntry &entry : kLanguages)
        m_language->addItem(entry.endonym ? QString::fromUtf8(entry.endonym) : QString(),
                            int(entry.language));
    column()->addSpacing(4);
    column()->addLayout(pickerRow(
        this, [] { return L("account.language"); }, m_language));
    column()->addWidget(label(
        this, [] { return L("account.language.hint"); }, true));

    connect(m_launchAtLogin, &QAbstractButton::toggled, m_settings, &AppSettings::setLaunchAtLogin);
    connect(m_hotKey, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_settings->setHotKey(HotKeyCombo(m_hotKey->itemData(index).toInt()));
    });
    connect(m_hotKeyCopy, &QPushButton::clicked, this, [] {
        if (QClipboard *clipboard = QGuiApplication::clipboard())
            clipboard->setText(toggleCommand());
    });
    if (m_hotKeys)
        connect(m_hotKeys, &HotKeyManager::statusChanged, this,
                &PreferencesSection::scheduleRefresh);
    connect(m_iconGroup, &QButtonGroup::idClicked, this,
            [this](int id) { m_settings->setMenuBarIcon(MenuBarIcon(id)); });
    connect(m_panelHeight, &QSlider::valueChanged, this, [this](int step) {
        m_settings->setPanelHeight(AppSettings::minimumPanelHeight + step * kPanelHeightStep);
    });
    connect(m_language, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_settings->setLanguage(AppLanguage(m_language->itemData(index).toInt()));
    });
    connect(m_settings, &AppSettings::launchAtLoginChanged, this,
            &PreferencesSection::scheduleRefresh);
    connect(m_settings, &AppSettings::launchAtLoginProblemChanged, this,
            &PreferencesSection::scheduleRefresh);
    connect(m_settings, &AppSettings::hotKeyChanged, this, &PreferencesSection::scheduleRefresh);
    connect(m_settings, &AppSettings::menuBarIconChanged, this,
            &PreferencesSection::scheduleRefresh);
    connect(m_settings, &AppSettings::panelHeightChanged, this,
            &PreferencesSection::scheduleRefresh);
    finishBuilding();
}

QString PreferencesSection::toggleCommand()
{
    return QStringLiteral("scrivelbar --toggle");
}

QString PreferencesSection::iconChoiceName(MenuBarIcon icon)
{
    return L("account.icon.choice", iconMeaning(icon));
}

void PreferencesSection::translate()
{
    for (QAbstractButton *choice : m_iconGroup->buttons())
        ScreenStyle::describe(choice, iconChoiceName(MenuBarIcon(m_iconGroup->id(choice))));
    ScreenStyle::describe(m_hotKey, L("account.hotkey"));
    ScreenStyle::describe(m_language, L("account.language"));
    ScreenStyle::describe(m_panelHeight, L("account.panelHeight"));
    {
        const QSignalBlocker blocker(m_hotKey);
        for (int i = 0; i < m_hotKey->count(); ++i)
            m_hotKey->setItemText(i, hotKeyComboLabel(HotKeyCombo(m_hotKey->itemData(i).toInt())));
    }
    {
        const QSignalBlocker blocker(m_language);
        m_language->setItemText(0, L("account.language.system"));
    }
}

void PreferencesSection::restyle()
{
    setTextColor(m_launchProblem, ScreenStyle::orange(palette()));
    setTextColor(m_hotKeyProblem, ScreenStyle::orange(palette()));
    for (QAbstractButton *choice : m_iconGroup->buttons())
        ScreenStyle::setSymbol(choice, menuBarIconRawValue(MenuBarIcon(m_iconGroup->id(choice))));
}

void PreferencesSection::render()
{
    {
        const QSignalBlocker blocker(m_launchAtLogin);
        m_launchAtLogin->setChecked(m_settings->launchAtLogin());
    }
    const QString problem = m_settings->launchAtLoginProblem();
    m_launchProblem->setText(problem);
    m_launchProblem->setVisible(!problem.isEmpty());
    // An AppImage runs from a mount that is gone at the next login.
    const bool installed = !qEnvironmentVariableIsSet("APPIMAGE")
        && isInstalledLocation(QCoreApplication::applicationFilePath(), QDir::homePath());
    m_launchOutside->setVisible(!installed);
    {
        const QSignalBlocker blocker(m_hotKey);
        m_hotKey->setCurrentIndex(m_hotKey->findData(int(m_settings->hotKey())));
    }
    renderHotKeyStatus();
    if (QAbstractButton *choice = m_iconGroup->button(int(m_settings->menuBarIcon())))
        choice->setChecked(true);
    {
        const QSignalBlocker blocker(m_panelHeight);
        const int height = m_settings->panelHeight();
        m_panelHeight->setValue(
            int(std::lround(double(height - AppSettings::minimumPanelHeight) / kPanelHeightStep)));
        m_panelHeightValue->setText(QString::number(height));
    }
    {
        const QSignalBlocker blocker(m_language);
        m_language->setCurrentIndex(m_language->findData(int(m_settings->language())));
    }
}

void PreferencesSection::renderHotKeyStatus()
{
    using Status = HotKeyManager::Status;
    const Status status = m_hotKeys ? m_hotKeys->status() : Status::Off;
    QString problem;
    if (status == Status::Taken)
        problem = L("account.hotkey.taken", comboLabel(m_hotKeys->requested()));
    else if (status == Status::Unsupported)
        problem = L("account.hotkey.unsupported");
    else if (status == Status::Pending)
        problem = L("account.hotkey.pending", comboLabel(m_hotKeys->requested()));
    m_hotKeyProblem->setText(problem);
    m_hotKeyProblem->setVisible(!problem.isEmpty());
    m_hotKeyFallback->setVisible(status == Status::Taken || status == Status::Unsupported);

    // Said while the replacement is the one in force; any change of the hot key ends it.
    QString notice;
    if (m_hotKeys && m_hotKeys->replacedHotKey() && status == Status::Active)
        notice = L("account.hotkey.replaced", comboLabel(m_hotKeys->replacedHotKey()),
                   comboLabel(m_hotKeys->registered()));
    m_hotKeyNotice->setText(notice);
    m_hotKeyNotice->setVisible(!notice.isEmpty());
}

bool PreferencesSection::isInstalledLocation(const QString &executable, const QString &home)
{
    const QString path = QDir::cleanPath(executable);
    static const QStringList systemPrefixes {
        QStringLiteral("/usr/"),
        QStringLiteral("/opt/"),
        QStringLiteral("/app/"),
        QStringLiteral("/snap/"),
    };
    for (const QString &prefix : systemPrefixes)
        if (path.startsWith(prefix))
            return true;
    const QString cleanHome = QDir::cleanPath(home);
    return !home.isEmpty() && cleanHome != u"/"
        && path.startsWith(cleanHome + QStringLiteral("/.local/"));
}
