// Paint cost of the element manager under Wine: a full repaint of a 680 x 420 host with
// twenty transparent elements (buttons and markup labels, each composed off-screen), and an
// immediate redraw of one button.

#include <cstdio>
#include <memory>
#include <vector>

#include "skin/SharedBitmapsInstance.h"
#include "skin/SkinTestSupport.h"
#include "skin/SomButton4.h"
#include "skin/SomTextWnd.h"

using namespace skintest;

int main() {
    CTestHost host;
    if (!host.CreateHost(10, 10, 680, 420)) return 1;
    const DWORD style = CSomWnd::kVisible | CSomWnd::kAutoSize;
    std::vector<std::unique_ptr<CSomButton4>> buttons;
    std::vector<std::unique_ptr<CSomTextWnd>> labels;
    for (int i = 0; i < 10; ++i) {
        buttons.push_back(std::make_unique<CSomButton4>());
        buttons.back()->Create(host.Manager(), 10 + 66 * i, 10, i + 1, style);
        buttons.back()->SetBackground(g_SharedBitmaps.Get(126));
        labels.push_back(std::make_unique<CSomTextWnd>());
        labels.back()->Create(host.Manager(), 10, 100 + 20 * i, 100 + i, style);
        labels.back()->SetText(L"{&#color=0xffffff}下载速度：1.2 MB/s {&#a=button:5}打开");
    }
    CPixels pixels(680, 420);
    const int paints = 200;
    DWORD start = ::GetTickCount();
    for (int i = 0; i < paints; ++i) {
        host.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(pixels.DC()), PRF_CLIENT);
    }
    ::GdiFlush();
    std::printf("full repaint, 20 transparent elements: %.2f ms\n",
                double(::GetTickCount() - start) / paints);
    const int redraws = 2000;
    start = ::GetTickCount();
    for (int i = 0; i < redraws; ++i) buttons[3]->Redraw();
    std::printf("immediate redraw of one button:        %.3f ms\n",
                double(::GetTickCount() - start) / redraws);
    return 0;
}
