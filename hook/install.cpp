// The library's face towards kovw: entry point, configuration hand-over,
// installing and releasing the system-wide hooks, and the decision whether
// a window gets buttons at all.
#include "share.h"
#include "debuglog.h"
#include "sysapi.h"
#include "../common/strutil.h"

#include <string.h>

#define CLASS_NAME_SIZE       120
#define RELEASE_TITLE_SIZE    124
#define RELEASE_TEXT_SIZE     256
#define MODULE_NAME_SIZE      266
// How long release waits for one window's thread before leaving that window
// to its thread for later (see ReleaseWindow).
#define RELEASE_WAIT_MS       3000

extern "C" BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, void *atExit)
{
    if (reason == DLL_PROCESS_ATTACH) {
        hInstKovDll = instance;
        DebugLevelCS = Sh->DebugLevel;
    } else if (reason == DLL_PROCESS_DETACH && !atExit) {
        DetachSharedCS();   // at the process's exit the system does it
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
    KovShared *w = ControllerView();
    *options = &w->Op;
    *exceptions = &w->Xception;
    return 0;
}

void WINAPI SetSystemParameters(UINT doubleClickTime)
{
    ControllerView()->DoubleClickTime = doubleClickTime;
}

int WINAPI HookInstalled(void)
{
    return KovIsHooked;
}

static void CaptureMetrics(void)
{
    Tb->sysmenuWidth = Tb->cxSysTbarBtnSize = (SHORT)GetSystemMetrics(SM_CXSIZE);
    Tb->sysmenuHeight = Tb->cySysTbarBtnSize = (SHORT)GetSystemMetrics(SM_CYSIZE);
    Tb->cxSysBorder = (SHORT)GetSystemMetrics(SM_CXBORDER);
    Tb->cySysBorder = (SHORT)GetSystemMetrics(SM_CYBORDER);
    Tb->cxSysFrame = (SHORT)GetSystemMetrics(SM_CXFRAME);
    Tb->cySysFrame = (SHORT)GetSystemMetrics(SM_CYFRAME);
    Tb->cxSysDlgFrame = (SHORT)GetSystemMetrics(SM_CXDLGFRAME);
    Tb->cySysDlgFrame = (SHORT)GetSystemMetrics(SM_CYDLGFRAME);
    Tb->cxSmallTbarBtnSize = (SHORT)GetSystemMetrics(SM_CXSMSIZE);
    Tb->cySmallTbarBtnSize = (SHORT)GetSystemMetrics(SM_CYSMSIZE);
    Tb->cySysMin = (SHORT)GetSystemMetrics(SM_CYMIN);
    Tb->screenWidth = (SHORT)GetSystemMetrics(SM_CXSCREEN);
    HDC screen = GetDC(NULL);
    ControllerView()->ScreenDpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(NULL, screen);
}

struct HookSpec {
    const char *name;
    int type;
    int which;   // the handle's place in Sh->Hooks
    HOOKPROC *proc;
    const char *error;
};

static const HookSpec Hooks[] = {
    {"CBTHookProc", WH_CBT, HOOK_CBT, &NewCBTProc,
     KOV_HOOK_FILE ": Error getting CBTHookProc address"},
    {"GetMsgHookProc", WH_GETMESSAGE, HOOK_GETMSG, &NewGetMsgProc,
     KOV_HOOK_FILE ": Error getting GetMsgHookProc address"},
    {"MouseHookProc", WH_MOUSE, HOOK_MOUSE, &NewMouseProc,
     KOV_HOOK_FILE ": Error getting MouseHookProc address"},
    {"SysMsgHookProc", WH_SYSMSGFILTER, HOOK_SYSMSG, &NewSysMsgProc,
     KOV_HOOK_FILE ": Error getting SysMsgHookProc address"},
};

// This architecture's hooks, this process's or those a killed controller
// left behind (Wine keeps them): they are found in the desktop-wide record.
// Watched by each controller for the frames of its own architecture.
static HANDLE CloakWatch;

// A frame shown on this desktop again gets its group back, one cloaked loses
// it: its own thread looks again.
static void CALLBACK OnCloakEvent(HANDLE, DWORD, HWND hwnd, LONG object, LONG child, DWORD, DWORD)
{
    if (object == OBJID_WINDOW && child == CHILDID_SELF && FindWindowIndexCS(hwnd) >= 0)
        PostMessageA(hwnd, KM_ADDBUTTONS, (WPARAM)hwnd, 0);
}

// The offer, to a window that may take it; one that is not Kov's ignores it.
static void OfferButtons(HWND hwnd, UINT message)
{
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    if ((style & WS_CAPTION) == WS_CAPTION && (hwnd == Sh->hwndKov || IsWindowVisible(hwnd)))
        PostMessageA(hwnd, message, (WPARAM)message, 0);
}

// Windows a controller's hooks can miss: one made just before they went in
// and shown only after the offer to every window passed it by, and, under
// Wine, one made by a thread that learns of new hooks only at its next
// message. Each is offered its buttons as it is shown or made; one made is
// offered as new (snapping to new windows works for it). The offer is a
// registered message, which a window that is not Kov's ignores.
static HANDLE MissWatch;

static void CALLBACK OnMissableEvent(HANDLE, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD)
{
    if (object != OBJID_WINDOW || child != CHILDID_SELF || Sh->Suspend || Tb->IsShutdown ||
        event == KOV_EVENT_OBJECT_DESTROY)
        return;
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    if ((style & (WS_CAPTION | WS_CHILD)) == WS_CAPTION && FindWindowIndexCS(hwnd) < 0)
        PostMessageA(hwnd, CreateAllBtnsMsg, (WPARAM)CreateAllBtnsMsg,
                     event == KOV_EVENT_OBJECT_CREATE ? KM_NEWWINDOW_LATE : 0);
}

// The hooks this process put in, so that a controller whose Kov was
// started again since removes only its own.
static HHOOK OwnHooks[KOV_HOOK_COUNT];

// all: whatever hooks the record names (a killed kovw's too); else only
// those of this controller's own start.
static void RemoveHooks(bool all)
{
    StopWatching(CloakWatch);
    StopWatching(MissWatch);
    CloakWatch = MissWatch = NULL;
    for (int i = 0; i < KOV_HOOK_COUNT; i++) {
        uint32_t &handle = ControllerView()->Hooks[KOV_ARCH_SLOT][i];
        // One of ours that is gone from the record was removed by the newer start.
        if (handle && (all || handle == HandleTo32(OwnHooks[i]))) {
            UnhookWindowsHookEx((HHOOK)(ULONG_PTR)handle);
            handle = 0;
        }
        OwnHooks[i] = NULL;
    }
    if (all || Tb->ThreadOwner == OwnInstance) {
        RemoveThreadHooks();
        Tb->ThreadMode = 0;
    }
}

// The taskbar (or the old shell's Program Manager) as the record names it:
// programs write that name, so a window of another class is none of Kov's to tell.
static HWND ShutdownManager(void)
{
    HWND hwnd = St->hwndShutdownManager;
    char className[CLASS_NAME_SIZE];
    if (!hwnd || !GetClassNameA(hwnd, className, sizeof(className)))
        return NULL;
    bool taskbar = strncmp(className, "Shell_TrayW", 11) == 0;
    return taskbar || strcmp(className, "Progman") == 0 ? hwnd : NULL;
}

// Offers every window its buttons, and the taskbar its subclass once the
// enumeration has settled which window that is (the last one met): told on
// the way, an earlier one could take the subclass first.
static void OfferAllWindows(void)
{
    RegisterKovMessages();
    EnumWindows(CreateAllButtonsProc, (LPARAM)CreateAllBtnsMsg);
    if (HWND manager = ShutdownManager())
        PostMessageA(manager, SysTaskbarInitMsg, 1, 0);
}

// A window made while the hooks went in, by a thread that had last asked for
// messages before (Wine tells a thread of new hooks only then), is seen
// neither made nor shown, and the offer to every window may have passed
// before it was there. Its process, at its first call from the hooks,
// offers its own windows (the taskbar, when it is one of them, its subclass).
static BOOL CALLBACK OfferIfOwn(HWND hwnd, LPARAM message)
{
    if (IsOwnWindow(hwnd))
        OfferButtons(hwnd, (UINT)message);
    return TRUE;
}

void OfferOwnWindows(void)
{
    RegisterKovMessages();
    EnumWindows(OfferIfOwn, (LPARAM)CreateAllBtnsMsg);
    HWND manager = ShutdownManager();
    if (IsOwnWindow(manager))
        PostMessageA(manager, SysTaskbarInitMsg, 1, 0);
}

// hwndMain: the controller's window (the main one's, or the companion's);
// perThread: the companion's hooks (threads.cpp).
static int Install(HWND hwndMain, int isDBCS, int debugLevel, bool perThread)
{
    // Whoever installs the hooks first makes the desktop-wide record (the
    // main controller has made it already).
    if (OpenKovShared(1) != SHARED_OPEN)
        return 0;
    KovShared *w = ControllerView();
    DebugLevelCS = debugLevel;
    w->DebugLevel = debugLevel;
    w->IsDBCS = isDBCS;

    HMODULE self = LoadLibraryA(KOV_HOOK_FILE);
    if ((UINT_PTR)self <= 32) {
        MessageBoxA(NULL, KOV_HOOK_FILE ": Cannot load library", "Error", MB_OK);
        return 0;
    }
    // The name can find another copy of the library that is already in the
    // process (brought in by the hooks of an earlier run from elsewhere);
    // its hooks would work with that copy's shared data, not with ours.
    if (self != (HMODULE)hInstKovDll) {
        FreeLibrary(self);
        char path[MAX_PATH];
        DWORD n = GetModuleFileNameA(hInstKovDll, path, sizeof(path));
        self = (n > 0 && n < sizeof(path)) ? LoadLibraryA(path) : NULL;
        if (!self) {
            MessageBoxA(NULL, KOV_HOOK_FILE ": Cannot load library", "Error", MB_OK);
            return 0;
        }
    }
    // The system and the shell as the main controller sees them.
    if (!perThread) {
        DWORD version = GetVersion();
        w->WinMajorVer = LOBYTE(LOWORD(version));
        w->WinMinorVer = HIBYTE(LOWORD(version));
    }
    if (KovIsHooked) {
        FreeLibrary(self);   // the first call's reference is the one kept
        return 1;
    }
    hiKovDll = self;
    // A kovw of this home that was killed left its hooks behind (Wine does
    // not remove them when a program ends): they would do every piece of
    // work a second time.
    OwnInstance = Sh->Instance;
    RemoveHooks(true);
    w->Controller[KOV_ARCH_SLOT] = hwndMain;
    if (!IsWindow(Sh->hwndKov))   // a test's or a lone companion's call
        w->hwndKov = hwndMain;
    SweepDeadRecords();   // left by programs that ended while an earlier kovw ran
    CaptureMetrics();
    Tb->IsShutdown = 0;
    if (!perThread)
        St->hwndShutdownManager = 0;   // found again by the offer to every window

    for (const HookSpec &hook : Hooks) {
        *hook.proc = (HOOKPROC)GetProcAddress(hiKovDll, hook.name);
        if (!*hook.proc) {
            RemoveHooks(true);   // every hook or none: those put in already go at once
            MessageBoxA(NULL, hook.error, "Error", MB_OK);
            return 0;
        }
        if (!perThread) {
            HHOOK handle = SetWindowsHookExA(hook.type, *hook.proc, hiKovDll, 0);
            w->Hooks[KOV_ARCH_SLOT][hook.which] = HandleTo32(handle);
            OwnHooks[hook.which] = handle;
        }
    }
    CloakWatch = WatchEvents(KOV_EVENT_OBJECT_CLOAKED, KOV_EVENT_OBJECT_UNCLOAKED, OnCloakEvent);
    KovIsHooked = 1;
    HookThreadId = GetCurrentThreadId();
    if (perThread)
        return FollowThreadsFrom(hwndMain) ? KOV_THREADS_WATCHED : 1;
    RegisterKovMessages();   // the watch's offers use them
    MissWatch = WatchEvents(KOV_EVENT_OBJECT_CREATE, KOV_EVENT_OBJECT_SHOW, OnMissableEvent);
    OfferAllWindows();
    return 1;
}

int WINAPI SetKovHook(HWND hwndMain, int isDBCS, int debugLevel)
{
    return Install(hwndMain, isDBCS, debugLevel, false);
}

int WINAPI SetKovThreadHooks(HWND hwndCompanion, int isDBCS, int debugLevel)
{
    return Install(hwndCompanion, isDBCS, debugLevel, true);
}

// The old shell's Program Manager is found by its own thread, when the
// offer arrives there (ClaimProgramManager); an old shell has no taskbar.
BOOL CALLBACK CreateAllButtonsProc(HWND hwnd, LPARAM message)
{
    OfferButtons(hwnd, (UINT)message);
    char className[CLASS_NAME_SIZE];
    if (!GetClassNameA(hwnd, className, sizeof(className)))
        return TRUE;
    if (strcmp(className, "Progman") == 0)
        St->hwndWin3PopupPatch = hwnd;
    if (!IsOldShell() && strncmp(className, "Shell_TrayW", 11) == 0)
        St->hwndShutdownManager = hwnd;
    return TRUE;
}

// Sends the release message to a frame and waits for its thread, but not
// forever: a hung program must not hang kovw. A frame whose thread does not
// answer in time keeps its record, and gets the message posted as well: a
// posted message outlives kovw, so the thread releases the frame itself when
// it runs again (should it also get the sent one, that finds the frame
// released and means nothing to the program).
static void ReleaseWindow(HWND hwnd, UINT destroyAll)
{
    DWORD_PTR result;
    if (!SendMessageTimeoutA(hwnd, destroyAll, destroyAll, 0, SMTO_ABORTIFHUNG, RELEASE_WAIT_MS,
                             &result))
        PostMessageA(hwnd, destroyAll, destroyAll, 0);
}

// Asks whether to release a disabled window (typically one behind a modal
// dialog). Returns true for Yes.
static bool AskReleaseDisabled(HWND hwnd)
{
    char title[RELEASE_TITLE_SIZE];
    if (GetWindowTextA(hwnd, title, sizeof(title)) <= 0)
        CopyString(title, sizeof(title), "Unknown");
    char text[RELEASE_TEXT_SIZE];
    FormatString(text, sizeof(text),
                 "\"%s\" window is disabled.\nCannot release Kov safely. Override? ('No' recommended)",
                 title);
    return MessageBoxA(NULL, text, "Release Kov",
                       MB_YESNO | MB_ICONSTOP | MB_DEFBUTTON2) == IDYES;
}

int WINAPI FreeKovHook(BOOL force)
{
    if (!KovIsHooked) {
        // An install that failed half-way left the hooks it had put in; they
        // go with kovw (Wine does not remove them when a program ends).
        RemoveHooks(false);
        return 1;
    }
    UINT destroyAll = RegisterWindowMessageA(MSG_DESTROYALLBTNS);
    UINT taskbarInit = RegisterWindowMessageA(MSG_SYSTASKBARINIT);
    if (HWND manager = ShutdownManager()) {
        DWORD_PTR result;
        SendMessageTimeoutA(manager, taskbarInit, 0, 0, SMTO_ABORTIFHUNG,
                            RELEASE_WAIT_MS, &result);
    }
    // A Kov started since (its main killed, this a companion that has not
    // seen it yet) has taken the frames over: only those still of this
    // start are let go, and the table is left as the newer one keeps it.
    const bool current = Sh->Instance == OwnInstance;
    if (current)
        Tb->IsShutdown = 1;
    // A window that is gone cannot be asked about, nor release itself.
    SweepDeadRecords();

    // The user is asked once, whichever side's release comes first: the
    // answer Yes holds for the other side's (ReleaseOverride).
    for (int i = 0; i < WIN_TABLE_SIZE; i++) {
        HWND hwnd = Tb->Win[i].hwnd;
        if (!hwnd || Tb->Win[i].Instance != OwnInstance)
            continue;
        if (!IsWindowEnabled(hwnd) && !force && !Sh->ReleaseOverride) {
            if (!AskReleaseDisabled(hwnd)) {
                // kovw stays: what this attempt released is dressed again.
                Tb->IsShutdown = 0;
                OfferAllWindows();
                return 0;
            }
            ControllerView()->ReleaseOverride = 1;
        }
        ReleaseWindow(hwnd, destroyAll);
    }

    RemoveHooks(current);
    if (current) {
        FreeWindowIndex(0, TRUE);
        Tb->IsShutdown = 0;
        if (Tb->HookedWindowCnt > 0)
            MessageBeep(0xFFFFFFFF);
    }
    if ((UINT_PTR)hiKovDll > 32)
        FreeLibrary(hiKovDll);
    KovIsHooked = 0;
    HookThreadId = 0;
    return 1;
}

int IsException(HWND hwnd)
{
    if (HIWORD(GetProcessVersion(0)) < 4)
        return 1;
    int count = Sh->Xception.Count;
    if (count <= 0)
        return 0;
    if (count > XCEPT_MAX_NAMES)
        count = XCEPT_MAX_NAMES;
    char module[MODULE_NAME_SIZE];
    HINSTANCE instance = (HINSTANCE)GetWindowLongPtrA(hwnd, GWLP_HINSTANCE);
    DWORD n = GetModuleFileNameA(instance, module, sizeof(module) - 1);
    module[n < sizeof(module) ? n : sizeof(module) - 1] = 0;
    const char *base = getBaseNameCS(module, (int)strlen(module));
    for (int i = 0; i < count; i++) {
        int length = (int)strnlen(Sh->Xception.Name[i], XCEPT_NAME_CHARS);
        // An empty entry would be a prefix of every name.
        if (length > 0 && _strnicmp(base, Sh->Xception.Name[i], length) == 0)
            return 1;
    }
    return 0;
}

// The hooks' own thread does not wait for the table (see GetMutexCS): a
// window it could not record is offered again, as it was, by a timer, whose
// message comes only once the queue is empty (a dialog is shown first).
static struct { HWND hwnd; BOOL isNew; } Pending[OFFER_LATER_MAX];
static UINT_PTR PendingTimer;

static void CALLBACK OfferPending(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(NULL, timer);
    PendingTimer = 0;
    for (auto &p : Pending) {
        HWND hwnd = p.hwnd;
        p.hwnd = NULL;
        if (hwnd && IsWindow(hwnd) && GetWindowIndex(hwnd) < 0)
            CreateSubclassing(hwnd, p.isNew);
    }
}

static void OfferLater(HWND hwnd, BOOL isNew)
{
    for (auto &p : Pending)
        if (!p.hwnd || p.hwnd == hwnd) {
            p.hwnd = hwnd, p.isNew = isNew;
            if (!PendingTimer)
                PendingTimer = SetTimer(NULL, 0, OFFER_LATER_MS, OfferPending);
            return;
        }
}

int CreateSubclassing(HWND hwnd, BOOL isNew)
{
    if (Tb->IsShutdown)
        return 0;
    if (isNew)
        St->hwndSnapNewWindow = hwnd;
    if (IsException(hwnd))
        return 0;
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    // A window that only takes messages may have a caption (COM gives every
    // thread that uses it one), but it is never shown: no slot for it.
    if ((style & WS_CAPTION) != WS_CAPTION || (style & WS_CHILD) || !IsWindow(hwnd) || IsMessageOnly(hwnd))
        return 0;
    if (!isNew && hwnd != Sh->hwndKov && !IsWindowVisible(hwnd))
        return 0;
    int index, rc = AllocWindowIndex(hwnd, &index);
    if (rc == 0)
        PostMessageA(hwnd, KM_ADDBUTTONS, (WPARAM)hwnd, 0);
    else if (rc == ALLOC_BUSY && IsHookThread())
        OfferLater(hwnd, isNew);
    return 0;
}
