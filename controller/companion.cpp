// One Kov across both architectures: where the system runs the other one
// too, the main controller starts the other architecture's controller as a
// hidden companion, which installs its own library's hooks and follows the
// main through the desktop-wide record and a few commands. Both sides of it:
// the main's (start, watch, restart, release together) and the companion's
// whole life.
#include "kovw.h"
#include "strings.h"
#include "../common/messages.h"
#include "../common/strutil.h"

#include <stdlib.h>
#include <string.h>

#define COMPANION_SWITCH     "/KOVCOMPANION="   // then the main's process id
#define COMPANION_CLASS      "KovCompanion"
#define WATCH_TIMER          0x6F20
#define WATCH_PERIOD_MS      1000
#define FOLLOW_TIMER         0x6F21
#define FOLLOW_PERIOD_MS     250      // how soon a new program's first window is dressed, unwatched
#define RESTARTS_MAX         3
#define RELEASE_WAIT_MS      600000   // the companion may be asking the user

enum { COMPANION_ENABLE = COMPANION_ENABLE_COMMAND, COMPANION_RELEASE, COMPANION_QUIT };

static UINT CompanionMsg;
static HANDLE Companion;          // the main's: the companion's process
static int Restarts;
static DWORD MainProcessId;       // the companion's: the main it follows
static HANDLE MainProcess;
static bool Watched;              // the companion's: new windows are told as they come

static HWND OtherController(void)
{
    HWND other = Shared->Controller[!KOV_ARCH_SLOT];
    return IsWindow(other) ? other : NULL;
}

// A 32-bit Kov has a 64-bit side only on a 64-bit system, which it learns
// from a function Windows 4 lacks; a 64-bit Kov tries the 32-bit side,
// which a system may lack.
static bool OtherArchitectureRuns(void)
{
    if (sizeof(void *) == 8)
        return true;
    typedef BOOL(WINAPI * IsWow64)(HANDLE, BOOL *);
    IsWow64 query = (IsWow64)GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process");
    BOOL wow64 = FALSE;
    return query && query(GetCurrentProcess(), &wow64) && wow64;
}

// Its slot is cleared first: a slot set once it has ended says it came up.
static void StartCompanion(void)
{
    Shared->Controller[!KOV_ARCH_SLOT].value = 0;
    char path[HOME_PATH_SIZE], line[HOME_PATH_SIZE + 40];
    FormatString(path, sizeof(path), "%s%s", HomePath, KOV_OTHER_CONTROLLER_FILE);
    FormatString(line, sizeof(line), "\"%s\" " COMPANION_SWITCH "%lu", path, GetCurrentProcessId());
    STARTUPINFOA si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(path, line, NULL, NULL, FALSE, 0, NULL, HomePath, &si, &pi))
        return;
    CloseHandle(pi.hThread);
    Companion = pi.hProcess;
}

void StartCompanionIfAny(HWND hwnd)
{
    CompanionMsg = RegisterWindowMessageA(MSG_COMPANION);
    if (!OtherArchitectureRuns())
        return;
    StartCompanion();
    if (Companion)
        SetTimer(hwnd, WATCH_TIMER, WATCH_PERIOD_MS, NULL);
}

void TellCompanion(int command)
{
    HWND other = OtherController();
    if (other)
        PostMessageA(other, CompanionMsg, command, 0);
}

// The main's watch: a companion that ended after it had come up is started
// again (its windows get buttons again), a few times, and then the user is
// told once; one that never came up means that the other architecture
// cannot run here, which is no error.
static void WatchCompanion(HWND hwnd)
{
    if (!Companion || WaitForSingleObject(Companion, 0) != WAIT_OBJECT_0)
        return;
    CloseHandle(Companion);
    Companion = NULL;
    bool cameUp = Shared->Controller[!KOV_ARCH_SLOT].value != 0;
    if (cameUp && Restarts < RESTARTS_MAX) {
        Restarts++;
        StartCompanion();
        return;
    }
    KillTimer(hwnd, WATCH_TIMER);
    if (cameUp)
        StringMessageBox(NULL, SID_MB_COMPANIONGONE, SID_MBTBAR_WARNING, MB_OK | MB_ICONEXCLAMATION);
}

// The companion's watch: it ends with the main (killed or not), and has its
// hooks whenever the main has Kov enabled.
static void WatchMain(HWND hwnd)
{
    if (WaitForSingleObject(MainProcess, 0) == WAIT_OBJECT_0)
        DestroyWindow(hwnd);
    else if (!Shared->Suspend && !HookInstalled() &&
             SetKovThreadHooks(hwnd, Shared->IsDBCS, Shared->DebugLevel) == KOV_THREADS_WATCHED)
        Watched = true, KillTimer(hwnd, FOLLOW_TIMER);   // the watch's tick looks for the rest
    else if (Watched)
        FollowKovThreads();
}

bool OnWatchTimer(HWND hwnd, WPARAM id)
{
    if (id != WATCH_TIMER)
        return false;
    if (MainProcess)
        WatchMain(hwnd);
    else
        WatchCompanion(hwnd);
    return true;
}

int ReleaseAll(BOOL force)
{
    Shared->ReleaseOverride = 0;
    HWND other = OtherController();
    DWORD_PTR released = 1;
    if (other && SendMessageTimeoutA(other, CompanionMsg, COMPANION_RELEASE, force, SMTO_ABORTIFHUNG,
                                     RELEASE_WAIT_MS, &released) && !released)
        return 0;
    if (!FreeKovHook(force)) {
        TellCompanion(COMPANION_ENABLE);   // it had let go: it dresses its windows again
        return 0;
    }
    TellCompanion(COMPANION_QUIT);
    return 1;
}

// --- The companion ---

static LRESULT CALLBACK CompanionProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == CompanionMsg) {
        switch (wParam) {
        case COMPANION_ENABLE:
            WatchMain(hwnd);
            return 0;
        case COMPANION_RELEASE:
            return FreeKovHook((BOOL)lParam);
        case COMPANION_QUIT:
            DestroyWindow(hwnd);
            return 0;
        }
    }
    switch (message) {
    case WM_TIMER:
        if (wParam == FOLLOW_TIMER)
            FollowKovThreads();
        else
            OnWatchTimer(hwnd, wParam);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The main it follows must be there, with the record it made; a companion
// started by hand has neither and ends at once.
static bool FindMain(const char *arg)
{
    MainProcessId = strtoul(arg, NULL, 10);
    MainProcess = OpenProcess(SYNCHRONIZE, FALSE, MainProcessId);
    if (!MainProcess || OpenKovShared(0) != SHARED_OPEN)
        return false;
    Shared = GetKovShared();
    DWORD pid = 0;
    return GetWindowThreadProcessId(Shared->hwndKov, &pid) && pid == MainProcessId;
}

const char *CompanionSwitch(const char *cmdLine)
{
    const char *at = cmdLine ? strstr(cmdLine, COMPANION_SWITCH) : NULL;
    return at ? at + sizeof(COMPANION_SWITCH) - 1 : NULL;
}

// Shows nothing and writes nothing: a window only for messages, the hooks
// of its architecture while the main has them enabled, until the main ends.
int RunCompanion(HINSTANCE instance, const char *arg)
{
    if (!FindMain(arg))
        return 0;
    CompanionMsg = RegisterWindowMessageA(MSG_COMPANION);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = CompanionProc;
    wc.hInstance = instance;
    wc.lpszClassName = COMPANION_CLASS;
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, COMPANION_CLASS, NULL, 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                                instance, NULL);
    if (!hwnd)
        return 0;
    Shared->Controller[KOV_ARCH_SLOT] = hwnd;   // where the main's commands come
    SetTimer(hwnd, WATCH_TIMER, WATCH_PERIOD_MS, NULL);
    SetTimer(hwnd, FOLLOW_TIMER, FOLLOW_PERIOD_MS, NULL);
    WatchMain(hwnd);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    FreeKovHook(TRUE);
    CloseHandle(MainProcess);
    return 0;
}
