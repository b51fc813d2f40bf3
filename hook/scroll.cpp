// Scroll emulation.
#include "share.h"

void CheckScrollbarHwnd(HWND, SCROLLCACHE *)
{
}

void CheckAutoScrollStart(HWND)
{
}

void CheckAutoScrollStop(void)
{
}

void StopScrollTimer(void)
{
}

void PostScrollMsg(HWND hwnd, UINT message, WORD code, WORD position, LPARAM bar)
{
    PostMessageA(hwnd, message, MAKEWPARAM(code, position), bar);
}

void ScrollAction(HWND, int)
{
}
