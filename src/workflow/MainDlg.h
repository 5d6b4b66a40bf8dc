#pragma once
// The program's first window: a 400 x 200 popup that will show the initialisation
// progress. (For now it only shows its title and can be closed.)

#include "shell/MessageLoop.h"
#include "shell/Window.h"

class CMainDlg : public CWindowImpl<CMainDlg>, public CMessageFilter {
public:
    BOOL PreTranslateMessage(MSG* msg) override;

    BEGIN_MSG_MAP(CMainDlg)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    END_MSG_MAP()

private:
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
};
