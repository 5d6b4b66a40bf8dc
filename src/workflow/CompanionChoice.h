#pragma once
// What a click on the companion check box leads to (the box has already changed). Portable.

enum class CompanionBoxAction {
    kKeep,               // the choice stands as clicked
    kSayInstalled,       // ticked, but the product is there: say so and untick
    kAskBeforeDropping,  // unticked: untick, then the tip prompt may tick it again
};

CompanionBoxAction DecideCompanionBox(bool installed, bool ticked);
