#include "ui/account/SignedOutBlock.h"

#include "base/Localization.h"
#include "sync/SyncEngine.h"
#include "ui/account/AccountControls.h"
#include "ui/account/AccountOperations.h"
#include "ui/style/Icons.h"
#include "ui/style/ScreenStyle.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace AccountControls;

SignedOutBlock::SignedOutBlock(SyncEngine *sync, AccountOperations *operations, QWidget *parent)
    : AccountPart(parent, 6)
    , m_sync(sync)
    , m_operations(operations)
{
    setObjectName(QStringLiteral("account.signedOut"));
    column()->addWidget(switchRow(
        this, [] { return L("account.terms"); }, QStringLiteral("account.terms"), &m_terms));
    m_termsLink = new QLabel(this);
    m_termsLink->setObjectName(QStringLiteral("account.terms.link"));
    m_termsLink->setTextFormat(Qt::RichText);
    m_termsLink->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_termsLink->setFont(ScreenStyle::captionFont(font()));
    column()->addWidget(m_termsLink);
    m_signIn = button(
        this, [] { return L("account.google"); }, QStringLiteral("person.badge.key"));
    m_signIn->setObjectName(QStringLiteral("account.google"));
    m_spinner = new Spinner(this);
    m_spinner->setObjectName(QStringLiteral("account.spinner"));
    // The browser may never come back (a closed tab): the wait can be ended here rather
    // than only by its five-minute timeout.
    m_cancelSignIn = button(this, [] { return L("common.cancel"); });
    m_cancelSignIn->setObjectName(QStringLiteral("account.google.cancel"));
    auto *signInRow = new QHBoxLayout;
    signInRow->setSpacing(8);
    signInRow->addWidget(m_signIn);
    signInRow->addWidget(m_spinner);
    signInRow->addWidget(m_cancelSignIn);
    signInRow->addStretch(1);
    column()->addSpacing(4);
    column()->addLayout(signInRow);
    column()->addWidget(label(
        this, [] { return L("account.google.hint"); }, true));

    connect(m_terms, &QAbstractButton::toggled, this, [this](bool on) {
        m_acceptedTerms = on;
        refresh();
    });
    connect(m_termsLink, &QLabel::linkActivated, this, &openWebAddress);
    connect(m_signIn, &QPushButton::clicked, this, &SignedOutBlock::signIn);
    connect(m_cancelSignIn, &QPushButton::clicked, m_sync, &SyncEngine::cancelSignIn);
    connect(m_operations, &AccountOperations::busyChanged, this, &SignedOutBlock::refresh);
    connect(m_sync, &SyncEngine::stateChanged, this, &SignedOutBlock::scheduleRefresh);
    connect(m_sync, &SyncEngine::accountChanged, this, &SignedOutBlock::scheduleRefresh);
    connect(m_sync, &SyncEngine::healthChanged, this, &SignedOutBlock::scheduleRefresh);
    connect(m_sync, &SyncEngine::accountOperationFinished, this, &SignedOutBlock::scheduleRefresh);
    finishBuilding();
}

bool SignedOutBlock::canSignIn() const
{
    if (m_operations->isBusy() || !m_acceptedTerms)
        return false;
    const auto health = m_sync->health();
    if (!health || !health->has_value())
        return false;
    const Capabilities &capabilities = (*health)->capabilities;
    return capabilities.google && capabilities.googleClientId
        && !capabilities.googleClientId->trimmed().isEmpty();
}

void SignedOutBlock::signIn()
{
    if (!canSignIn())
        return;
    const bool accepted = m_acceptedTerms;
    m_operations->run(AccountOperations::Ends::AccountOperation,
                      [this, accepted] { m_sync->signInWithGoogle(accepted); });
}

void SignedOutBlock::translate()
{
    ScreenStyle::describe(m_termsLink, L("account.terms.link"));
}

void SignedOutBlock::restyle()
{
    // The sign-in button is the prominent one: accent fill while it can be used.
    const QPalette pal = palette();
    QPalette prominent = pal;
    for (QPalette::ColorGroup group : { QPalette::Active, QPalette::Inactive }) {
        prominent.setColor(group, QPalette::Button, pal.color(group, QPalette::Highlight));
        prominent.setColor(group, QPalette::ButtonText,
                           pal.color(group, QPalette::HighlightedText));
    }
    m_signIn->setPalette(prominent);
}

void SignedOutBlock::render()
{
    const QPalette pal = palette();
    const auto health = m_sync->health();
    const ServerHealth *healthy = health && health->has_value() ? &**health : nullptr;
    const std::optional<QUrl> terms = healthy && healthy->capabilities.termsUrl
        ? webAddress(*healthy->capabilities.termsUrl)
        : std::nullopt;
    m_termsLink->setVisible(terms.has_value());
    if (terms)
        m_termsLink->setText(link(*terms, L("account.terms.link")));
    {
        const QSignalBlocker blocker(m_terms);
        m_terms->setChecked(m_acceptedTerms);
    }
    const bool signInReady = canSignIn();
    m_signIn->setEnabled(signInReady);
    // On the accent fill the symbol is drawn like the text; disabled, the button is plain.
    QPalette symbolColors = pal;
    if (signInReady)
        symbolColors.setColor(QPalette::WindowText, pal.color(QPalette::HighlightedText));
    m_signIn->setIcon(Icons::icon(QStringLiteral("person.badge.key"), symbolColors));
    // A sign-in started from an earlier visit of this screen is still shown as running.
    m_spinner->setVisible(m_operations->isBusy());
    m_cancelSignIn->setVisible(m_sync->isSigningIn());
}
