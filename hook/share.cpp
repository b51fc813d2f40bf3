// The shared section, the per-process data, the window table and the small
// helpers that are safe to call from any process.
#include "share.h"

// Every variable below lives in MY_SHARE, which the loader maps once for all
// processes that load this file. Each needs an initialiser or the compiler
// moves it to .bss; no_reorder keeps the section in declaration order.
#define SHARED __attribute__((section("MY_SHARE"), shared, no_reorder))

WinRecord     Win[WIN_TABLE_SIZE] SHARED = {};
OptionsRecord Op SHARED = {};
ExceptionList Xception SHARED = {};
HWND  hwndKov SHARED = 0;
int   HookedWindowCnt SHARED = 0;
SHORT cxSysBorder SHARED = 0;
SHORT cySysBorder SHARED = 0;
SHORT cxSysFrame SHARED = 0;
SHORT cySysFrame SHARED = 0;
SHORT cxSysDlgFrame SHARED = 0;
SHORT cySysDlgFrame SHARED = 0;
SHORT cxSysTbarBtnSize SHARED = 0;
SHORT cySysTbarBtnSize SHARED = 0;
SHORT cxSmallTbarBtnSize SHARED = 0;
SHORT cySmallTbarBtnSize SHARED = 0;
SHORT cySysMin SHARED = 0;
SHORT sysmenuWidth SHARED = 0;
SHORT sysmenuHeight SHARED = 0;
SHORT screenWidth SHARED = 0;
int   WinMajorVer SHARED = 0;
int   WinMinorVer SHARED = 0;
HWND  hwndTrapRollup SHARED = 0;
HWND  hwndTrapWMsize SHARED = 0;
HMENU hwndKovTaskListMenu SHARED = 0;
HWND  hwndSwitchHwnd[TASKLIST_MAX_ENTRIES] SHARED = {};
HWND  hwndSnapNewWindow SHARED = 0;
UnMinAllRecord _UnMinAll SHARED = {};   // extern "C" through kovhook.h
WNDPROC SysTaskbarOldFrameProc SHARED = 0;
int   IsDBCS SHARED = 0;
int   IsShutdown SHARED = 0;
int   SysShutdownSelected SHARED = 0;
int   _SuspendKovTemp SHARED = 0;       // extern "C" through kovhook.h
int   DoSnapStartMenu SHARED = 0;
int   IgnoreSnapWindow SHARED = 0;
int   MouseDirection SHARED = 0;
AUTOSCROLL autoScroll SHARED = {};
UINT  DoubleClickTime SHARED = 0;
int   DebugLevelShare SHARED = 0;
HHOOK CBThandle SHARED = 0;
HHOOK CWPhandle SHARED = 0;
HHOOK GetMsghandle SHARED = 0;
HHOOK Mousehandle SHARED = 0;
HHOOK SysMsghandle SHARED = 0;
HMODULE hiKovDll SHARED = 0;
HWND  hwndShutdownManager SHARED = 0;
HWND  hwndWin3PopupPatch SHARED = 0;
HWND  hwndOldSnapWindow SHARED = 0;
HWND  hwndScroll SHARED = 0;
int   ScrollActionId SHARED = 0;
int   TrappedRBtnDown SHARED = 0;
int   TrappedMBtnDown SHARED = 0;
POINT LastMousePos SHARED = {};
LONG  LastMsgTime SHARED = 0;
BOOL  SysTaskbarIsUnicode SHARED = 0;
HWND  SysTaskbarHwnd SHARED = 0;
int   SysTaskbarActive SHARED = 0;

// Per-process data.
int      KovIsHooked = 0;
HOOKPROC NewCBTProc = 0, NewGetMsgProc = 0, NewMouseProc = 0, NewSysMsgProc = 0;
const char *szKovButtons = KOV_BUTTONS_CLASS;
HINSTANCE hInstKovDll = 0;
SCROLLCACHE ScrollCache = {};

int GetMutexCS(HANDLE *mutex, const char *name, DWORD timeoutMs)
{
    *mutex = CreateMutexA(NULL, FALSE, name);
    if (!*mutex)
        return -1;
    if (WaitForSingleObject(*mutex, timeoutMs) == WAIT_OBJECT_0)
        return 0;
    // An abandoned wait hands us ownership; give it back so that the next
    // caller gets a clean mutex. After a time-out this release just fails.
    ReleaseMutex(*mutex);
    return -1;
}

int ReleaseMutexCS(HANDLE mutex)
{
    int result = ReleaseMutex(mutex) ? 0 : -1;
    CloseHandle(mutex);
    return result;
}

char *getBaseNameCS(char *path, int length)
{
    for (int i = length - 2; i >= 0; i--) {
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':')
            return path + i + 1;
    }
    return path;
}

// The record this process looked up last: a frame's messages come in runs.
static int LastIndex = -1;

int FindWindowIndexCS(HWND hwnd)
{
    int last = LastIndex;
    if (last >= 0 && hwnd && Win[last].hwnd == hwnd)
        return last;
    int index = GetWindowIndex(hwnd);
    if (index >= 0)
        LastIndex = index;
    return index;
}

int GetWindowIndex(HWND hwnd)
{
    if (!hwnd)
        return -1;
    for (int i = 0; i < WIN_TABLE_SIZE; i++)
        if (Win[i].hwnd == hwnd)
            return i;
    return -1;
}

int GetButtonWindowIndex(HWND hwnd, BOOL orParent)
{
    if (!hwnd)
        return -1;
    HWND parent = orParent ? GetParent(hwnd) : 0;
    for (int i = 0; i < WIN_TABLE_SIZE; i++) {
        if (!Win[i].hwnd || !Win[i].hwndButtons)
            continue;
        if (Win[i].hwndButtons == hwnd || (parent && Win[i].hwndButtons == parent))
            return i;
    }
    return -1;
}

static void ReleaseRecord(int index)
{
    ZeroMemory(&Win[index], sizeof(Win[index]));
    if (HookedWindowCnt > 0)
        HookedWindowCnt--;
}

static void SweepLocked(void)
{
    for (int i = 0; i < WIN_TABLE_SIZE; i++)
        if (Win[i].hwnd && !IsWindow(Win[i].hwnd))
            ReleaseRecord(i);
}

void SweepDeadRecords(void)
{
    HANDLE mutex;
    GetMutexCS(&mutex, MUTEX_WININDEX, WININDEX_FREE_TIMEOUT);   // carries on without it
    SweepLocked();
    if (mutex)
        ReleaseMutexCS(mutex);
}

int AllocWindowIndex(HWND hwnd, int *index)
{
    if (!IsWindow(hwnd))
        return -1;
    HANDLE mutex;
    if (GetMutexCS(&mutex, MUTEX_WININDEX, WININDEX_ALLOC_TIMEOUT) != 0) {
        if (mutex)
            ReleaseMutexCS(mutex);
        return -1;
    }
    int old = GetWindowIndex(hwnd);
    if (old >= 0) {
        // Taken over afresh: its group goes first (this is the frame's own
        // thread), or it would stay on the screen, dead.
        DestroyButtons(Win[old].hwndButtons);
        FreeWindowIndex(hwnd, FALSE);
    }
    // A record left behind by a window that is gone is free again; keeping it
    // could hand its stale procedure to a new window with the same handle.
    SweepLocked();
    int free = -1;
    for (int i = 0; i < WIN_TABLE_SIZE && free < 0; i++)
        if (!Win[i].hwnd)
            free = i;
    if (free < 0) {
        ReleaseMutexCS(mutex);
        return -1;
    }
    HookedWindowCnt++;
    ZeroMemory(&Win[free], sizeof(Win[free]));
    Win[free].hwnd = hwnd;
    ChainFrame(hwnd, &Win[free]);
    *index = free;
    ReleaseMutexCS(mutex);
    return 0;
}

// Releases every record. A frame of another process that is still there
// cannot get its procedure back from here; its record stays so that the
// frame keeps reaching its own procedure through SubclassProc, and its own
// thread releases it on the release message still waiting in its queue.
static void ForceReleaseAll()
{
    for (int i = 0; i < WIN_TABLE_SIZE; i++) {
        HWND hwnd = Win[i].hwnd;
        if (!hwnd)
            continue;
        if (IsWindow(hwnd)) {
            if (!UnchainFrame(hwnd, &Win[i]))
                continue;
            DestroyButtons(Win[i].hwndButtons);
        }
        ReleaseRecord(i);
    }
}

int FreeWindowIndex(HWND hwnd, BOOL all)
{
    HANDLE mutex;
    GetMutexCS(&mutex, MUTEX_WININDEX, WININDEX_FREE_TIMEOUT);   // carries on without it
    int result = 0;
    if (all) {
        ForceReleaseAll();
    } else {
        int index = GetWindowIndex(hwnd);
        if (index >= 0 && UnchainFrame(hwnd, &Win[index]))
            ReleaseRecord(index);
        else
            result = -1;
    }
    if (mutex)
        ReleaseMutexCS(mutex);
    return result;
}
