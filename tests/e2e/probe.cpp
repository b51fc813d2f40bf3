// A program for the end-to-end tests: makes top-level windows as its command line says (see main), counts what its
// own window procedure sees, and runs until they are all closed. Like many real programs it peeks at its queue before
// taking each message. --keep: windows that stay when asked to close; --offer-twice: offered to the library again, as
// when made while the hooks went in; --unicode: Unicode windows. The subclass message puts an ANSI subclass of another
// module in front (wParam 1) and takes it away (0); --buttons: push buttons of these styles (WS_VISIBLE hides),
// ids 1, 2, ...; WM_APP + 2: a message box "Snap" (or a system-modal "Question"); --spy: see SpyOnInput.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "probe.h"

static UINT QueryMsg, PingMsg, FreezeMsg, SubclassMsg;
static int Open, Count[16], LastHeight;
static bool Keep, Unicode;
static WNDPROC Saved;   // what the other module's subclass found

static LRESULT CALLBACK OtherProc(HWND h, UINT m, WPARAM w, LPARAM l) { return CallWindowProcA(Saved, h, m, w, l); }

#define WM_DROP_CAPTION (WM_APP + 1)

// --caption W,H,BORDER,HOW: a frame of today's Windows, three boxes W x H at the top right inside an invisible border,
// reported (HOW) through WM_GETTITLEBARINFOEX and hit-testing (i), hit-testing only (h), both with a caption of its own
// over which the client lies and which it answers for (o), or that caption naming nothing (n). A help box is reported
// hidden, far left.
static int CapW, CapH, CapBorder;
static char CapHow;

static RECT CaptionBox(HWND hwnd, int i)   // 0 minimize ... 2 close, 3 the hidden help box
{
    RECT r;
    GetWindowRect(hwnd, &r);
    int right = r.right - CapBorder - (2 - i) * CapW - (i == 3) * 4 * CapW;
    return {right - CapW, r.top + 1, right, r.top + 1 + CapH};
}

static bool AnswerCaption(HWND hwnd, UINT msg, LPARAM lParam, LRESULT *result)
{
    static const LRESULT codes[] = {HTMINBUTTON, HTMAXBUTTON, HTCLOSE};
    if (msg == WM_DPICHANGED)   // as a program aware of each monitor's DPI, which would take the rectangle offered
        return *result = 0, true;
    if (msg == WM_NCCALCSIZE && (CapHow == 'o' || CapHow == 'n'))
        return *result = 0, true;
    if (msg == WM_GETTITLEBARINFOEX && (CapHow == 'i' || CapHow == 'o')) {
        TITLEBARINFOEX *info = (TITLEBARINFOEX *)lParam;
        for (int i = 0; i < 4; i++)
            info->rgrect[i == 3 ? 4 : i + 2] = CaptionBox(hwnd, i), info->rgstate[i == 3 ? 4 : i + 2] = 0;
        info->rgstate[4] = STATE_SYSTEM_INVISIBLE;
        info->rcTitleBar = {CaptionBox(hwnd, 3).left, CaptionBox(hwnd, 0).top, CaptionBox(hwnd, 2).right,
                            CaptionBox(hwnd, 0).bottom};
        return *result = 0, true;
    }
    POINT at = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    for (int i = 0; msg == WM_NCHITTEST && CapHow && CapHow != 'n' && i < 3; i++) {
        RECT box = CaptionBox(hwnd, i);
        if (PtInRect(&box, at))
            return *result = codes[i], true;
    }
    if (msg == WM_NCHITTEST && CapHow == 'o' && at.y < CaptionBox(hwnd, 0).bottom)   // its own caption, drawn in the client
        return *result = HTCAPTION, true;
    return false;
}

static LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT answer;
    if (AnswerCaption(hwnd, msg, lParam, &answer))
        return answer;
    if (msg == QueryMsg && wParam == Q_SUBCLASSED)
        return (Unicode ? GetWindowLongPtrW : GetWindowLongPtrA)(hwnd, GWLP_WNDPROC) != (LONG_PTR)ProbeProc;
    if (msg == QueryMsg)
        return wParam == Q_LASTHEIGHT ? LastHeight : wParam < 16 ? Count[wParam] : -1;
    if (msg == PingMsg) {
        char name[64];
        snprintf(name, sizeof(name), PROBE_PONG_EVENT, (unsigned)wParam);
        HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
        return SetEvent(event), CloseHandle(event), 0;
    }
    if (msg == FreezeMsg)
        Sleep((DWORD)wParam);
    if (msg == SubclassMsg && wParam)
        Saved = (WNDPROC)SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)OtherProc);
    else if (msg == SubclassMsg)
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)Saved);
    // Messages counted, by query.
    static const UINT counted[][2] = {{WM_SIZE, Q_SIZES}, {WM_INITMENUPOPUP, Q_MENUPOPUPS},
                                      {WM_COMMAND, Q_COMMANDS}, {WM_RBUTTONDOWN, Q_RCLICKS},
                                      {WM_MBUTTONDOWN, Q_MCLICKS}, {WM_ACTIVATE, Q_ACTIVATES}};
    for (const auto &c : counted)
        Count[c[1]] += msg == c[0];
    LastHeight = msg == WM_SIZE ? HIWORD(lParam) : LastHeight;
    Count[Q_ACTIONS] += msg == 0x6F00 && wParam >= 0x7000 && wParam < 0x7200;   // spent actions
    Count[Q_TASKLISTS] += msg == WM_SYSCOMMAND && wParam == SC_TASKLIST;
    switch (msg) {
    case WM_APP + 2:   // wParam 1: a system-modal box, over every window
        Count[Q_BOX] = MessageBoxA(hwnd, "Snap", wParam ? "Question" : "Snap",
                                   MB_OKCANCEL | (wParam ? MB_SYSTEMMODAL : 0));
        break;
    case WM_APP + 3:   // cloaked (wParam 1) or shown again, as a virtual desktop's switch does it
        if (!wParam || !SetPropA(hwnd, PROBE_CLOAKED, (HANDLE)1))
            RemovePropA(hwnd, PROBE_CLOAKED);
        NotifyWinEvent(wParam ? 0x8017 : 0x8018, hwnd, OBJID_WINDOW, CHILDID_SELF);
        return 0;
    case WM_WINDOWPOSCHANGED:   // Windows tells of a window shown, Wine does not: the probe tells of itself
        if (((WINDOWPOS *)lParam)->flags & SWP_SHOWWINDOW)
            NotifyWinEvent(0x8002, hwnd, OBJID_WINDOW, CHILDID_SELF);
        break;
    case WM_DROP_CAPTION:
        SetWindowLongA(hwnd, GWL_STYLE, GetWindowLongA(hwnd, GWL_STYLE) & ~WS_DLGFRAME);
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

static int Argc; static char **Argv;

// The value given after option name, or otherwise; and whether a flag is given.
static const char *Get(const char *name, const char *otherwise)
{
    for (int i = 1; i + 1 < Argc; i++)
        if (!strcmp(Argv[i], name))
            return Argv[i + 1];
    return otherwise;
}

static bool Flag(const char *name) { return Get(name, NULL) || (Argc > 1 && !strcmp(Argv[Argc - 1], name)); }

int main(int argc, char **argv)
{
    Argc = argc, Argv = argv;
    const char *cls = Get("--class", "KovProbe"), *dialog = Get("--owned-dialog", NULL);
    const char *title = Flag("--cmdline-title") ? GetCommandLineA() : Get("--title", "Probe");
    DWORD style = strtoul(Get("--style", "CF0000"), NULL, 16), exStyle = strtoul(Get("--exstyle", "0"), NULL, 16);
    int x, y, w, h, count = atoi(Get("--count", "1"));
    sscanf(Get("--rect", "100,100,400,300"), "%d,%d,%d,%d", &x, &y, &w, &h);
    Keep = Flag("--keep"), Unicode = Flag("--unicode");
    bool hidden = Flag("--hidden"), disabled = Flag("--disabled"), child = Flag("--child");
    bool drop = Flag("--drop-caption"), twice = Flag("--offer-twice");
    sscanf(Get("--caption", ""), "%d,%d,%d,%c", &CapW, &CapH, &CapBorder, &CapHow);
    if (Flag("--spy")) {   // logs its own thread's input (spy.dll)
        FARPROC on = GetProcAddress(LoadLibraryA("spy.dll"), "SpyOnInput");
        if (!on || !((BOOL(*)(DWORD))on)(GetCurrentThreadId()))
            return 3;
    }
    QueryMsg = RegisterWindowMessageA(PROBE_QUERY_MSG), PingMsg = RegisterWindowMessageA(PROBE_PING_MSG);
    FreezeMsg = RegisterWindowMessageA(PROBE_FREEZE_MSG), SubclassMsg = RegisterWindowMessageA(PROBE_SUBCLASS_MSG);
    const char *paint = Get("--paint", NULL);   // the client's colour, RRGGBB
    DWORD rgb = paint ? strtoul(paint, NULL, 16) : 0;
    HBRUSH back = paint ? CreateSolidBrush(RGB(rgb >> 16, rgb >> 8 & 255, rgb & 255)) : (HBRUSH)(COLOR_WINDOW + 1);
    WNDCLASSA wc = {CS_DBLCLKS, ProbeProc, 0, 0, GetModuleHandleA(NULL), NULL,
                    LoadCursorA(NULL, (LPCSTR)IDC_ARROW), back, NULL, cls};
    wchar_t wide[64];
    MultiByteToWideChar(CP_ACP, 0, cls, -1, wide, 64);
    WNDCLASSW wcw = {wc.style, ProbeProc, 0, 0, wc.hInstance, NULL, wc.hCursor, wc.hbrBackground, NULL, wide};
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
        char *end = (char *)Get("--buttons", NULL);
        for (INT_PTR i = 1; end && *end; i++, end += *end == ',')
            CreateWindowExA(0, "BUTTON", "B", WS_CHILD | (WS_VISIBLE ^ strtoul(end, &end, 16)),
                            90 * i - 80, 10, 81, 31, hwnd, (HMENU)i, wc.hInstance, NULL);
        if (Flag("--cloaked"))
            SetPropA(hwnd, PROBE_CLOAKED, (HANDLE)1);
        if (Flag("--old-frame"))
            SetPropA(hwnd, PROBE_OLD_FRAME, (HANDLE)1);
        if (Get("--dark", NULL))
            SetPropA(hwnd, PROBE_DARK, (HANDLE)(INT_PTR)(1 + atoi(Get("--dark", "0"))));
        if (!hidden)
            ShowWindow(hwnd, SW_SHOWNORMAL);
        if (disabled)
            EnableWindow(hwnd, FALSE);
    }
    if (dialog) {   // as a modal dialog box comes: its owner disabled before it shows
        EnableWindow(first, FALSE);
        HWND owned = CreateWindowExA(WS_EX_DLGMODALFRAME, cls, dialog, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                                     x + 40, y + 40, 250, 150, first, NULL, wc.hInstance, NULL);
        Open += owned != NULL;
    }
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE), GetMessageA(&msg, NULL, 0, 0) > 0)
        TranslateMessage(&msg), DispatchMessageA(&msg);
    return 0;
}
