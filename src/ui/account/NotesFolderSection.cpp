#include "ui/account/NotesFolderSection.h"

#include "base/Localization.h"
#include "platform/FileReveal.h"
#include "settings/AppSettings.h"
#include "store/NoteStore.h"
#include "ui/account/AccountControls.h"
#include "ui/shell/Dialogs.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using namespace AccountControls;

NotesFolderSection::NotesFolderSection(NoteStore *store, AppSettings *settings, Dialogs *dialogs,
                                       QWidget *parent)
    : AccountPart(parent)
    , m_store(store)
    , m_settings(settings)
    , m_dialogs(dialogs)
    , m_openFolder(&FileReveal::openFolder)
{
    setObjectName(QStringLiteral("account.section.folder"));
    addTitle([] { return L("account.folder"); }, [] { return L("account.folder.subtitle"); });
    auto *pathRow = new QHBoxLayout;
    pathRow->setSpacing(6);
    m_folderIcon = pictureLabel(this, 16);
    auto *path = new ElidedLabel(this, Qt::ElideMiddle);
    path->setObjectName(QStringLiteral("account.folder.path"));
    m_folderPath = path;
    pathRow->addWidget(m_folderIcon);
    pathRow->addWidget(m_folderPath, 1);
    column()->addLayout(pathRow);
    m_changeFolder = button(this, [] { return L("account.folder.change"); });
    m_changeFolder->setObjectName(QStringLiteral("account.folder.change"));
    m_revealFolder = button(
        this, [] { return L("account.folder.reveal"); }, QStringLiteral("folder"));
    m_revealFolder->setObjectName(QStringLiteral("account.folder.reveal"));
    column()->addWidget(flow(this, { m_changeFolder, m_revealFolder }));

    m_errorRow = new QWidget(this);
    m_errorRow->setObjectName(QStringLiteral("account.folder.error"));
    auto *errorRow = new QHBoxLayout(m_errorRow);
    errorRow->setContentsMargins(0, 0, 0, 0);
    errorRow->setSpacing(6);
    m_errorIcon = pictureLabel(m_errorRow, 16);
    m_errorText = label(m_errorRow, {}, true);
    m_errorOk = button(m_errorRow, [] { return L("common.ok"); });
    m_errorOk->setObjectName(QStringLiteral("account.folder.error.ok"));
    errorRow->addWidget(m_errorIcon, 0, Qt::AlignTop);
    errorRow->addWidget(m_errorText, 1);
    errorRow->addWidget(m_errorOk, 0, Qt::AlignVCenter);
    column()->addWidget(m_errorRow);

    connect(m_changeFolder, &QPushButton::clicked, this, &NotesFolderSection::chooseFolder);
    connect(m_revealFolder, &QPushButton::clicked, this, &NotesFolderSection::revealFolder);
    connect(m_errorOk, &QPushButton::clicked, this, [this] { m_store->setLastError(QString()); });
    connect(m_store, &NoteStore::changed, this, &NotesFolderSection::scheduleRefresh);
    connect(m_store, &NoteStore::lastErrorChanged, this, &NotesFolderSection::scheduleRefresh);
    connect(m_settings, &AppSettings::notesFolderChanged, this,
            &NotesFolderSection::scheduleRefresh);
    finishBuilding();
}

void NotesFolderSection::setFolderOpener(FolderOpener opener)
{
    m_openFolder = opener ? std::move(opener) : FolderOpener(&FileReveal::openFolder);
}

void NotesFolderSection::restyle()
{
    setTextColor(m_errorText, palette().color(QPalette::WindowText));
    setSymbolPicture(m_folderIcon, QStringLiteral("folder"), Icons::Tint::Secondary);
    setSymbolPicture(m_errorIcon, QStringLiteral("exclamationmark.triangle.fill"),
                     Icons::Tint::Orange);
}

void NotesFolderSection::render()
{
    static_cast<ElidedLabel *>(m_folderPath)
        ->setFullText(displayPath(m_store->notesFolder(), QDir::homePath()));
    const QString error = m_store->lastError();
    m_errorRow->setVisible(!error.isEmpty());
    m_errorText->setText(error);
}

void NotesFolderSection::chooseFolder()
{
    // The panel stays open from the chooser until the store has moved the notes. The release
    // goes through its own pointer: this screen may be gone when the modal chooser returns.
    const QPointer<Dialogs> dialogs = m_dialogs;
    Q_EMIT dialogs->holdPanel();
    QPointer<NotesFolderSection> self(this);
    const auto chosen
        = m_dialogs->chooseFolder(window(), L("account.folder.panel.message"),
                                  m_store->notesFolder(), L("account.folder.panel.prompt"));
    if (self && chosen && !chosen->trimmed().isEmpty()) {
        m_store->relocate(*chosen);
        // What the store now uses: the new folder, or the old one when moving failed.
        m_settings->setNotesFolder(m_store->notesFolder());
    }
    if (dialogs)
        Q_EMIT dialogs->releasePanel();
}

void NotesFolderSection::revealFolder()
{
    m_store->flush();
    const QString folder = m_store->notesFolder();
    if (m_openFolder(folder))
        return;
    // Without a file manager or a handler for folders nothing would happen at all.
    m_dialogs->alert(window(), L("account.folder.reveal.failed"),
                     L("account.folder.reveal.failed.message", QDir::toNativeSeparators(folder)));
}

QString NotesFolderSection::displayPath(const QString &path, const QString &home)
{
    const QString cleanHome = QDir::cleanPath(home);
    const QString cleanPath = QDir::cleanPath(path);
    // "/" as home would turn every path into "~…"; a prefix must also end at a folder
    // boundary, or "/home/al" would shorten "/home/alice".
    if (cleanHome.isEmpty() || cleanHome == u"/" || home.isEmpty())
        return cleanPath;
    if (cleanPath == cleanHome)
        return QStringLiteral("~");
    if (cleanPath.startsWith(cleanHome + u'/'))
        return u'~' + cleanPath.mid(cleanHome.size());
    return cleanPath;
}
