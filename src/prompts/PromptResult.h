#pragma once
// How a prompt ended. 2 is always the prompt's affirmative button. Portable.

enum PromptResult : int {
    kPromptClosed = 0,
    kPromptSecondButton = 1,
    kPromptExtraButton = 2,
    kPromptFeedbackLink = 3,
    kPromptUnanswered = 4,
};
