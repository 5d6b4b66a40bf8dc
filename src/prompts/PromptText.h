#pragma once
// The text side of the prompts, free of Win32 so it is tested natively: the companion
// offer's tip and the character-wrapped layout of a prompt's message.

#include <string>
#include <vector>

// The message of the companion offer from the configured tip: the default offer text when
// empty, only the part before the first "￥" (U+FFE5), and at most 40 characters.
std::wstring MakeQuilletTip(const std::wstring& configuredTip);

// One character (or surrogate pair) of a prompt message and the cell it is drawn into.
struct MessageCell {
    std::wstring text;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct MessageMetrics {
    int clientWidth = 0;
    int clientHeight = 0;
    int textWidth = 0;  // the whole message measured in one piece
    int textHeight = 0;
    // Width of each cell's text, in the order of SplitMessageCells.
    std::vector<int> cellWidths;
};

// The message split into the units drawn one at a time (surrogate pairs stay together).
std::vector<std::wstring> SplitMessageCells(const std::wstring& message);

// Lays the message out in a centred column 235 pixels wide, wrapping at any character,
// vertically centred on the estimated number of lines; cells that would end below the client
// area are left out.
std::vector<MessageCell> LayoutPromptMessage(const std::wstring& message,
                                             const MessageMetrics& metrics);

constexpr int kPromptMessageColumnWidth = 235;
constexpr int kPromptMessageLineGap = 5;
