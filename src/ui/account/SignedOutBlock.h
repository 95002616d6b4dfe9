#pragma once

#include "ui/account/AccountPart.h"

class AccountOperations;
class QAbstractButton;
class QLabel;
class QPushButton;
class SyncEngine;

/// The sync block without an account: the terms switch (with a link to the server's terms
/// when the health answer names them), the Google sign-in button with a spinner while it
/// works, a cancel button while the browser is out, and the sign-in hint.
class SignedOutBlock : public AccountPart
{
    Q_OBJECT
public:
    SignedOutBlock(SyncEngine *sync, AccountOperations *operations, QWidget *parent);

    bool acceptedTerms() const { return m_acceptedTerms; }
    /// Whether the sign-in button is enabled: not busy, terms accepted, the last health check
    /// succeeded and the server offers Google sign-in with a client identifier.
    bool canSignIn() const;
    /// Starts the Google sign-in (when it can be started).
    void signIn();

protected:
    void render() override;
    void translate() override;
    void restyle() override;

private:
    SyncEngine *m_sync;
    AccountOperations *m_operations;
    bool m_acceptedTerms = false;

    QAbstractButton *m_terms = nullptr;
    QLabel *m_termsLink = nullptr;
    QPushButton *m_signIn = nullptr;
    QWidget *m_spinner = nullptr;
    QPushButton *m_cancelSignIn = nullptr;
};
