// A program for the end-to-end tests: creates top-level windows as told on
// its command line and runs a message loop until they are all closed.
//
//   probe [--class NAME] [--title TEXT] [--style HEX] [--exstyle HEX]
//         [--hidden] [--disabled] [--count N] [--rect X,Y,W,H]
//         [--drop-caption] [--child] [--min-track-height N]
//         [--owned-dialog TITLE] [--report-destroy FILE] [--cmdline-title]
//
// --owned-dialog adds a captioned window owned by the first one and
// disables the owner, as a modal dialog does; --report-destroy writes the
// window's height to FILE when it is destroyed; --cmdline-title makes the
// title the program's command line as it was given, from the first blank on.
//   probe --read-option DLLPATH OFFSET
//         loads that kovhook.dll and exits with the 32-bit value at OFFSET
//         of its shared options record
//
// Titles may contain blanks when quoted. Styles are hexadecimal; by default
// an overlapped window (caption, system menu, sizing frame, boxes).
//
// Its windows answer three registered messages (see probeapi.h): a query
// whether the window procedure is still the probe's own, a posted ping that
// sets a named event once everything posted before it has been handled, and
// a posted freeze that keeps the thread busy for a while, as a hung program.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/options.h"
#include "probeapi.h"

static int OpenWindows;
static UINT QueryMsg, PingMsg, FreezeMsg;
static int MinTrackHeight;
static const char *DestroyReport;
static int Sizes, MenuPopups, Commands, RightClicks, MiddleClicks, Nulls, Actions, LastHeight;

// Posted to itself right after creation: by then the window has been
// announced as new, but its buttons are not made yet.
#define WM_DROP_CAPTION (WM_APP + 1)

static LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == QueryMsg) {
        switch (wParam) {
        case PROBE_QUERY_SUBCLASSED:
            return GetWindowLongPtrA(hwnd, GWLP_WNDPROC) != (LONG_PTR)ProbeProc;
        case PROBE_QUERY_SIZES:
            return Sizes;
        case PROBE_QUERY_MENUPOPUPS:
            return MenuPopups;
        case PROBE_QUERY_COMMANDS:
            return Commands;
        case PROBE_QUERY_RIGHTCLICKS:
            return RightClicks;
        case PROBE_QUERY_MIDDLECLICKS:
            return MiddleClicks;
        case PROBE_QUERY_NULLS:
            return Nulls;
        case PROBE_QUERY_ACTIONS:
            return Actions;
        case PROBE_QUERY_LASTHEIGHT:
            return LastHeight;
        case PROBE_QUERY_SHIFT:
            return (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
        case PROBE_QUERY_CTRL:
            return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
        }
        return -1;
    }
    if (msg == PingMsg) {
        char name[64];
        snprintf(name, sizeof(name), PROBE_PONG_EVENT, (unsigned)wParam);
        HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
        if (event) {
            SetEvent(event);
            CloseHandle(event);
        }
        return 0;
    }
    if (msg == FreezeMsg) {
        Sleep((DWORD)wParam);
        return 0;
    }
    switch (msg) {
    case 0x6F00:
        Nulls++;
        if (wParam >= 0x7000 && wParam < 0x7200)
            Actions++;
        break;
    case WM_SIZE:
        Sizes++;
        LastHeight = HIWORD(lParam);
        break;
    case WM_INITMENUPOPUP:
        MenuPopups++;
        break;
    case WM_COMMAND:
        Commands++;
        break;
    case WM_RBUTTONDOWN:
        RightClicks++;
        break;
    case WM_MBUTTONDOWN:
        MiddleClicks++;
        break;
    case WM_CREATE:
        if (!(GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD))
            OpenWindows++;
        return 0;
    case WM_DROP_CAPTION:
        SetWindowLongA(hwnd, GWL_STYLE, GetWindowLongA(hwnd, GWL_STYLE) & ~WS_DLGFRAME);
        return 0;
    case WM_GETMINMAXINFO:
        if (MinTrackHeight)
            ((MINMAXINFO *)lParam)->ptMinTrackSize.y = MinTrackHeight;
        return 0;
    case WM_DESTROY:
        if (DestroyReport) {
            RECT rc;
            GetWindowRect(hwnd, &rc);
            FILE *report = fopen(DestroyReport, "w");
            if (report) {
                fprintf(report, "%ld\n", rc.bottom - rc.top);
                fclose(report);
            }
        }
        if (!(GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) && --OpenWindows == 0)
            PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

struct ProbeArgs {
    const char *cls = "KovProbe";
    const char *title = "Probe";
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD exStyle = 0;
    bool hidden = false;
    bool disabled = false;
    bool dropCaption = false;
    bool child = false;
    const char *ownedDialog = nullptr;
    int count = 1;
    int x = 100, y = 100, w = 400, h = 300;
};

// The command line from the first blank behind the program name, as given.
static const char *CommandLineTail()
{
    const char *line = GetCommandLineA();
    bool quoted = false;
    while (*line && (quoted || *line != ' ')) {
        if (*line == '"')
            quoted = !quoted;
        line++;
    }
    return *line ? line + 1 : line;
}

static int ReadOption(const char *dll, const char *offset)
{
    HMODULE module = LoadLibraryA(dll);
    if (!module)
        return -1;
    typedef int(WINAPI * GetHookDataFn)(OptionsRecord **, ExceptionList **);
    GetHookDataFn getHookData = (GetHookDataFn)GetProcAddress(module, "GetHookData");
    OptionsRecord *options;
    ExceptionList *exceptions;
    getHookData(&options, &exceptions);
    uint32_t value;
    memcpy(&value, (char *)options + strtoul(offset, NULL, 0), sizeof(value));
    return (int)value;
}

int main(int argc, char **argv)
{
    ProbeArgs a;
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        const char *next = i + 1 < argc ? argv[i + 1] : "";
        if (!strcmp(arg, "--read-option") && i + 2 < argc)
            return ReadOption(argv[i + 1], argv[i + 2]);
        if (!strcmp(arg, "--class"))
            a.cls = next, i++;
        else if (!strcmp(arg, "--title"))
            a.title = next, i++;
        else if (!strcmp(arg, "--style"))
            a.style = strtoul(next, NULL, 16), i++;
        else if (!strcmp(arg, "--exstyle"))
            a.exStyle = strtoul(next, NULL, 16), i++;
        else if (!strcmp(arg, "--hidden"))
            a.hidden = true;
        else if (!strcmp(arg, "--disabled"))
            a.disabled = true;
        else if (!strcmp(arg, "--drop-caption"))
            a.dropCaption = true;
        else if (!strcmp(arg, "--child"))
            a.child = true;
        else if (!strcmp(arg, "--min-track-height"))
            MinTrackHeight = atoi(next), i++;
        else if (!strcmp(arg, "--owned-dialog"))
            a.ownedDialog = next, i++;
        else if (!strcmp(arg, "--report-destroy"))
            DestroyReport = next, i++;
        else if (!strcmp(arg, "--cmdline-title"))
            a.title = CommandLineTail();
        else if (!strcmp(arg, "--count"))
            a.count = atoi(next), i++;
        else if (!strcmp(arg, "--rect"))
            sscanf(next, "%d,%d,%d,%d", &a.x, &a.y, &a.w, &a.h), i++;
    }
    QueryMsg = RegisterWindowMessageA(PROBE_QUERY_MSG);
    PingMsg = RegisterWindowMessageA(PROBE_PING_MSG);
    FreezeMsg = RegisterWindowMessageA(PROBE_FREEZE_MSG);

    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = a.cls;
    RegisterClassA(&wc);

    for (int n = 0; n < a.count; n++) {
        HWND hwnd = CreateWindowExA(a.exStyle, a.cls, a.title, a.style, a.x + 20 * n,
                                    a.y + 20 * n, a.w, a.h, NULL, NULL, wc.hInstance, NULL);
        if (!hwnd)
            return 2;
        if (a.dropCaption)
            PostMessageA(hwnd, WM_DROP_CAPTION, 0, 0);
        if (a.child)
            CreateWindowExA(0, a.cls, "Child", WS_CHILD | WS_VISIBLE | WS_CAPTION, 10, 10, 200, 100,
                            hwnd, NULL, wc.hInstance, NULL);
        if (!a.hidden)
            ShowWindow(hwnd, SW_SHOWNORMAL);
        if (a.disabled)
            EnableWindow(hwnd, FALSE);
    }
    if (a.ownedDialog) {
        HWND owner = FindWindowA(a.cls, NULL);
        HWND dialog = CreateWindowExA(WS_EX_DLGMODALFRAME, a.cls, a.ownedDialog,
                                      WS_POPUP | WS_CAPTION | WS_SYSMENU, a.x + 40, a.y + 40, 250,
                                      150, owner, NULL, wc.hInstance, NULL);
        ShowWindow(dialog, SW_SHOWNORMAL);
        EnableWindow(owner, FALSE);
    }
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
