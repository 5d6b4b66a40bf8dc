#include "prompts/PromptText.h"

namespace {

constexpr wchar_t kTipSeparator = 0xFFE5;  // fullwidth yen sign
constexpr size_t kTipMaxChars = 40;
const wchar_t kDefaultQuilletTip[] =
    L"Vexa游戏Quillet是专门为游戏打造的防木马盗号神器，您确认放弃安装吗？";

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::wstring MakeQuilletTip(const std::wstring& configuredTip) {
    std::wstring tip = configuredTip.empty() ? std::wstring(kDefaultQuilletTip) : configuredTip;
    size_t separator = tip.find(kTipSeparator);
    if (separator != std::wstring::npos) tip.resize(separator);
    if (tip.size() > kTipMaxChars) {
        size_t cut = kTipMaxChars;
        // Never leave half of a surrogate pair at the end.
        if (IsHighSurrogate(tip[cut - 1]) && IsLowSurrogate(tip[cut])) --cut;
        tip.resize(cut);
    }
    return tip;
}

std::vector<std::wstring> SplitMessageCells(const std::wstring& message) {
    std::vector<std::wstring> cells;
    for (size_t i = 0; i < message.size(); ++i) {
        if (IsHighSurrogate(message[i]) && i + 1 < message.size() &&
            IsLowSurrogate(message[i + 1])) {
            cells.push_back(message.substr(i, 2));
            ++i;
        } else {
            cells.emplace_back(1, message[i]);
        }
    }
    return cells;
}

std::vector<MessageCell> LayoutPromptMessage(const std::wstring& message,
                                             const MessageMetrics& metrics) {
    std::vector<MessageCell> layout;
    if (message.empty()) return layout;
    const int columnLeft = (metrics.clientWidth - kPromptMessageColumnWidth) / 2;
    const int columnRight = columnLeft + kPromptMessageColumnWidth;
    const int lineHeight = metrics.textHeight + kPromptMessageLineGap;
    int lines = 1;
    if (metrics.textWidth >= kPromptMessageColumnWidth + 1) {
        lines = (metrics.textWidth + kPromptMessageColumnWidth - 1) / kPromptMessageColumnWidth;
    }
    int top = (metrics.clientHeight - lines * lineHeight) / 2;
    int x = columnLeft;

    std::vector<std::wstring> cells = SplitMessageCells(message);
    for (size_t i = 0; i < cells.size(); ++i) {
        int width = i < metrics.cellWidths.size() ? metrics.cellWidths[i] : 0;
        if (x + width > columnRight && x > columnLeft) {
            x = columnLeft;
            top += lineHeight;
        }
        if (top + lineHeight > metrics.clientHeight) break;
        layout.push_back({cells[i], x, top, x + width, top + lineHeight});
        x += width;
    }
    return layout;
}
