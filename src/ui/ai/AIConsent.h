#pragma once

#include "ai/AIService.h"
#include "ui/shell/Dialogs.h"

class QWidget;

/// The question asked before a note's text or an attached file goes to a cloud provider:
/// send once, send and stop asking, or cancel.
namespace AIConsent {

/// The question for `consent`: its title and message name the provider and what is sent.
Dialogs::Choice choice(const AIService::Consent &consent);

/// Asks the user through `dialogs` and gives the answer to `ai`. Any way of closing the
/// question other than one of the two send buttons declines, so nothing is sent.
void ask(AIService *ai, Dialogs *dialogs, QWidget *parent, const AIService::Consent &consent);

} // namespace AIConsent
