#include "workflow/CompanionChoice.h"

CompanionBoxAction DecideCompanionBox(bool installed, bool ticked) {
    if (installed && ticked) return CompanionBoxAction::kSayInstalled;
    if (!installed && !ticked) return CompanionBoxAction::kAskBeforeDropping;
    return CompanionBoxAction::kKeep;
}
