// Start-up, message loop and shut-down of kovw.
#include "kovw.h"
#include "resource.h"
#include "strings.h"
#include "../common/messages.h"
#include "../common/strutil.h"
#include "../hook/debuglog.h"


#define MAIN_WINDOW_X      1
#define MAIN_WINDOW_Y      1
#define MAIN_WINDOW_WIDTH  210

static BOOL RegisterMainClass(void)
{
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInst;
    wc.hIcon = LoadIconA(hInst, MAKEINTRESOURCEA(IDI_KOV));
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MENU_ENABLED);
    wc.lpszClassName = szAppName;
    return RegisterClassA(&wc) != 0;
}

static HWND CreateMainWindow(void)
{
    char title[64];
    FormatString(title, sizeof(title), "Kov %s", KOV_VERSION_TEXT);
    int height = GetSystemMetrics(SM_CYSIZE) + GetSystemMetrics(SM_CYMENU) +
                 5 * GetSystemMetrics(SM_CYBORDER);
    DWORD exStyle = WinMajorVersion >= 4 ? WS_EX_TOOLWINDOW : 0;
    return CreateWindowExA(exStyle, szAppName, title, WS_CAPTION | WS_SYSMENU,
                           MAIN_WINDOW_X, MAIN_WINDOW_Y, MAIN_WINDOW_WIDTH, height,
                           NULL, NULL, hInst, NULL);
}

static void ShowStartupState(void)
{
    if (Minimize == STARTUP_SHOWN)
        ShowWindow(hwndKov, SW_RESTORE);
    else if (Minimize == STARTUP_HIDDEN && WinMajorVersion < 4)
        ShowWindow(hwndKov, SW_SHOWMINIMIZED);
    else
        ShowWindow(hwndKov, SW_HIDE);
}

// A run that ended mid-gesture, mid-scroll or mid-roll-up left its marks in
// the record, which outlives it while any program holds it: the next release
// of a right button would be taken, or an action sent, for a press of then.
static void ForgetLastRun(void)
{
    Shared->State.TrappedRBtnDown = Shared->State.TrappedMBtnDown = 0;
    Shared->State.MouseDirection = 0;
    Shared->State.hwndScroll = NULL;
    Shared->State.ScrollActionId = 0;
    memset(&Shared->State.autoScroll, 0, sizeof(Shared->State.autoScroll));
    Shared->State.hwndTrapRollup = Shared->State.hwndTrapWMsize = NULL;
    Shared->State.hwndSnapNewWindow = Shared->State.hwndOldSnapWindow = NULL;
    Shared->State.IgnoreSnapWindow = 0;
    Shared->ReleaseOverride = 0;
}

// The record every program shares, made here; one of another version of
// Kov that runs on this desktop is not taken over.
static bool MakeShared(void)
{
    int status = OpenKovShared(1);
    if (status == SHARED_OPEN) {
        Shared = GetKovShared();
        // A new start: what an earlier one's controllers release late is theirs alone.
        if (++Shared->Instance == 0)
            Shared->Instance = 1;
        ForgetLastRun();
        return true;
    }
    StringMessageBox(NULL,
                     status == SHARED_OTHER_LAYOUT ? SID_MB_OTHERLAYOUT
                     : status == SHARED_NOT_OWN    ? SID_MB_NOTOWN
                                                   : SID_MB_NOSHARED,
                     SID_MBTBAR_ERROR, MB_OK | MB_ICONERROR);
    return false;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int)
{
    if (const char *mainProcess = CompanionSwitch(cmdLine))
        return RunCompanion(instance, mainProcess);
    // Held until this process ends: two starts at once both find no window.
    char instanceName[KOV_SHARED_NAME_SIZE];
    KovObjectName(instanceName, sizeof(instanceName), KOV_INSTANCE_NAME, FALSE);
    SECURITY_ATTRIBUTES sa;
    HANDLE lock = CreateMutexA(KovObjectSecurity(&sa), FALSE, instanceName);
    bool second = lock && GetLastError() == ERROR_ALREADY_EXISTS;
    LocalFree(sa.lpSecurityDescriptor);
    // Another user's lock would keep Kov from ever starting, unseen.
    if (second && !KovIsOwnObject(lock)) {
        StringMessageBox(NULL, SID_MB_NOTOWN, SID_MBTBAR_ERROR, MB_OK | MB_ICONERROR);
        return 1;
    }
    HWND running = FindWindowA(szAppName, NULL);   // a Kov from before the lock, too
    if (second || running) {
        if (running)
            PostMessageA(running, KM_SHOWKOV, 0, 0);
        return 0;
    }
    hInst = instance;
    if (SaveHomePath(instance) != 0) {
        StringMessageBox(NULL, SID_MB_HOMETOOLONG, SID_MBTBAR_ERROR, MB_OK | MB_ICONERROR);
        return 1;
    }
    if (!MakeShared())
        return 1;

    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    WinMajorVersion = version.dwMajorVersion;

    if (!RegisterMainClass())
        return 0;
    InitializeOptions();
    InitSystemParams();

    Minimize = (int)Opt->StartMode;
    Suspend = (int)Opt->SuspendOnLoad;
    if (Opt->AppearInTaskList == 0 && Minimize != STARTUP_SHOWN)
        Minimize = STARTUP_NOTRAYICON;

    hwndKov = CreateMainWindow();
    if (!hwndKov)
        return 0;
    Shared->hwndKov = hwndKov;
    ProcessArgs(cmdLine, hwndKov);

    if (WinMajorVersion >= 4 && Opt->AppearInTaskList)
        MakeTrayIcon(hwndKov, TRAY_ICON_ID,
                     (HICON)LoadImageA(hInst, MAKEINTRESOURCEA(IDI_KOV), IMAGE_ICON,
                                       GetSystemMetrics(SM_CXSMICON),
                                       GetSystemMetrics(SM_CYSMICON), 0));
    if (Opt->Flags & FLAG_REMOVEDOCUMENTS)
        RemoveRecentDocuments();
    ShowStartupState();

    HookIsLoaded = 0;
    Shared->Suspend = 1;
    StartCompanionIfAny(hwndKov);
    if (Suspend) {
        HMENU old = GetMenu(hwndKov);
        SetMenu(hwndKov, LoadMenuA(hInst, MAKEINTRESOURCEA(IDR_MENU_SUSPENDED)));
        if (old)
            DestroyMenu(old);
    } else {
        // Installed from the message loop, never before it runs.
        PostMessageA(hwndKov, WM_COMMAND, IDM_SUSPEND, 0);
    }

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    ReleaseAll(TRUE);
    DeleteTrayIcon(hwndKov, TRAY_ICON_ID);
    return (int)msg.wParam;
}
