#include "ui/share/ShareButton.h"

#include "base/Localization.h"
#include "telemetry/Telemetry.h"
#include "platform/FileReveal.h"
#include "ui/style/ScreenStyle.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

ShareButton::ShareButton(Telemetry *telemetry, QWidget *parent)
    : QToolButton(parent), m_telemetry(telemetry)
{
    setAutoRaise(true);
    setPopupMode(QToolButton::InstantPopup);
    setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ScreenStyle::setupButton(this, QStringLiteral("square.and.arrow.up"), L("editor.share"));
    m_menu = new QMenu(this);
    m_copyText = m_menu->addAction(L("share.copyText"), this, &ShareButton::copyText);
    m_email = m_menu->addAction(L("share.email"), this, &ShareButton::sendEmail);
    m_copyFiles = m_menu->addAction(L("share.copyFiles"), this, &ShareButton::copyFiles);
    m_showFiles = m_menu->addAction(L("share.showFiles"), this, &ShareButton::showFiles);
    setMenu(m_menu);
    // The panel closes when it loses focus; the menu takes focus, so hold it meanwhile.
    connect(m_menu, &QMenu::aboutToShow, this, [this] {
        if (!m_holding) {
            m_holding = true;
            Q_EMIT holdPanel();
        }
    });
    connect(m_menu, &QMenu::aboutToHide, this, [this] {
        if (m_holding) {
            m_holding = false;
            Q_EMIT releasePanel();
        }
    });
    updateActions();
}

void ShareButton::setItems(const Items &items)
{
    m_items = items;
    updateActions();
}

void ShareButton::updateActions()
{
    setEnabled(!m_items.isEmpty());
    m_copyText->setEnabled(!m_items.text.isEmpty());
    m_email->setEnabled(!m_items.text.isEmpty());
    m_copyFiles->setEnabled(!m_items.files.isEmpty());
    m_showFiles->setEnabled(!m_items.files.isEmpty());
    ScreenStyle::describe(this, L("editor.share"));
}

QUrl ShareButton::mailtoUrl(const QString &text)
{
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    // Encode everything a mail client could read as a delimiter ("&", "+", "#", "=").
    url.setQuery(QStringLiteral("body=") + QString::fromLatin1(QUrl::toPercentEncoding(text)),
                 QUrl::StrictMode);
    return url;
}

void ShareButton::copyText()
{
    if (m_items.text.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(m_items.text);
    Q_EMIT notice(L("share.copied.text"));
}

void ShareButton::sendEmail()
{
    if (m_items.text.isEmpty())
        return;
    if (m_telemetry)
        m_telemetry->record(QStringLiteral("note_shared"), { { QStringLiteral("how"), QStringLiteral("email") } });
    if (!QDesktopServices::openUrl(mailtoUrl(m_items.text)))
        Q_EMIT notice(L("share.email.failed"));
}

void ShareButton::copyFiles()
{
    if (m_items.files.isEmpty())
        return;
    auto *data = new QMimeData;
    QList<QUrl> urls;
    QByteArray gnome("copy");
    for (const QString &file : std::as_const(m_items.files)) {
        const QUrl url = QUrl::fromLocalFile(file);
        urls << url;
        gnome += '\n' + url.toEncoded();
    }
    data->setUrls(urls);
    // GNOME's and other file managers' paste reads this list.
    data->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
    QGuiApplication::clipboard()->setMimeData(data);
    Q_EMIT notice(L("share.copied.files", int(m_items.files.size())));
}

void ShareButton::showFiles()
{
    if (!m_items.files.isEmpty() && !FileReveal::reveal(m_items.files))
        Q_EMIT notice(L("share.showFiles.failed"));
}

void ShareButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        ScreenStyle::setSymbol(this, QStringLiteral("square.and.arrow.up"));
    QToolButton::changeEvent(event);
}
