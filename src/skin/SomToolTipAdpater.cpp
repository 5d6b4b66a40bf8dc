#include "skin/SomToolTipAdpater.h"

#include <commctrl.h>

#include "skin/SomWnd.h"

UINT CSomToolTipAdpater::NextFreeId() const {
    UINT id = 1;
    for (const auto& entry : tools_) {  // ordered by id
        if (entry.first != id) break;
        ++id;
    }
    return id;
}

RECT CSomToolTipAdpater::ToolRect(const ToolRecord& record) const {
    if (record.rect.left == kWholeElement) return record.element->Rect();
    return record.rect;
}

UINT CSomToolTipAdpater::AddTool(CSomWnd* element, UINT toolKey, const RECT* rect) {
    auto& keys = idsByElement_[element];
    if (keys.count(toolKey)) return 0;
    UINT id = NextFreeId();
    ToolRecord record{element, toolKey, {kWholeElement, 0, 0, 0}};
    if (rect) {
        record.rect = *rect;
        ::OffsetRect(&record.rect, element->Rect().left, element->Rect().top);
    }
    tools_[id] = record;
    keys[toolKey] = id;
    if (toolTip_ && ::IsWindow(toolTip_)) {
        TOOLINFOW info = {};
        info.cbSize = sizeof(info);
        info.hwnd = owner_;
        info.uId = id;
        info.rect = ToolRect(record);
        info.lpszText = LPSTR_TEXTCALLBACKW;
        ::SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    return id;
}

void CSomToolTipAdpater::RemoveTools(CSomWnd* element) {
    auto found = idsByElement_.find(element);
    if (found == idsByElement_.end()) return;
    for (const auto& keyAndId : found->second) {
        tools_.erase(keyAndId.second);
        if (toolTip_ && ::IsWindow(toolTip_)) {
            TOOLINFOW info = {};
            info.cbSize = sizeof(info);
            info.hwnd = owner_;
            info.uId = keyAndId.second;
            ::SendMessageW(toolTip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
        }
    }
    idsByElement_.erase(found);
}

BOOL CSomToolTipAdpater::FindTool(UINT id, CSomWnd** element, UINT* toolKey, RECT* rect) const {
    auto found = tools_.find(id);
    if (found == tools_.end()) return FALSE;
    if (element) *element = found->second.element;
    if (toolKey) *toolKey = found->second.toolKey;
    if (rect) *rect = ToolRect(found->second);
    return TRUE;
}

void CSomToolTipAdpater::ClearTools() {
    tools_.clear();
    idsByElement_.clear();
}
