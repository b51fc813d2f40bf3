// The button group on the title bar: its place on each kind of frame, following it, its drawing, what its buttons do.
#include "kt.h"

#include <algorithm>

using namespace kt;

static int M(int metric) { return GetSystemMetrics(metric); }

// The group's place (x from the frame's right edge when negative, else from its left edge) and its
// buttons, left to right, once the window manager has put the frame where it keeps it.
static void CheckGroup(HWND group, HWND frame, int x, int top, bool small, std::vector<int> ids)
{
    const int cx = M(small ? SM_CXSMSIZE : SM_CXSIZE), cy = M(small ? SM_CYSMSIZE : SM_CYSIZE);
    REQUIRE(group);
    RECT g, f;
    int left;
    auto placed = [&] {
        g = Rect(group), f = Rect(frame), left = x < 0 ? f.right + x : f.left + x;
        return g.left == left && g.top == f.top + top;
    };
    CHECK((WaitFor(placed, 5000) && g.bottom - g.top == cy && g.right - g.left == (int)ids.size() * cx));
    auto buttons = Buttons(group);
    REQUIRE(buttons.size() == ids.size());
    for (size_t i = 0; i < ids.size(); i++)
        CHECK((buttons[i].first == ids[i] && buttons[i].second.left == left + (int)i * cx &&
               buttons[i].second.right - buttons[i].second.left == cx));
}

static const int R = ACTION_ROLLUP, S = ACTION_STARTMENU, T = ACTION_TASKLIST,
                 U = ACTION_USERCMD, C = ACTION_CLOSE, H = ACTION_HIDE;

TEST_CASE("the group's place and buttons for each kind of frame")
{
    Desk desk;
    const int cx = M(SM_CXSIZE), sx = M(SM_CXSMSIZE), frame = M(SM_CXFRAME);
    const int fixed = M(SM_CXDLGFRAME), dialog = 2 * M(SM_CXBORDER) + fixed, yf = M(SM_CYFRAME), yd = M(SM_CYDLGFRAME);
    const struct {
        const char *args;
        int x;   // from the frame's right edge when negative, else from its left edge
        int top;
        bool small;
        std::vector<int> ids;
    } rows[] = {
        {"--style 00CF0000", -(frame + 6 * cx), yf, false, {R, S, T}},
        {"--style 80C80080", -(dialog + 4 * cx), yd, false, {R, S, T}},   // dialog frame
        {"--style 00CA0000", -(fixed + 6 * cx), yd, false, {R, S, T}},     // minimize box alone
        {"--style 00CC0000 --exstyle 80", -(frame + 4 * sx), yf, true, {R, S, T}},   // tool window
        {"--style 80C80080 --exstyle 400", -(dialog + 5 * cx), yd, false, {R, S, T}},   // help box
        {"TASKMAN.EXE", -(frame + 5 * cx), yf, false, {R, T}},
        {"kovw", -(fixed + 5 * sx), yd, true, {R, S, T, H}},
        {"user command, edge offset 5", -(frame + 7 * cx + 5), yf, false, {R, S, T, U}},
        {"left, edge offset 7", frame + 7 + cx + M(SM_CYBORDER), yf, false, {R, S, T, U}}};
    for (const auto &row : rows) {
        CAPTURE(std::string(row.args));
        std::string exe;
        if (row.args[0] == 'T')
            REQUIRE(CopyFileA((Bin() + "probe.exe").c_str(), (exe = desk.Path(row.args)).c_str(), 0));
        if (row.args[0] == 'u')
            strcpy(UserCommandOf(desk.op), "C:\\windows\\notepad.exe");
        desk.op->EdgeOffsetRight = row.args[0] == 'u' ? 5 : 0;
        if (row.args[0] == 'l')
            PlacementOf(desk.op) = PLACEMENT_LEFT, desk.op->EdgeOffsetLeft = 7;
        if (row.args[0] == 'k')
            PostMessageA(desk.main, KM_SHOWKOV, 0, 0);
        HWND hwnd = row.args[0] == 'k' ? desk.main : desk.Probe(row.args[0] == '-' ? row.args : "", exe);
        CheckGroup(desk.Group(hwnd), hwnd, row.x, row.top, row.small, row.ids);
    }
}

// Frames of today's Windows (see probe.cpp's --caption) at 96 and 144 dpi: the group left of the minimize box the frame
// reports, within one box of it, as high as the boxes give or take a third; a frame that draws its own caption and
// names nothing gets none, yet is in the task list. A DPI change re-measures a frame that reports nothing.
TEST_CASE("the group beside the boxes a frame reports, at the frame's DPI")
{
    for (DWORD dpi : {96, 144}) {
        REQUIRE(!RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi, 4));
        Desk desk;
        const int w = 46 * dpi / 96, h = 30 * dpi / 96, border = 7 * dpi / 96;
        for (char how : std::string("ihon")) {
            CAPTURE(dpi);
            CAPTURE(how);
            HWND frame = desk.Probe("--caption " + std::to_string(w) + "," + std::to_string(h) + "," +
                                    std::to_string(border) + "," + how);
            if (how == 'n') {
                REQUIRE((WaitFor([&] { return desk.Index(frame) >= 0; }) && Ping(frame) && Ping(frame)));
                CHECK(desk.Index(frame) >= 0);
                CHECK(desk.Rec(frame).hwndButtons == nullptr);
                CHECK(GroupsOf(frame).empty());
                Menu menu;
                Spy spy(GetWindowThreadProcessId(frame, NULL));
                Act(frame, ACTION_TASKLIST);
                REQUIRE(spy.Next(&menu, 5000));
                CHECK(std::count(menu.texts.begin(), menu.texts.end(), "&Probe") == 1);
                PostMessageA(frame, WM_KEYDOWN, VK_ESCAPE, 1);
                continue;
            }
            HWND group = desk.Group(frame);
            REQUIRE(group);
            RECT g, f;
            auto beside = [&] {
                g = Rect(group), f = Rect(frame);
                int minimize = f.right - border - 3 * w;
                return g.right <= minimize && g.right >= minimize - w && g.top >= f.top + 1;
            };
            CHECK(WaitFor(beside, 5000));
            CHECK(abs(g.bottom - g.top - h) <= h / 3);
            PostMessageA(frame, WM_CLOSE, 0, 0);
        }
    }
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels");
    Desk desk;
    HWND frame = desk.Probe("--style 00C00000"), group = desk.Group(frame);   // no box: the metrics decide
    REQUIRE(group);
    CHECK(Height(group) == GetSystemMetricsForDpi(SM_CYSIZE, 96));
    PostMessageA(frame, WM_DPICHANGED, MAKEWPARAM(192, 192), 0);
    CHECK(WaitFor([&] { return Height(group) == GetSystemMetricsForDpi(SM_CYSIZE, 192); }, 5000));
}

TEST_CASE("on the old shell each group ends with a close button, its left end unmoved")
{
    const char *appDefaults = "Software\\Wine\\AppDefaults\\" KOVW;   // Windows 3.1 for kovw
    RegSetKeyValueA(HKEY_CURRENT_USER, appDefaults, "Version", REG_SZ, "win31", 6);
    Desk desk;
    RegDeleteKeyValueA(HKEY_CURRENT_USER, appDefaults, "Version");
    CHECK(desk.sh->WinMajorVer == 3);
    HWND frame = desk.Probe("--style 00CF0000");
    CheckGroup(desk.Group(frame), frame, -M(SM_CXFRAME) - 6 * M(SM_CXSIZE), M(SM_CYFRAME), false, {R, S, T, C});
}

TEST_CASE("the group follows its frame")
{
    Desk desk;
    HWND frame = desk.Probe("--rect 100,100,400,300"), group = desk.Group(frame);
    REQUIRE(group);
    volatile WinRecord &rec = desk.Rec(frame);
    const int width = rec.nButtons * rec.cxButton;
    auto at = [&](bool cut) {   // in its place, whole; or cut short at the caption's start
        RECT g = Rect(group), f = Rect(frame);
        return cut ? g.left == f.left + rec.xLeft && g.right - g.left < width
                   : g.left == f.right - rec.xRight && g.top == f.top + rec.yTop && g.right - g.left == width;
    };
    SetWindowPos(frame, NULL, 250, 180, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    CHECK(WaitFor([&] { return at(false); }));
    // Too narrow, then wide again.
    SetWindowPos(frame, NULL, 0, 0, 120, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CHECK(WaitFor([&] { return at(true); }));
    SetWindowPos(frame, NULL, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CHECK(WaitFor([&] { return at(false); }));
    ShowWindow(frame, SW_MINIMIZE);
    CHECK(WaitFor([&] { return !IsWindowVisible(group); }));
    ShowWindow(frame, SW_RESTORE);
    CHECK(WaitFor([&] { return IsWindowVisible(group) && GetWindow(frame, GW_HWNDPREV) == group; }));
    int count = desk.tb->HookedWindowCnt;
    PostMessageA(frame, WM_CLOSE, 0, 0);
    CHECK((WaitFor([&] { return !IsWindow(group) && desk.Index(frame) < 0; }) && desk.tb->HookedWindowCnt == count - 1));
}

TEST_CASE("frames that get their group later, or never")
{
    Desk desk;
    // A console window has its size only after it is made.
    HWND console = desk.Probe("--class tty --style 80C80000 --rect 100,100,0,0");
    REQUIRE(WaitFor([&] { return desk.Index(console) >= 0; }));
    REQUIRE(Ping(console));
    CHECK(desk.Rec(console).hwndButtons == nullptr);
    SetWindowPos(console, NULL, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CHECK(desk.Group(console));
    // The caption gone before the buttons are made; a captioned child.
    HWND dropped = desk.Probe("--drop-caption"), parent = desk.Probe("--child");
    REQUIRE(Ping(dropped));
    CHECK((Ask(dropped, Q_SUBCLASSED) == 0 && desk.Index(dropped) < 0));
    CHECK(desk.Group(parent));
    HWND child = FindWindowExA(parent, NULL, "KovProbe", "Child");
    CHECK(Ask(child, Q_SUBCLASSED) == 0);
    // Cloaked (on another virtual desktop): no group, not listed, not minimized with all (which comes to the
    // parent after it), until shown again.
    const char *native = "native,builtin";
    REQUIRE(!RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\cloakprobe.exe\\DllOverrides",
                             "dwmapi", REG_SZ, native, (DWORD)strlen(native) + 1));
    std::string cloaking = Bin() + "cloak\\cloakprobe.exe";
    HWND away = desk.Probes("--title Away --cloaked", 1, cloaking)[0];
    HWND here = desk.Probes("--title Here --rect 500,100,300,200", 1, cloaking)[0];
    REQUIRE((desk.Group(here) && WaitFor([&] { return desk.Index(away) >= 0 && desk.Rec(away).hwndButtons; })));
    CHECK((Ping(away) && GroupsOf(away).empty()));
    Menu menu;
    Spy spy(GetWindowThreadProcessId(here, NULL));
    Act(here, ACTION_TASKLIST);
    REQUIRE(spy.Next(&menu, 5000));
    CHECK(std::count(menu.texts.begin(), menu.texts.end(), "&Away") == 0);
    PostMessageA(here, WM_CHAR, 'm', 1);
    CHECK((WaitFor([&] { return IsIconic(parent) != FALSE; }) && IsIconic(here) && !IsIconic(away)));
    Act(here, ACTION_UNDOMINALL);   // for the cases after this one
    PostMessageA(away, WM_APP + 3, 0, 0);
    CHECK((desk.Group(away) && WaitFor([&] { return !IsIconic(parent); })));
}

// The button as the screen shows it: the face (white top-left edge when up, dark grey when pressed) and the
// glyph bitmap for its height, inside the 1-pixel edge, one pixel further down and right when pressed.
static void CheckDrawn(const Desk &desk, RECT b, bool pressed)
{
    int cx = b.right - b.left, cy = b.bottom - b.top;
    COLORREF white = RGB(255, 255, 255), grey = RGB(128, 128, 128);
    CHECK((WaitFor([&] { return Pixel(b.left, b.top) == (pressed ? grey : white); }, 5000) &&
           Pixel(b.right - 1, b.bottom - 1) == (pressed ? white : grey)));
    int g = cy < 18 ? 13 : cy < 26 ? 16 : 24;
    HMODULE dll = GetModuleHandleA(desk.Path(KOVHOOK).c_str());   // the scene's, loaded here
    HBITMAP glyph = LoadBitmapA(dll, MAKEINTRESOURCEA(g == 13 ? 0x7070 : g == 16 ? 0x7046 : 0x7061));
    REQUIRE(glyph);
    HDC dc = CreateCompatibleDC(NULL);
    SelectObject(dc, glyph);
    int x = b.left + (pressed ? 2 : 1) + (cx - 2 > g ? (cx - 2 - g) / 2 : 0);
    int y = b.top + (pressed ? 2 : 1) + (cy - 2 > g ? (cy - 2 - g) / 2 : 0);
    int wrong = 0;
    for (int row = 0; row < g && y + row < b.bottom - 1; row++)
        for (int col = 0; col < g && x + col < b.right - 1; col++)
            wrong += Pixel(x + col, y + row) != GetPixel(dc, col, row);
    CHECK(wrong == 0);
    DeleteDC(dc), DeleteObject(glyph);
}

// With windows of their own the window manager draws the title bars.
TEST_CASE("buttons are drawn with the faces and the glyphs for their size" * doctest::skip(OwnWindows()))
{
    for (const char *caption : {"", "-420"}) {   // the system's caption, 28 pixels
        CAPTURE(caption);
        const char *metrics = "Control Panel\\Desktop\\WindowMetrics";
        *caption ? RegSetKeyValueA(HKEY_CURRENT_USER, metrics, "CaptionHeight", REG_SZ, caption, strlen(caption) + 1)
                 : RegDeleteKeyValueA(HKEY_CURRENT_USER, metrics, "CaptionHeight");
        Desk desk;
        for (const char *exstyle : {"0", "80"}) {
            HWND frame = desk.Probe(std::string("--rect 150,150,450,200 --exstyle ") + exstyle);
            HWND group = desk.Group(frame);
            REQUIRE(group);
            SetForegroundWindow(frame);
            REQUIRE(WaitFor([&] { return GetWindow(frame, GW_HWNDPREV) == group; }));
            RECT button = Buttons(group)[0].second;
            CHECK((button.bottom - button.top >= 26) == (*caption && *exstyle == '0'));
            CheckDrawn(desk, button, false);
            if (*exstyle == '0' && !*caption) {
                MoveTo(Centre(button)), Button(0, true);
                CheckDrawn(desk, button, true);
                MoveTo({Centre(button).x, Centre(button).y + 300}), Button(0, false);   // no click
                CHECK(WaitFor([&] { return Pixel(button.left, button.top) == RGB(255, 255, 255); }));
            }
            PostMessageA(frame, WM_CLOSE, 0, 0);
            REQUIRE(WaitFor([&] { return !IsWindow(frame); }));
        }
    }
}

TEST_CASE("a click on each button")
{
    Desk desk;
    std::string command = Bin() + "probe.exe --class KovStarted --rect 600,500,100,100";
    strcpy(UserCommandOf(desk.op), command.c_str());
    HWND frame = desk.Probe("--rect 150,150,400,300"), group = desk.Group(frame);
    REQUIRE((group && Buttons(group).size() == 4));
    auto click = [&](int i, int button = 0) { Click(ButtonAt(group, i), button); };
    click(0);
    CHECK(WaitFor([&] { return Height(frame) < 100; }));
    click(0);
    CHECK(WaitFor([&] { return Height(frame) == 300; }));
    // The Start menu: the frame is asked for the system's task list.
    click(1);
    CHECK(WaitFor([&] { return Ask(frame, Q_TASKLISTS) == 1; }));
    // A right click shows kovw; while suspended a click does nothing.
    REQUIRE_FALSE(IsWindowVisible(desk.main));
    click(0, 1);
    CHECK(WaitFor([&] { return IsWindowVisible(desk.main) != FALSE; }));
    REQUIRE(desk.Command(IDM_SUSPEND));
    click(0);
    REQUIRE(Ping(frame));
    CHECK(Height(frame) == 300);
    REQUIRE(desk.Command(IDM_SUSPEND));
    click(3);
    HWND started = WaitTop("KovStarted");
    CHECK(started);
    PostMessageA(started, WM_CLOSE, 0, 0);
    REQUIRE(WaitFor([&] { return !IsWindow(started); }));   // it gives the frame back the front
    Spy spy(GetWindowThreadProcessId(frame, NULL));
    click(2);
    Menu menu;
    REQUIRE(spy.Next(&menu));
    CHECK(menu.texts.back() == "&Minimize all");
    PostMessageA(frame, WM_KEYDOWN, VK_ESCAPE, 0);
}

TEST_CASE("a press aimed where no window is fails with the harness's own word")
{
    const POINT bare = {GetSystemMetrics(SM_CXSCREEN) - 30, GetSystemMetrics(SM_CYSCREEN) / 2};
    MoveTo(bare);
    CHECK(Send(0, true) == "no window at (" + std::to_string(bare.x) + ", " + std::to_string(bare.y) + ") to take the press");
}

// Under Wine the display stacks its windows apart from the system's z-order: a group can lie above its frame there
// and still be under it on the screen. Each frame activated in turn by another program: both groups painted, and
// still so once the group's looks at its stacking are over (the fault showed at the first of them).
TEST_CASE("the groups are on the screen after their frames are activated in turn")
{
    Desk desk;
    HWND a = desk.Probe("--rect 100,100,400,300"), b = desk.Probe("--rect 200,200,400,300");
    HWND groups[] = {desk.Group(a), desk.Group(b)};
    REQUIRE((groups[0] && groups[1]));
    auto bare = [&] {   // a caption where a raised face's white corner belongs
        for (HWND g : groups)
            if (Pixel(Buttons(g)[0].second.left, Buttons(g)[0].second.top) != RGB(255, 255, 255))
                return true;
        return false;
    };
    for (HWND frame : {a, b, a}) {
        REQUIRE(Activate(frame));
        CHECK((WaitFor([&] { return !bare(); }, 5000) && !WaitFor(bare, RESTACK_LOOKS * RESTACK_DELAY_MS + 500)));
    }
}

// A program activated over a frame's caption covers the frame's group and keeps it covered once the group's looks at
// its stacking are over; a maximized frame's group is no exception. With windows of their own the system's stacking
// is read: the manager draws the caption there, and Wine's display raises a window but never lowers one, so a group
// raised once stays painted over windows the manager raises later.
TEST_CASE("a window activated over a frame covers its group, the frame maximized or not")
{
    Desk desk;
    for (bool maximized : {false, true}) {
        CAPTURE(maximized);
        HWND frame = desk.Probe("--rect 100,100,400,300"), group = desk.Group(frame);
        REQUIRE(group);
        if (maximized) {
            ShowWindow(frame, SW_MAXIMIZE);
            REQUIRE(WaitFor([&] { return IsZoomed(frame) && Rect(group).top < 100; }, 5000));
        }
        POINT corner = {Rect(group).left + 1, Rect(group).top + 1};
        // Its own group ends well left of the corner, its client begins a little above and far left of it.
        HWND over = desk.Probe("--paint 00C000 --rect " + std::to_string(corner.x - 360) + "," +
                               std::to_string(corner.y - 31) + ",400,200");
        POINT client = {};
        ClientToScreen(over, &client);
        RECT r = Rect(over);
        SetWindowPos(over, NULL, r.left + corner.x - 356 - client.x, r.top + corner.y - 5 - client.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        REQUIRE(Activate(over));
        auto covered = [&] {
            if (!OwnWindows())
                return WindowFromPoint(corner) == over && Pixel(corner.x, corner.y) == RGB(0, 0xC0, 0);
            HWND w = group;   // over lies above it in the system's stacking
            while ((w = GetWindow(w, GW_HWNDPREV)) && w != over) {}
            return w == over;
        };
        CHECK((WaitFor(covered, 5000) && !WaitFor([&] { return !covered(); }, RESTACK_LOOKS * RESTACK_DELAY_MS + 500)));
    }
}
