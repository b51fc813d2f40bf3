// The companion's hooks: one set for each thread of its architecture that
// shows windows, instead of system-wide ones. A system-wide hook of the
// other architecture than the program's stops the program's hook chain
// under Wine (it cannot be loaded there, and nothing calls the next hook),
// so only one architecture, the main controller's, hooks system-wide; the
// companion follows the threads of its own, which it finds by looking at
// the desktop's windows every moment, and hooks each in turn. A thread's own
// hooks come before the system-wide ones on every system.
#include "share.h"

#define FOREIGN_MAX 256

// Threads known to be of the other architecture (or of this process), so
// that they are not asked about again at every look; per process, the
// companion's.
static DWORD Foreign[FOREIGN_MAX];
static int ForeignCount;

static int FindThread(DWORD tid)
{
    for (int i = 0; i < THREAD_HOOKS_MAX; i++)
        if (Tb->ThreadHooks[i].tid == tid)
            return i;
    return -1;
}

static bool IsForeignThread(DWORD tid)
{
    for (int i = 0; i < ForeignCount; i++)
        if (Foreign[i] == tid)
            return true;
    return false;
}

static void RememberForeign(DWORD tid)
{
    if (ForeignCount == FOREIGN_MAX)
        ForeignCount = 0;   // forgotten, asked again: threads come and go
    Foreign[ForeignCount++] = tid;
}

// Whether a process runs this library's architecture. A system that does
// not know the question runs only one.
static bool RunsOurArchitecture(DWORD pid)
{
    typedef BOOL(WINAPI * IsWow64)(HANDLE, BOOL *);
    IsWow64 query = (IsWow64)GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process");
    if (!query)
        return true;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    BOOL theirs = FALSE, ours = FALSE;
    bool known = process && query(process, &theirs) && query(GetCurrentProcess(), &ours);
    if (process)
        CloseHandle(process);
    return known && theirs == ours;
}

static bool HookThread(DWORD tid)
{
    int slot = FindThread(0);
    if (slot < 0)
        return false;
    static const struct {
        int type;
        HOOKPROC proc;
    } kinds[KOV_HOOK_COUNT] = {{WH_CBT, CBTHookProc},
                               {WH_GETMESSAGE, GetMsgHookProc},
                               {WH_MOUSE, MouseHookProc},
                               {WH_MSGFILTER, SysMsgHookProc}};   // the thread's own filter
    Tb->ThreadHooks[slot].tid = tid;
    for (int i = 0; i < KOV_HOOK_COUNT; i++)
        Tb->ThreadHooks[slot].hooks[i] = SetWindowsHookExA(kinds[i].type, kinds[i].proc, hiKovDll, tid);
    Tb->ThreadHooks[slot].seen = TRUE;
    return true;
}

static void UnhookThread(int slot)
{
    for (HHOOK hook : Tb->ThreadHooks[slot].hooks)
        if (hook)
            UnhookWindowsHookEx(hook);
    ZeroMemory(&Tb->ThreadHooks[slot], sizeof(Tb->ThreadHooks[slot]));
}

void RemoveThreadHooks(void)
{
    for (int i = 0; i < THREAD_HOOKS_MAX; i++)
        if (Tb->ThreadHooks[i].tid)
            UnhookThread(i);
}

static BOOL CALLBACK AnyWindow(HWND, LPARAM found)
{
    *(bool *)found = true;
    return FALSE;
}

// A thread just hooked: its windows are offered buttons, and the taskbar,
// when it is the thread's, its subclass.
static void OfferThread(DWORD tid)
{
    RegisterKovMessages();
    EnumThreadWindows(tid, CreateAllButtonsProc, (LPARAM)CreateAllBtnsMsg);
    HWND shell = Sh->hwndShutdownManager;
    if (shell && GetWindowThreadProcessId(shell, NULL) == tid)
        PostMessageA(shell, SysTaskbarInitMsg, 1, 0);
}

static BOOL CALLBACK FollowWindow(HWND hwnd, LPARAM)
{
    if (!IsWindowVisible(hwnd))
        return TRUE;
    DWORD pid = 0, tid = GetWindowThreadProcessId(hwnd, &pid);
    int slot = FindThread(tid);
    if (slot >= 0) {
        Tb->ThreadHooks[slot].seen = TRUE;
        return TRUE;
    }
    if (IsForeignThread(tid) || pid == GetCurrentProcessId() || !RunsOurArchitecture(pid)) {
        RememberForeign(tid);
        return TRUE;
    }
    if (HookThread(tid))
        OfferThread(tid);
    return TRUE;
}

// Hooks the threads that have come, and lets go of those that have no
// window left (a thread that ended has taken its hooks with it).
void WINAPI FollowKovThreads(void)
{
    if (!Tb->ThreadMode)
        return;
    for (int i = 0; i < THREAD_HOOKS_MAX; i++)
        Tb->ThreadHooks[i].seen = FALSE;
    EnumWindows(FollowWindow, 0);
    for (int i = 0; i < THREAD_HOOKS_MAX; i++) {
        bool windows = false;
        DWORD tid = Tb->ThreadHooks[i].tid;
        if (tid && !Tb->ThreadHooks[i].seen && tid != GetCurrentThreadId() &&
            (EnumThreadWindows(tid, AnyWindow, (LPARAM)&windows), !windows))
            UnhookThread(i);
    }
}

void FollowThreadsFrom(HWND controller)
{
    Tb->ThreadMode = 1;
    // Its own thread too: what comes to its window is handled by the hooks.
    HookThread(GetWindowThreadProcessId(controller, NULL));
    FollowKovThreads();
}
