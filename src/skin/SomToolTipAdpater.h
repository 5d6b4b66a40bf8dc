#pragma once
// Tool-tip bookkeeping of an element manager: which element and key each tool id stands for,
// and the ids of each element's tools. A tool-tip control may be attached; the program's
// windows attach none, so the bookkeeping stays empty unless an element adds tools.

#include <windows.h>

#include <map>

class CSomWnd;

class CSomToolTipAdpater {
public:
    // Returns the new id (the smallest unused id >= 1), or 0 when (element, key) already has
    // a tool. rect is element-local; null means the tool follows the whole element.
    UINT AddTool(CSomWnd* element, UINT toolKey, const RECT* rect);
    void RemoveTools(CSomWnd* element);
    // Finds a tool by id; rect (optional) receives its rectangle in host coordinates.
    BOOL FindTool(UINT id, CSomWnd** element, UINT* toolKey, RECT* rect) const;
    void AttachToolTipControl(HWND toolTip, HWND owner) {
        toolTip_ = toolTip;
        owner_ = owner;
    }
    void ClearTools();

private:
    static constexpr LONG kWholeElement = LONG(0x80000000);  // marker in a record's left field

    struct ToolRecord {
        CSomWnd* element;
        UINT toolKey;
        RECT rect;
    };

    UINT NextFreeId() const;
    RECT ToolRect(const ToolRecord& record) const;

    std::map<UINT, ToolRecord> tools_;
    std::map<CSomWnd*, std::map<UINT, UINT>> idsByElement_;  // element -> key -> id
    HWND toolTip_ = nullptr;                                 // not owned
    HWND owner_ = nullptr;
};
