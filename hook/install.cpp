// The library's face towards kovw: entry point, configuration hand-over,
// installing and releasing the system-wide hooks.
#include "share.h"
#include "debuglog.h"

extern "C" BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, void *)
{
    if (reason == DLL_PROCESS_ATTACH) {
        hInstKovDll = instance;
        DebugLevelCS = DebugLevelShare;
    }
    return TRUE;
}

// The C runtime's start-up code calls the entry point by this name.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void *reserved)
{
    return DllEntryPoint(instance, reason, reserved);
}

int WINAPI GetHookData(OptionsRecord **options, ExceptionList **exceptions)
{
    *options = &Op;
    *exceptions = &Xception;
    return 0;
}

void WINAPI SetSystemParameters(UINT doubleClickTime)
{
    DoubleClickTime = doubleClickTime;
}

int WINAPI HookInstalled(void)
{
    return KovIsHooked;
}

int WINAPI SetKovHook(HWND hwndMain, int isDBCS, int debugLevel)
{
    DebugLevelCS = debugLevel;
    DebugLevelShare = debugLevel;
    IsDBCS = isDBCS;
    if (KovIsHooked)
        return 1;
    hwndKov = hwndMain;
    KovIsHooked = 1;
    return 1;
}

int WINAPI FreeKovHook(BOOL)
{
    KovIsHooked = 0;
    return 1;
}

BOOL CALLBACK CreateAllButtonsProc(HWND, LPARAM)
{
    return TRUE;
}
