// The taskbar subclass: runs in the shell's process, in the taskbar's thread.
#include "share.h"

LRESULT CALLBACK SysTaskbarSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    RegisterKovMessages();
    WNDPROC old = SysTaskbarOldFrameProc;
    if (msg == SysTaskbarInitMsg) {
        if (wParam == 0 && old) {
            SetWindowProcCS(hwnd, old);
            SysTaskbarOldFrameProc = 0;
        }
        return 0;
    }
    return CallWindowProcCS(old, hwnd, msg, wParam, lParam);
}
