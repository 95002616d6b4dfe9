#pragma once

#include "telemetry/Diagnostics.h"
#include "ui/account/AccountPart.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QAbstractButton;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class SyncEngine;
namespace AccountControls {
class Spinner;
}

/// The feedback form, shown as a sheet over the account screen: a message, the switches for
/// the picture of the panel (only when one was taken) and the diagnostics bundle (which is
/// collected off the main thread as the form opens, and can be shown), the problem of the
/// last attempt, Cancel and Send. Send is off while sending and while the message is blank;
/// a failure keeps the message for another try. Once sent, the form gives way to a thank-you
/// with an OK button. Escape and Cancel close it.
class FeedbackView : public AccountPart
{
    Q_OBJECT
public:
    struct Options
    {
        /// Collects the bundle (on a worker thread); Diagnostics::collect when empty.
        std::function<Diagnostics::Bundle()> collect;
    };

    /// `picture`: PNG data of the panel, if one was taken. `dismiss` closes the sheet.
    FeedbackView(SyncEngine *sync, std::optional<QByteArray> picture,
                 std::function<void()> dismiss, QWidget *parent = nullptr,
                 const Options &options = {});
    ~FeedbackView() override;

    QString message() const;
    bool withPicture() const;
    bool withDiagnostics() const;
    const std::optional<Diagnostics::Bundle> &diagnostics() const { return m_diagnostics; }
    bool showingDiagnostics() const { return m_showingDiagnostics; }
    bool isSending() const { return m_sending; }
    bool isSent() const { return m_sent; }
    QString problem() const { return m_problem; }
    /// Not sending, and the message holds more than white space.
    bool canSend() const;

    /// Sends the form (nothing when it cannot be sent now).
    void send();
    void toggleDiagnostics();

Q_SIGNALS:
    void diagnosticsCollected();
    /// A send attempt ended (`isSent` and `problem` tell how).
    void sendingFinished();

protected:
    void render() override;
    void restyle() override;

private:
    void close();

    SyncEngine *m_sync;
    std::optional<QByteArray> m_picture;
    std::function<void()> m_dismiss;

    std::optional<Diagnostics::Bundle> m_diagnostics;
    bool m_showingDiagnostics = false;
    bool m_sending = false;
    bool m_sent = false;
    QString m_problem;

    QWidget *m_form = nullptr;
    QWidget *m_done = nullptr;
    QPlainTextEdit *m_message = nullptr;
    QWidget *m_pictureRow = nullptr;
    QAbstractButton *m_pictureSwitch = nullptr;
    QAbstractButton *m_diagnosticsSwitch = nullptr;
    QPushButton *m_showDiagnostics = nullptr;
    QPlainTextEdit *m_bundle = nullptr;
    QLabel *m_problemLabel = nullptr;
    AccountControls::Spinner *m_spinner = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_send = nullptr;
    QLabel *m_doneSymbol = nullptr;
    QPushButton *m_ok = nullptr;
};

/// The picture of the panel for a feedback message: the first visible panel window, else
/// the active window, grabbed and encoded as PNG; nothing when there is no such window or
/// encoding fails.
std::optional<QByteArray> panelPicture();
