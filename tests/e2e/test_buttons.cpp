// The button group follows its frame, is drawn with the library's bitmaps,
// and turns clicks into actions.
#include <doctest.h>
#include "harness.h"

#include <algorithm>
#include <memory>

using namespace kt;

static const UINT IdmSuspend = 101;


static bool Near(const RECT &group, int left, int top)
{
    return group.left == left && group.top == top;
}

TEST_CASE("the group follows its frame")
{
    Desk desk;
    Probe &probe = desk.Start("--style 00CF0000 --rect 100,100,400,300");
    HWND frame = probe.Window();
    HWND group = WaitGroup(*desk.view, frame);
    REQUIRE(group);
    const volatile WinRecord &rec = desk.Record(frame);
    const int width = rec.nButtons * rec.cxButton;
    auto expectedLeft = [&] { return RectOf(frame).right - rec.xRight; };
    auto groupTop = [&] { return RectOf(frame).top + rec.yTop; };

    SUBCASE("moving")
    {
        SetWindowPos(frame, NULL, 250, 180, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        CHECK(WaitFor([&] { return Near(RectOf(group), expectedLeft(), groupTop()); }));
    }
    SUBCASE("too narrow: cut at the caption's start; wide again: whole")
    {
        SetWindowPos(frame, NULL, 0, 0, 120, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        int captionStart = RectOf(frame).left + rec.xLeft;
        CHECK(WaitFor([&] {
            RECT g = RectOf(group);
            return g.left == captionStart && g.right - g.left < width && g.right - g.left > 0;
        }));
        SetWindowPos(frame, NULL, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        CHECK(WaitFor([&] {
            RECT g = RectOf(group);
            return g.left == expectedLeft() && g.right - g.left == width;
        }));
    }
    SUBCASE("minimized: hidden; restored: shown right above the frame")
    {
        ShowWindow(frame, SW_MINIMIZE);
        CHECK(WaitFor([&] { return !IsWindowVisible(group); }));
        ShowWindow(frame, SW_RESTORE);
        CHECK(WaitFor([&] {
            return IsWindowVisible(group) && GetWindow(frame, GW_HWNDPREV) == group;
        }));
    }
    SUBCASE("maximized: shown on top of it")
    {
        ShowWindow(frame, SW_MAXIMIZE);
        CHECK(WaitFor([&] {
            return IsWindowVisible(group) && Near(RectOf(group), expectedLeft(), groupTop()) &&
                   GetWindow(frame, GW_HWNDPREV) == group;
        }));
    }
    SUBCASE("hidden with its frame")
    {
        ShowWindow(frame, SW_HIDE);
        CHECK(WaitFor([&] { return !IsWindowVisible(group); }));
    }
    SUBCASE("gone with its frame")
    {
        int before = desk.view->Middle()->HookedWindowCnt;
        PostMessageA(frame, WM_CLOSE, 0, 0);
        CHECK(WaitFor([&] { return !IsWindow(group); }));
        CHECK(WaitFor([&] { return desk.view->WindowIndex(frame) < 0; }));
        CHECK(desk.view->Middle()->HookedWindowCnt == before - 1);
    }
}

TEST_CASE("a console window gets its group once it has a client area")
{
    Desk desk;
    Probe console(desk.processes, "--style 80C80000 --rect 100,100,0,0", false, "tty");
    HWND frame = console.Window();
    REQUIRE(frame);
    REQUIRE(WaitFor([&] { return desk.view->WindowIndex(frame) >= 0; }));
    REQUIRE(console.Ping(frame));
    CHECK(desk.Record(frame).AddPending);
    CHECK(desk.Record(frame).hwndButtons == nullptr);

    SetWindowPos(frame, NULL, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CHECK(WaitGroup(*desk.view, frame) != nullptr);
    CHECK(desk.Record(frame).IsConsole);
    CHECK_FALSE(desk.Record(frame).AddPending);
}

TEST_CASE("frames that get no buttons lose the subclassing at once")
{
    Desk desk;
    SUBCASE("the caption is gone before the buttons are made")
    {
        Probe &probe = desk.Start("--drop-caption");
        HWND frame = probe.Window();
        REQUIRE(probe.Ping(frame));
        CHECK(probe.Subclassed(frame) == 0);
        CHECK(desk.view->WindowIndex(frame) < 0);
    }
    SUBCASE("a child window with a caption")
    {
        Probe &probe = desk.Start("--child");
        HWND frame = probe.Window();
        // The frame is listed before the probe creates its child; the answer
        // to a ping comes only after the child exists.
        REQUIRE(probe.Ping(frame));
        HWND child = FindWindowExA(frame, NULL, "KovProbe", "Child");
        REQUIRE(child);
        REQUIRE(WaitGroup(*desk.view, frame));
        REQUIRE(probe.Ping(frame));
        CHECK(probe.Subclassed(child) == 0);
        CHECK(desk.view->WindowIndex(child) < 0);
    }
    for (uint32_t bypass : {1u, 0u}) {
        CAPTURE(bypass);
        desk.view->Options()->BypassShutdownConfirm = bypass;
        Probe &probe = desk.Start("--title \"Shut Down Windows\"");
        HWND frame = probe.Window();
        REQUIRE(probe.Ping(frame));
        CHECK(probe.Subclassed(frame) == 0);
        CHECK(desk.view->WindowIndex(frame) < 0);
    }
}

// The colours of a rectangle of the screen.
static std::vector<COLORREF> Pixels(const Screenshot &shot, RECT r)
{
    std::vector<COLORREF> pixels;
    for (int y = r.top; y < r.bottom; y++)
        for (int x = r.left; x < r.right; x++)
            pixels.push_back(shot.At(x, y));
    return pixels;
}

// A bitmap of the library as the screen shows it at 1:1.
static std::vector<COLORREF> BitmapPixels(const Home &home, int id, int *size)
{
    HMODULE dll = LoadLibraryExA(home.Path("kovhook.dll").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(dll);
    HBITMAP bitmap = LoadBitmapA(dll, MAKEINTRESOURCEA(id));
    REQUIRE(bitmap);
    BITMAP info;
    GetObjectA(bitmap, sizeof(info), &info);
    *size = info.bmWidth;
    HDC screen = GetDC(NULL);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < info.bmHeight; y++)
        for (int x = 0; x < info.bmWidth; x++)
            pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(NULL, screen);
    DeleteObject(bitmap);
    FreeLibrary(dll);
    return pixels;
}

static const COLORREF White = RGB(255, 255, 255), Grey = RGB(128, 128, 128);

// The glyph id for a roll-up button of this height, and its drawn size.
static int RollupGlyph(int cy, int *g)
{
    *g = cy < 18 ? 13 : cy < 26 ? 16 : 24;
    return cy < 18 ? 0x7070 : cy < 26 ? 0x7046 : 0x7061;
}

static void CheckButtonDrawn(const Home &home, const RECT &button, bool pressed)
{
    Screenshot shot = CaptureScreen();
    int cx = button.right - button.left, cy = button.bottom - button.top;
    COLORREF topLeft = shot.At(button.left, button.top);
    COLORREF bottomRight = shot.At(button.right - 1, button.bottom - 1);
    CHECK(topLeft == (pressed ? Grey : White));
    CHECK(bottomRight == (pressed ? White : Grey));
    int g;
    int id = RollupGlyph(cy, &g);
    int size;
    std::vector<COLORREF> glyph = BitmapPixels(home, id, &size);
    int offset = pressed ? 2 : 1;
    int x = button.left + offset + (cx - 2 > g ? (cx - 2 - g) / 2 : 0);
    int y = button.top + offset + (cy - 2 > g ? (cy - 2 - g) / 2 : 0);
    // The glyph as far as it lies inside the button's 1-pixel edge.
    int w = std::min(size, (int)button.right - 1 - x), h = std::min(size, (int)button.bottom - 1 - y);
    std::vector<COLORREF> inside;
    for (int row = 0; row < h; row++)
        for (int col = 0; col < w; col++)
            inside.push_back(glyph[row * size + col]);
    RECT where = {x, y, x + w, y + h};
    CHECK(Pixels(shot, where) == inside);
}

TEST_CASE("buttons are drawn with the library's faces and the glyphs for their size")
{
    Desk desk;
    SUBCASE("normal and small caption buttons, up")
    {
        for (const char *exstyle : {"0", "80"}) {
            CAPTURE(exstyle);
            Probe &probe = desk.Start(std::string("--rect 150,150,400,200 --exstyle ") + exstyle);
            HWND frame = probe.Window();
            HWND group = WaitGroup(*desk.view, frame);
            REQUIRE(group);
            ShowWindow(frame, SW_HIDE);   // one at a time
            ShowWindow(frame, SW_SHOW);
            SetForegroundWindow(frame);
            REQUIRE(WaitFor([&] { return GetWindow(frame, GW_HWNDPREV) == group; }));
            RECT button = ButtonsOf(group)[0].rect;
            WaitFor([&] { return CaptureScreen().At(button.left, button.top) == White; }, 3000);
            CheckButtonDrawn(desk.home, button, false);
            PostMessageA(frame, WM_CLOSE, 0, 0);
            REQUIRE(WaitFor([&] { return !IsWindow(frame); }));
        }
    }
    SUBCASE("pressed: the face turns round and the glyph moves down and right")
    {
        Probe &probe = desk.Start("--rect 150,150,400,200");
        HWND frame = probe.Window();
        HWND group = WaitGroup(*desk.view, frame);
        REQUIRE(group);
        RECT button = ButtonsOf(group)[0].rect;
        POINT centre = {(button.left + button.right) / 2, (button.top + button.bottom) / 2};
        SetCursorPos(centre.x, centre.y);
        mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
        CHECK(WaitFor([&] { return CaptureScreen().At(button.left, button.top) == Grey; }, 5000));
        CheckButtonDrawn(desk.home, button, true);
        // Let go somewhere else: no click.
        SetCursorPos(centre.x, centre.y + 200);
        mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
        CHECK(WaitFor([&] { return CaptureScreen().At(button.left, button.top) == White; }, 5000));
    }
}

TEST_CASE("a large caption gets the 24-pixel glyphs")
{
    // The system metrics of programs started from now on.
    HKEY key;
    REQUIRE(RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics", 0,
                          KEY_ALL_ACCESS, &key) == ERROR_SUCCESS);
    char height[32] = "", width[32] = "";
    DWORD size = sizeof(height);
    bool hadHeight = RegQueryValueExA(key, "CaptionHeight", NULL, NULL, (BYTE *)height, &size) == 0;
    size = sizeof(width);
    bool hadWidth = RegQueryValueExA(key, "CaptionWidth", NULL, NULL, (BYTE *)width, &size) == 0;
    const char *large = "-420";   // 28 pixels, in twips
    RegSetValueExA(key, "CaptionHeight", 0, REG_SZ, (const BYTE *)large, 5);
    RegSetValueExA(key, "CaptionWidth", 0, REG_SZ, (const BYTE *)large, 5);
    struct Restore {
        HKEY key;
        bool hadHeight, hadWidth;
        char *height, *width;
        ~Restore()
        {
            if (hadHeight)
                RegSetValueExA(key, "CaptionHeight", 0, REG_SZ, (BYTE *)height, strlen(height) + 1);
            else
                RegDeleteValueA(key, "CaptionHeight");
            if (hadWidth)
                RegSetValueExA(key, "CaptionWidth", 0, REG_SZ, (BYTE *)width, strlen(width) + 1);
            else
                RegDeleteValueA(key, "CaptionWidth");
            RegCloseKey(key);
        }
    } restore = {key, hadHeight, hadWidth, height, width};

    Desk desk;
    Probe &probe = desk.Start("--rect 150,150,500,200");
    HWND frame = probe.Window();
    HWND group = WaitGroup(*desk.view, frame);
    REQUIRE(group);
    RECT button = ButtonsOf(group)[0].rect;
    REQUIRE(button.bottom - button.top >= 26);
    SetForegroundWindow(frame);
    REQUIRE(WaitFor([&] { return GetWindow(frame, GW_HWNDPREV) == group; }));
    WaitFor([&] { return CaptureScreen().At(button.left, button.top) == White; }, 3000);
    CheckButtonDrawn(desk.home, button, false);
}

TEST_CASE("clicks on the group")
{
    Desk desk;
    Probe &probe = desk.Start("--rect 150,150,400,300");
    HWND frame = probe.Window();
    HWND group = WaitGroup(*desk.view, frame);
    REQUIRE(group);
    RECT button = ButtonsOf(group)[0].rect;   // roll-up
    POINT centre = {(button.left + button.right) / 2, (button.top + button.bottom) / 2};
    auto height = [&] { RECT r = RectOf(frame); return r.bottom - r.top; };

    SUBCASE("a left click on roll-up rolls the frame up and down again")
    {
        ClickAt(centre);
        DWORD clicked = GetTickCount();
        CHECK(WaitFor([&] { return height() < 100; }));
        // A second click this soon would be a double click.
        WaitFor([&] { return GetTickCount() - clicked > GetDoubleClickTime() + 100; });
        ClickAt(centre);
        CHECK(WaitFor([&] { return height() == 300; }));
    }
    SUBCASE("while suspended a click does nothing")
    {
        PostMessageA(desk.kovw->MainWindow(), WM_COMMAND, IdmSuspend, 0);
        REQUIRE(desk.kovw->Settle());
        ClickAt(centre);
        REQUIRE(probe.Ping(frame));
        CHECK(height() == 300);
    }
    SUBCASE("a right click shows kovw's window")
    {
        HWND main = desk.kovw->MainWindow();
        REQUIRE_FALSE(IsWindowVisible(main));
        ClickAt(centre, true);
        CHECK(WaitFor([&] { return IsWindowVisible(main) != FALSE; }));
        CHECK(height() == 300);
    }
}

TEST_CASE("Wine's own programs get groups, and leave none behind")
{
    Desk desk;
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    struct Program {
        const char *exe, *args, *cls;
    };
    for (const Program &program : {Program{"notepad.exe", "", "Notepad"},
                                   Program{"explorer.exe", "/n,C:\\windows", "ExplorerWClass"}}) {
        CAPTURE(program.exe);
        PROCESS_INFORMATION pi =
            desk.processes.Start(std::string(windows) + "\\" + program.exe, program.args);
        HWND frame = WaitTop(program.cls, "", pi.dwProcessId);
        REQUIRE(frame);
        HWND group = WaitGroup(*desk.view, frame);
        REQUIRE(group);
        // Once settled, the group lies on top of its frame, where it can be seen.
        CHECK(WaitFor([&] { return GetWindow(frame, GW_HWNDPREV) == group; }));
        PostMessageA(frame, WM_CLOSE, 0, 0);
        CHECK(WaitFor([&] { return !IsWindow(frame); }));
        CHECK(WaitFor([&] { return !IsWindow(group); }));
        CHECK(WaitFor([&] { return desk.view->WindowIndex(frame) < 0; }));
    }
    CHECK(desk.view->Middle()->HookedWindowCnt == 1);   // kovw's own window
}
