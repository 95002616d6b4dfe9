#pragma once

#include <QPointer>
#include <QStringList>
#include <QToolButton>

class QAction;
class QMenu;
class Telemetry;

/// The editor's share button: a menu that copies the note's text, sends it by e-mail
/// (mailto:), copies its media files, or shows them in the file manager. The panel is held
/// open while the menu is up and released exactly once when it closes.
class ShareButton : public QToolButton
{
    Q_OBJECT
public:
    /// What is shared: the text without media lines, and the referenced media files.
    struct Items
    {
        QString text;
        QStringList files;
        bool isEmpty() const { return text.isEmpty() && files.isEmpty(); }
        bool operator==(const Items &) const = default;
    };

    /// `telemetry` records the shares made through the menu (none when null).
    explicit ShareButton(Telemetry *telemetry, QWidget *parent = nullptr);

    /// Replaces the items; the button is enabled only when there is something to share.
    void setItems(const Items &items);
    Items items() const { return m_items; }
    QMenu *shareMenu() const { return m_menu; }

    /// The e-mail address opened by the e-mail entry: "mailto:?body=<text>".
    static QUrl mailtoUrl(const QString &text);

    void copyText();
    void sendEmail();
    void copyFiles();
    void showFiles();

Q_SIGNALS:
    void holdPanel();
    void releasePanel();
    /// A short confirmation, or what went wrong (no mail program, no file manager), for the
    /// screen's notice.
    void notice(const QString &message);

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateActions();

    QPointer<Telemetry> m_telemetry;
    Items m_items;
    QMenu *m_menu = nullptr;
    QAction *m_copyText = nullptr;
    QAction *m_email = nullptr;
    QAction *m_copyFiles = nullptr;
    QAction *m_showFiles = nullptr;
    bool m_holding = false;
};
