// Scrolling by mouse gestures, and the pointer snapped onto windows that get the focus.
#include "kt.h"

using namespace kt;

// Windows of this program, whose scroll and key messages leave words: k, K, H or V (key down, up,
// horizontal, vertical scroll), wParam in hex, v when aimed at the vertical scroll-bar control,
// and a key's lParam. The library works for them while a wait takes this thread's messages.
static std::string Words;
static HWND Bar;

static LRESULT CALLBACK Logging(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    char word[40] = "";
    bool key = (msg == WM_KEYDOWN || msg == WM_KEYUP) && wParam >= VK_PRIOR && wParam <= VK_DOWN;
    const char *to = Bar && lParam == (LPARAM)Bar ? "v" : lParam && !key ? "?" : "";
    if (key || msg == WM_VSCROLL || msg == WM_HSCROLL)
        snprintf(word, sizeof(word), key ? "%c%X%s:%lX " : "%c%X%s ",
                 "kKHV"[(msg & 1) | (msg >> 3 & 2)], (unsigned)wParam, to, (long)lParam);
    Words += word;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// With bars, a vertical scroll-bar control to 300 and a disabled horizontal one too.
static HWND LoggingWindow(int x, int max, bool bars = false)
{
    WNDCLASSA wc = {CS_DBLCLKS, Logging, 0, 0, 0, 0, LoadCursorA(NULL, IDC_ARROW), 0, 0, "Logging"};
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "Logging", "", WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL |
                                WS_VISIBLE, x, 60, 300, 400, NULL, NULL, NULL, NULL);
    SetScrollRange(hwnd, SB_VERT, 0, max, TRUE);
    if (bars) {
        Bar = CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | SBS_VERT, 0, 0, 9, 9, hwnd, 0, 0, 0);
        SetScrollRange(Bar, SB_CTL, 0, 300, TRUE);
        CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | WS_DISABLED, 0, 0, 9, 9, hwnd, 0, 0, 0);
    }
    return hwnd;
}

// A window of a thread of its own, never active (a window manager stacks and places an active one as it
// likes), counting the line scrolls up it gets and the ticks of its thread's own timer if it has one (a
// thread's first: under Wine the same number in every thread).
struct Lane { RECT rect; bool timer; volatile LONG scrolls, ticks; HANDLE thread; DWORD id; HWND hwnd; };

static LRESULT CALLBACK LaneProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Lane *lane = (Lane *)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    if (lane && msg == WM_VSCROLL && LOWORD(wParam) == SB_LINEUP)
        InterlockedIncrement(&lane->scrolls);
    if (msg == WM_MOUSEACTIVATE)
        return MA_NOACTIVATE;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static DWORD WINAPI LaneThread(void *param)
{
    Lane *lane = (Lane *)param;
    const RECT &r = lane->rect;
    HWND hwnd = lane->hwnd = CreateWindowExA(lane->timer ? WS_EX_TOPMOST : 0, "Lane", "", WS_POPUP,
                                             r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, 0, 0);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)lane), ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    if (lane->timer)
        SetTimer(NULL, 0, 50, NULL);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        lane->ticks += msg.message == WM_TIMER && !msg.hwnd, DispatchMessageA(&msg);
    return 0;
}

// 20-pixel steps (u d l r) and the middle button: pressed (P), released (R), clicked (c), a double click's second (D).
static void Gesture(POINT at, const char *steps)
{
    for (const char *s = steps; *s; s++) {
        at.x += 20 * ((*s == 'r') - (*s == 'l')), at.y += 20 * ((*s == 'd') - (*s == 'u'));
        if (strchr("udlr", *s))
            MoveTo(at);
        if (strchr("PcD", *s))
            Button(2, true, *s == 'D');
        if (strchr("RcD", *s))
            Button(2, false);
    }
}

TEST_CASE("scroll gestures: a page on a click, pages or the top or end on a double click, lines "
          "while dragging, as scroll messages or cursor keys; auto-scroll; Notepad")
{
    Desk desk;
    desk.op->Flags = 0, desk.op->AutoScrollZone = 60, desk.op->AutoScrollInterval = 100;
    HWND own = LoggingWindow(20, 70000), zero = LoggingWindow(350, 0), bars = LoggingWindow(680, 500, true);
    auto times = [](int n, std::string w) { std::string all; while (n--) all += w; return all; };
    const DWORD keys = FLAG_SCROLLWITHKEYS;
    const std::tuple<HWND, int, DWORD, const char *, std::string> rows[] = {
        {own, 6, 0, "c", ""}, {own, 6, 0, "dc", "V3 V8 "}, {own, 6, 0, "uc", "V2 V8 "},
        {own, 6, 0, "rc", ""}, {own, 6, 0, "PdurlR", "V1 V8 V0 V8 H1 H8 H0 H8 "},
        {own, 6, 0, "dcD", "V3 V8 V3 V3 V3 V3 V3 V3 V8 "},
        {own, 0, 0, "dcD", "V3 V8 VFFFF0004 V8 "},   // the end as far as 16 bits reach
        {own, 0, 0, "ucD", "V2 V8 V4 V8 "}, {zero, 0, 0, "dcD", "V3 V8 V23280004 V8 "},
        {bars, 0, 0, "PdrRdcD", "V1v V8v H1 H8 V3v V8v V12C0004v V8v "},
        {own, 6, keys, "PdurlR", "k28:1500001 K28:C1500001 k26:1480001 K26:C1480001 "
                                 "k27:14D0001 K27:C14D0001 k25:14B0001 K25:C14B0001 "},
        {own, 2, keys, "dcD", times(3, "k22:1510001 K22:C1510001 ")},
        {own, 0, keys, "ucD", "k21:1490001 K21:C1490001 "},
        {own, 0x7FFFFFFF, 0, "dcD", "V3 V8 " + times(1000, "V3 ") + "V8 "}};
    // The words of a gesture over hwnd (and of what is done after its first steps).
    auto scroll = [&](HWND hwnd, const char *steps, std::function<void()> then = {}, const char *more = "") {
        POINT at = Centre(Rect(hwnd));
        MoveTo({at.x ^ 1, at.y}), Words.clear();
        desk.sh->State.MouseDirection = 0, desk.sh->State.LastMousePos.x = at.x, desk.sh->State.LastMousePos.y = at.y;
        Gesture(at, steps);
        if (then)
            then(), Gesture({at.x, at.y + 20 * (int)strlen(steps)}, more);
        MoveTo({at.x, at.y ^ 1});
        return Words;
    };
    for (const auto &[hwnd, pages, flags, steps, words] : rows) {
        INFO(steps << ", pages " << pages << ", flags " << flags);
        desk.op->ScrollPages = pages, desk.op->Flags = flags;
        CHECK(scroll(hwnd, steps) == words);
    }
    // Scroll-bar controls that change after the first scroll: destroyed in the middle of a drag,
    // made disabled, enabled: only a live, enabled one is aimed at.
    const std::tuple<const char *, std::function<void()>, const char *, std::string> changes[] = {
        {"Pd", [] { DestroyWindow(Bar); }, "dR", "V1v V8v V1 V8 "},
        {"", [&] { Bar = CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | WS_DISABLED | SBS_VERT,
                                         0, 0, 9, 9, bars, 0, 0, 0); }, "dc", "V3 V8 "},
        {"", [] { EnableWindow(Bar, TRUE); }, "dc", "V3v V8v "}};
    desk.op->ScrollPages = 0, desk.op->Flags = 0;
    for (const auto &[before, change, steps, words] : changes)
        CHECK(scroll(bars, before, change, steps) == words);

    // Dragged from the first point on: ticking at the interval, a line each, or still.
    desk.op->Flags = 0;
    RECT r = Rect(own);
    POINT mid = Centre(r), top = {mid.x, r.top + 40};
    volatile uint32_t &timer = desk.sh->State.autoScroll.TimerId;
    const std::vector<std::pair<POINT, bool>> drags[] = {
        {{mid, 0}, {top, 1}}, {{mid, 0}, {{mid.x, r.bottom - 35}, 1}},
        {{top, 0}, {{mid.x + 20, top.y}, 0}}, {{mid, 0}, {top, 1}, {{mid.x, r.top + 70}, 0}},
        {{mid, 0}, {top, 1}, {{mid.x, r.top - 10}, 0}}, {{mid, 0}, {top, 1}, {{mid.x, r.top - 5}, 1}}};
    for (const auto &drag : drags) {
        MoveTo({drag[0].first.x ^ 1, drag[0].first.y}), Button(2, true);
        for (size_t i = 1; i < drag.size(); i++) {
            // What an earlier tick posted is handled first; the move itself may scroll a line at once.
            for (MSG m; PeekMessageA(&m, NULL, 0, 0, PM_REMOVE);)
                DispatchMessageA(&m);
            DWORD start = GetTickCount();
            long ticks = drag[i].second ? 7 : 1;
            Words.clear(), MoveTo(drag[i].first);
            CHECK(WaitFor([&] { return std::count(Words.begin(), Words.end(), '8') >= ticks; }));
            CHECK((ticks > 1 ? GetTickCount() - start >= 450 : WaitFor([&] { return !timer; })));
        }
        Button(2, false);
        CHECK(WaitFor([&] { return !timer; }));
    }
    // Auto-scrolling a window of another thread, let go over one of a third thread (inside the first one's band)
    // whose own thread timer has the same number: the first one's timer stops in its own thread, the third's goes on.
    WNDCLASSA lanes = {0, LaneProc, 0, 0, 0, 0, LoadCursorA(NULL, IDC_ARROW), 0, 0, "Lane"};
    RegisterClassA(&lanes);
    Lane b = {{350, 470, 650, 730}, false}, c = {{450, 475, 600, 495}, true};
    for (Lane *lane : {&b, &c})
        lane->thread = CreateThread(NULL, 0, LaneThread, lane, 0, &lane->id);
    REQUIRE(WaitFor([&] { return WindowFromPoint({500, 650}) == b.hwnd && WindowFromPoint({500, 485}) == c.hwnd && c.ticks; }));
    MoveTo({500, 650}), Button(2, true), MoveTo({500, 515});
    REQUIRE(WaitFor([&] { return b.scrolls >= 3 && timer; }));
    LONG going = c.ticks;
    CHECK(WaitFor([&] { return c.ticks >= going + 3; }));   // the third's own, not taken for ticks
    MoveTo({500, 485}), Button(2, false);
    REQUIRE(WaitFor([&] { return !timer; }));
    LONG left = b.ticks;
    going = c.ticks;
    CHECK(WaitFor([&] { return c.ticks >= going + 4; }));
    CHECK(b.ticks == left);   // none left over
    for (Lane *lane : {&b, &c})
        PostThreadMessageA(lane->id, WM_QUIT, 0, 0), WaitForSingleObject(lane->thread, 5000);
    // A real program's own scroll bars.
    desk.Write("long.txt", times(300, "line\r\n")), desk.Run("C:\\windows\\notepad.exe", desk.Path("long.txt"));
    HWND edit = NULL;
    REQUIRE(WaitFor([&] {
        edit = FindWindowExA(WaitTop("Notepad", "", 0, 0), NULL, "Edit", NULL);
        return SendMessageA(edit, EM_GETLINECOUNT, 0, 0) > 300;
    }));
    MoveTo(Centre(Rect(edit))), Gesture(Centre(Rect(edit)), "PdddR");
    CHECK(WaitFor([&] { return SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0) >= 3; }));
    DestroyWindow(own), DestroyWindow(zero), DestroyWindow(bars);   // kovw need not wait for them
}

TEST_CASE("snapping: onto a new window's default push button, else a plain one, else its middle, "
          "once; onto an existing window only from outside, not twice running; never the taskbar")
{
    Shell desk("--class Shell_TrayWnd");
    HWND bar = desk.bar;
    const POINT away = {900, 650}, inside = {650, 450};
    // Buttons of these styles (none: a message box); the one snapped to, -1 the middle, 0 none.
    const std::tuple<const char *, DWORD, int> rows[] = {
        {"8000001,10000001,0,1", 0, 4}, {"2000,0,0", 0, 2}, {"2000", 0, -1}, {"", 0, IDOK},
        {"2000", FLAG_SNAPBUTTONWINDOWSONLY, 0}};
    for (auto [buttons, flags, id] : rows) {
        INFO(buttons << ", flags " << flags);
        desk.op->Flags = FLAGS_DEFAULT | flags;
        MoveTo(away);
        HWND hwnd = desk.Probe(std::string("--buttons ") + buttons), box = hwnd;
        if (!*buttons)
            PostMessageA(hwnd, WM_APP + 2, 0, 0), box = WaitBox("Snap", PidOf(hwnd));
        HWND target = id > 0 ? GetDlgItem(box, id) : id ? box : NULL;
        POINT to = target ? Centre(Rect(target)) : away;
        CHECK((Ping(hwnd) && WaitFor([&] { return PointerAt(to) && desk.sh->State.hwndOldSnapWindow == target; })));
        REQUIRE(Activate(box));   // as it is: no longer new, and not the pointer's
        MoveTo(away), desk.sh->State.hwndOldSnapWindow = NULL;   // focused again, no longer new
        PostMessageA(box, KM_SNAPFOCUS, (WPARAM)box, 0);
        CHECK((Ping(hwnd) && PointerAt(away)));
    }
    desk.op->Flags = FLAG_SNAPFOCUSWINDOW;
    HWND a = desk.Probe("--rect 100,420,300,200"), b = desk.Probe("--rect 500,420,300,200");
    // Snapped once the snapping thread says so: it moves the system's pointer before the display's.
    auto snapped = [&](HWND to) {
        return WaitFor([&] { return PointerAt(Centre(Rect(to))) && desk.sh->State.hwndOldSnapWindow == to; });
    };
    // Snapped already, so not again; then its thread has read the focus and handled what that posted.
    REQUIRE((snapped(b) && Activate(b) && Ping(b) && Ping(b)));
    MoveTo(away), Activate(a);
    CHECK(snapped(a));
    MoveTo(away), PostMessageA(a, KM_SNAPFOCUS, (WPARAM)a, 0);   // the same again
    CHECK((Ping(a) && PointerAt(away)));
    MoveTo(inside), Activate(b);
    CHECK((WaitFor([&] { return desk.sh->State.hwndOldSnapWindow == b; }) && PointerAt(inside)));
    MoveTo(away), PostMessageA(bar, KM_SNAPFOCUS, (WPARAM)bar, 0);
    HWND start = FindWindowExA(bar, NULL, "Button", NULL);
    CHECK((WaitFor([&] { return desk.sh->State.hwndOldSnapWindow == start; }) && PointerAt(away)));
}
