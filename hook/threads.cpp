// The companion's hooks: one set for each thread of its architecture that
// shows windows, instead of system-wide ones. A system-wide hook of the
// other architecture than the program's stops the program's hook chain
// under Wine (it cannot be loaded there, and nothing calls the next hook),
// so only one architecture, the main controller's, hooks system-wide; the
// companion follows the threads of its own, which it finds by looking at
// the desktop's windows every moment, and hooks each in turn. A thread's own
// hooks come before the system-wide ones on every system.
#include "share.h"
#include "sysapi.h"

#define FOREIGN_MAX 256

// Threads known to be of the other architecture (or of this process, or not
// to be hooked), so that they are not asked about again at every look; per
// process, the companion's. By process too: a thread id comes back in
// another program once its thread has ended.
static struct {
    DWORD tid, pid;
} Foreign[FOREIGN_MAX];
static int ForeignCount;

static int FindThread(DWORD tid)
{
    for (int i = 0; i < THREAD_HOOKS_MAX; i++)
        if (Tb->ThreadHooks[i].tid == tid)
            return i;
    return -1;
}

bool IsForeignThread(DWORD tid, DWORD pid)
{
    for (int i = 0; i < ForeignCount; i++)
        if (Foreign[i].tid == tid && Foreign[i].pid == pid)
            return true;
    return false;
}

void RememberForeign(DWORD tid, DWORD pid)
{
    if (ForeignCount == FOREIGN_MAX)
        ForeignCount = 0;   // forgotten, asked again: threads come and go
    Foreign[ForeignCount].tid = tid;
    Foreign[ForeignCount++].pid = pid;
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
    bool any = false;
    for (int i = 0; i < KOV_HOOK_COUNT; i++)
        any |= (Tb->ThreadHooks[slot].hooks[i] = SetWindowsHookExA(kinds[i].type, kinds[i].proc, hiKovDll, tid)) != NULL;
    Tb->ThreadHooks[slot].seen = TRUE;
    if (!any)   // a thread the system lets no hook into keeps no slot
        ZeroMemory(&Tb->ThreadHooks[slot], sizeof(Tb->ThreadHooks[slot]));
    return any;
}

static void UnhookThread(int slot)
{
    for (HHOOK hook : Tb->ThreadHooks[slot].hooks)
        if (hook)
            UnhookWindowsHookEx(hook);
    ZeroMemory(&Tb->ThreadHooks[slot], sizeof(Tb->ThreadHooks[slot]));
}

// The companion's, per process: every new window of the desktop, so that a
// new thread is hooked as its first window comes, not at the next look.
static HANDLE CreateWatch;

void RemoveThreadHooks(void)
{
    StopWatching(CreateWatch);
    CreateWatch = NULL;
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
    HWND shell = St->hwndShutdownManager;
    if (shell && GetWindowThreadProcessId(shell, NULL) == tid)
        PostMessageA(shell, SysTaskbarInitMsg, 1, 0);
}

// A window of a thread not hooked yet: hooks it, and offers its windows.
// False when the thread is none of this side's, or the table is full (then
// it is looked at again, without asking its process each time). A window
// just made (made) is told it is new before the offers reach it: taken as
// offered, it would be an old one, and nothing would snap onto it.
static bool Follow(HWND hwnd, HWND made = NULL)
{
    DWORD pid = 0, tid = GetWindowThreadProcessId(hwnd, &pid);
    if (!tid || FindThread(tid) >= 0 || IsForeignThread(tid, pid) || FindThread(0) < 0)
        return false;
    if (pid == GetCurrentProcessId() || !RunsOurArchitecture(pid) || !HookThread(tid)) {
        RememberForeign(tid, pid);
        return false;
    }
    if (made)
        PostMessageA(made, KM_NEWWINDOW, (WPARAM)made, KM_NEWWINDOW_LATE);
    OfferThread(tid);
    return true;
}

static BOOL CALLBACK FollowWindow(HWND hwnd, LPARAM)
{
    if (!IsWindowVisible(hwnd))
        return TRUE;
    int slot = FindThread(GetWindowThreadProcessId(hwnd, NULL));
    if (slot >= 0)
        Tb->ThreadHooks[slot].seen = TRUE;
    else
        Follow(hwnd);
    return TRUE;
}

// A thread hooked from here learns of it only at its next message: the
// creation of a window it makes at once goes by unseen (the first one of a
// thread, and often the one after, too). The window is told it is new, as
// its creation would have told it; snapping onto new windows needs that.
static void CALLBACK OnWindowCreated(HANDLE, DWORD, HWND hwnd, LONG object, LONG child, DWORD tid, DWORD)
{
    if (object != OBJID_WINDOW || child != CHILDID_SELF || !tid || !Tb->ThreadMode || Tb->ThreadOwner != OwnInstance)
        return;
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    if (style & WS_CHILD)
        return;
    HWND made = (style & WS_CAPTION) == WS_CAPTION ? hwnd : NULL;
    if (FindThread(tid) >= 0 && made)
        PostMessageA(hwnd, KM_NEWWINDOW, (WPARAM)hwnd, KM_NEWWINDOW_LATE);
    else if (FindThread(tid) < 0)
        Follow(hwnd, made);
}

// Hooks the threads that have come, and lets go of those that have no
// window left (a thread that ended has taken its hooks with it).
void WINAPI FollowKovThreads(void)
{
    // A newer Kov's companion follows them now.
    if (!Tb->ThreadMode || Tb->ThreadOwner != OwnInstance)
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

// True when new windows are watched for: then a slow look is enough.
bool FollowThreadsFrom(HWND controller)
{
    if (!CreateWatch)
        CreateWatch = WatchEvents(KOV_EVENT_OBJECT_CREATE, KOV_EVENT_OBJECT_CREATE, OnWindowCreated);
    Tb->ThreadMode = 1;
    Tb->ThreadOwner = OwnInstance;
    // Its own thread too: what comes to its window is handled by the hooks.
    HookThread(GetWindowThreadProcessId(controller, NULL));
    FollowKovThreads();
    return CreateWatch != NULL;
}
