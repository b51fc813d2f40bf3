// A program for the end-to-end tests: creates top-level windows as its
// command line says, counts what its own window procedure sees, and runs
// until they are all closed. Like many real programs it peeks at its queue
// before taking each message.
//
//   probe [--class NAME] [--title TEXT] [--style HEX] [--exstyle HEX]
//         [--rect X,Y,W,H] [--count N] [--hidden] [--disabled] [--child]
//         [--drop-caption] [--min-track-height N] [--owned-dialog TITLE]
//         [--cmdline-title] [--keep] [--unicode] [--offer-twice]
// --keep: the windows stay when asked to close (only destroying ends them).
// --offer-twice: the window is offered to the library a second time, as when
// it was made while the hooks went in.
// --unicode: Unicode windows; they also take the probe's subclass message,
// which puts an ANSI subclass of another module in front (wParam 1) and
// takes it away again (0), as that module would.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "probe.h"

static UINT QueryMsg, PingMsg, FreezeMsg, SubclassMsg;
static int Open, MinTrack, Count[16], LastHeight;
static bool Keep, Unicode;
static WNDPROC Saved;   // what the other module's subclass found

static LRESULT CALLBACK OtherModuleProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(Saved, hwnd, msg, wParam, lParam);
}

#define WM_DROP_CAPTION (WM_APP + 1)

static LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == QueryMsg) {
        if (wParam == Q_SUBCLASSED)
            return (Unicode ? GetWindowLongPtrW : GetWindowLongPtrA)(hwnd, GWLP_WNDPROC) !=
                   (LONG_PTR)ProbeProc;
        if (wParam == Q_LASTHEIGHT)
            return LastHeight;
        if (wParam == Q_SHIFT)
            return (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
        return wParam < 16 ? Count[wParam] : -1;
    }
    if (msg == PingMsg) {
        char name[64];
        snprintf(name, sizeof(name), PROBE_PONG_EVENT, (unsigned)wParam);
        HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
        SetEvent(event);
        CloseHandle(event);
        return 0;
    }
    if (msg == FreezeMsg)
        Sleep((DWORD)wParam);
    if (msg == SubclassMsg && wParam)
        Saved = (WNDPROC)SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)OtherModuleProc);
    else if (msg == SubclassMsg)
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)Saved);
    switch (msg) {
    case 0x6F00:   // the library's spent message
        Count[Q_ACTIONS] += wParam >= 0x7000 && wParam < 0x7200;
        break;
    case WM_SIZE:
        Count[Q_SIZES]++;
        LastHeight = HIWORD(lParam);
        break;
    case WM_INITMENUPOPUP:
        Count[Q_MENUPOPUPS]++;
        break;
    case WM_COMMAND:
        Count[Q_COMMANDS]++;
        break;
    case WM_SYSCOMMAND:
        Count[Q_TASKLISTS] += wParam == SC_TASKLIST;
        break;
    case WM_RBUTTONDOWN:
        Count[Q_RCLICKS]++;
        break;
    case WM_MBUTTONDOWN:
        Count[Q_MCLICKS]++;
        break;
    case WM_DROP_CAPTION:
        SetWindowLongA(hwnd, GWL_STYLE, GetWindowLongA(hwnd, GWL_STYLE) & ~WS_DLGFRAME);
        return 0;
    case WM_GETMINMAXINFO:
        if (MinTrack)
            ((MINMAXINFO *)lParam)->ptMinTrackSize.y = MinTrack;
        return 0;
    case WM_CLOSE:
        if (Keep)
            return 0;
        break;
    case WM_DESTROY:
        if (!(GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) && --Open == 0)
            PostQuitMessage(0);
        return 0;
    }
    return (Unicode ? DefWindowProcW : DefWindowProcA)(hwnd, msg, wParam, lParam);
}

// The command line from the first blank behind the program name, as given.
static const char *CommandLineTail()
{
    const char *line = GetCommandLineA();
    for (bool quoted = false; *line && (quoted || *line != ' '); line++)
        quoted ^= *line == '"';
    return *line ? line + 1 : line;
}

int main(int argc, char **argv)
{
    const char *cls = "KovProbe", *title = "Probe", *dialog = NULL;
    DWORD style = WS_OVERLAPPEDWINDOW, exStyle = 0;
    int x = 100, y = 100, w = 400, h = 300, count = 1;
    bool hidden = false, disabled = false, child = false, drop = false, twice = false;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i], *next = i + 1 < argc ? argv[i + 1] : "";
        bool takes = true;
        if (!strcmp(a, "--class"))
            cls = next;
        else if (!strcmp(a, "--title"))
            title = next;
        else if (!strcmp(a, "--style"))
            style = strtoul(next, NULL, 16);
        else if (!strcmp(a, "--exstyle"))
            exStyle = strtoul(next, NULL, 16);
        else if (!strcmp(a, "--rect"))
            sscanf(next, "%d,%d,%d,%d", &x, &y, &w, &h);
        else if (!strcmp(a, "--count"))
            count = atoi(next);
        else if (!strcmp(a, "--min-track-height"))
            MinTrack = atoi(next);
        else if (!strcmp(a, "--owned-dialog"))
            dialog = next;
        else
            takes = false;
        i += takes;
        hidden |= !strcmp(a, "--hidden");
        disabled |= !strcmp(a, "--disabled");
        child |= !strcmp(a, "--child");
        drop |= !strcmp(a, "--drop-caption");
        Keep |= !strcmp(a, "--keep");
        Unicode |= !strcmp(a, "--unicode");
        twice |= !strcmp(a, "--offer-twice");
        if (!strcmp(a, "--cmdline-title"))
            title = CommandLineTail();
    }
    QueryMsg = RegisterWindowMessageA(PROBE_QUERY_MSG);
    PingMsg = RegisterWindowMessageA(PROBE_PING_MSG);
    FreezeMsg = RegisterWindowMessageA(PROBE_FREEZE_MSG);
    SubclassMsg = RegisterWindowMessageA(PROBE_SUBCLASS_MSG);
    WNDCLASSA wc = {CS_DBLCLKS, ProbeProc, 0, 0, GetModuleHandleA(NULL), NULL,
                    LoadCursorA(NULL, (LPCSTR)IDC_ARROW), (HBRUSH)(COLOR_WINDOW + 1), NULL, cls};
    wchar_t wide[64];
    MultiByteToWideChar(CP_ACP, 0, cls, -1, wide, 64);
    WNDCLASSW wcw = {wc.style, ProbeProc, 0, 0, wc.hInstance, NULL, wc.hCursor, wc.hbrBackground,
                     NULL, wide};
    Unicode ? RegisterClassW(&wcw) : RegisterClassA(&wc);

    HWND first = NULL;
    for (int n = 0; n < count; n++, Open++) {
        HWND hwnd = CreateWindowExA(exStyle, cls, title, style, x + 20 * n, y + 20 * n, w, h,
                                    NULL, NULL, wc.hInstance, NULL);
        if (!hwnd)
            return 2;
        first = first ? first : hwnd;
        if (drop)
            PostMessageA(hwnd, WM_DROP_CAPTION, 0, 0);
        if (twice)
            PostMessageA(hwnd, RegisterWindowMessageA("KovCreateAllBtns"), 0, 0);
        if (child)
            CreateWindowExA(0, cls, "Child", WS_CHILD | WS_VISIBLE | WS_CAPTION, 10, 10, 200, 100,
                            hwnd, NULL, wc.hInstance, NULL);
        if (!hidden)
            ShowWindow(hwnd, SW_SHOWNORMAL);
        if (disabled)
            EnableWindow(hwnd, FALSE);
    }
    if (dialog) {
        HWND owned = CreateWindowExA(WS_EX_DLGMODALFRAME, cls, dialog,
                                     WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, x + 40,
                                     y + 40, 250, 150, first, NULL, wc.hInstance, NULL);
        Open += owned != NULL;
        EnableWindow(first, FALSE);
    }
    MSG msg;
    for (;;) {
        PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);
        if (GetMessageA(&msg, NULL, 0, 0) <= 0)
            break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
