// The taskbar subclass.
#include "share.h"

LRESULT CALLBACK SysTaskbarSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcCS(SysTaskbarOldFrameProc, hwnd, msg, wParam, lParam);
}
