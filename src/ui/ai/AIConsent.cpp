#include "ui/ai/AIConsent.h"

#include "base/Localization.h"

#include <QPointer>

namespace AIConsent {

Dialogs::Choice choice(const AIService::Consent &consent)
{
    const QString name = aiProviderDisplayName(consent.provider);
    Dialogs::Choice question;
    question.title = L("ai.consent.title", name);
    question.message = L(consent.job.action.kind == AIService::Action::Kind::Summarize
                             ? "ai.consent.message.text"
                             : "ai.consent.message.audio",
                         name);
    question.answers = { L("ai.consent.send", name), L("ai.consent.always") };
    return question;
}

void ask(AIService *ai, Dialogs *dialogs, QWidget *parent, const AIService::Consent &consent)
{
    if (!ai)
        return;
    const QPointer<AIService> service = ai;
    if (!dialogs) {
        // Nobody to ask: nothing leaves the machine.
        service->declineConsent(consent);
        return;
    }
    const std::optional<int> answer = dialogs->choose(parent, choice(consent));
    // The dialog ran its own event loop; the service may have moved on (an answer to an
    // older question is ignored by the service itself).
    if (!service)
        return;
    if (answer == 0)
        service->approveConsent(consent, false);
    else if (answer == 1)
        service->approveConsent(consent, true);
    else
        service->declineConsent(consent);
}

} // namespace AIConsent
