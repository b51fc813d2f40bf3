// Where the button group sits on a frame's title bar, for each kind of
// frame, read from the system's own metrics.
#include <doctest.h>
#include "harness.h"

#include <memory>

using namespace kt;

static const int IdRollup = 0x7046, IdStartMenu = 0x7003, IdTaskList = 0x700E, IdUserCmd = 0x7010;
static const int IdClose = 0x7001, IdHide = 0x700A;

static int M(int index)
{
    return GetSystemMetrics(index);
}

// The group of frame, checked against its expected right end (or left end),
// top, button size and button ids in order.
static void CheckGroup(const HookView &view, HWND frame, int expectedLeft, int expectedTop,
                       int cx, int cy, std::vector<int> ids)
{
    HWND group = WaitGroup(view, frame);
    REQUIRE(group);
    RECT g = RectOf(group);
    CHECK(g.left == expectedLeft);
    CHECK(g.top == expectedTop);
    CHECK(g.right - g.left == (int)ids.size() * cx);
    CHECK(g.bottom - g.top == cy);
    std::vector<GroupButton> buttons = ButtonsOf(group);
    REQUIRE(buttons.size() == ids.size());
    for (size_t i = 0; i < ids.size(); i++) {
        CAPTURE(i);
        CHECK(buttons[i].id == ids[i]);
        CHECK(buttons[i].rect.left == g.left + (int)i * cx);
        CHECK(buttons[i].rect.top == g.top);
        CHECK(buttons[i].rect.right - buttons[i].rect.left == cx);
        CHECK(buttons[i].rect.bottom - buttons[i].rect.top == cy);
    }
}


TEST_CASE("the group's place for each kind of frame, buttons on the right")
{
    Desk desk;
    const HookView &view = *desk.view;
    const int cx = M(SM_CXSIZE), cy = M(SM_CYSIZE);
    const int sx = M(SM_CXSMSIZE), sy = M(SM_CYSMSIZE);
    const std::vector<int> usual = {IdRollup, IdStartMenu, IdTaskList};

    SUBCASE("a sizable frame with both boxes: three buttons left of the frame's own three")
    {
        HWND f = desk.Frame("--style 00CF0000");
        RECT r = RectOf(f);
        CheckGroup(view, f, r.right - M(SM_CXFRAME) - 3 * cx - 3 * cx, r.top + M(SM_CYFRAME), cx,
                   cy, usual);
    }
    SUBCASE("a dialog frame with only its close box")
    {
        HWND f = desk.Frame("--style 80C80080");
        RECT r = RectOf(f);
        int border = 2 * M(SM_CXBORDER) + M(SM_CXDLGFRAME);
        CheckGroup(view, f, r.right - border - cx - 3 * cx, r.top + M(SM_CYDLGFRAME), cx, cy, usual);
    }
    SUBCASE("a thin border and a minimize box alone, which takes two places")
    {
        HWND f = desk.Frame("--style 00CA0000");
        RECT r = RectOf(f);
        CheckGroup(view, f, r.right - 2 * M(SM_CXBORDER) - 3 * cx - 3 * cx,
                   r.top + M(SM_CYDLGFRAME), cx, cy, usual);
    }
    SUBCASE("a tool window gets small buttons")
    {
        HWND f = desk.Frame("--style 00CC0000 --exstyle 80");
        RECT r = RectOf(f);
        CheckGroup(view, f, r.right - M(SM_CXFRAME) - sx - 3 * sx, r.top + M(SM_CYFRAME), sx, sy,
                   usual);
    }
    SUBCASE("a context-help box takes a place too")
    {
        HWND f = desk.Frame("--style 80C80080 --exstyle 400");
        RECT r = RectOf(f);
        int border = 2 * M(SM_CXBORDER) + M(SM_CXDLGFRAME);
        CheckGroup(view, f, r.right - border - 2 * cx - 3 * cx, r.top + M(SM_CYDLGFRAME), cx, cy,
                   usual);
    }
    SUBCASE("a program named TASKMAN has no Start-menu button")
    {
        std::string taskman = desk.home.Path("TASKMAN.EXE");
        REQUIRE(CopyFileA((BinDir() + "probe.exe").c_str(), taskman.c_str(), FALSE));
        HWND f = desk.Frame("--style 00CF0000", taskman);
        RECT r = RectOf(f);
        CheckGroup(view, f, r.right - M(SM_CXFRAME) - 3 * cx - 2 * cx, r.top + M(SM_CYFRAME), cx,
                   cy, {IdRollup, IdTaskList});
    }
    SUBCASE("kovw's own window has a hide button at the end")
    {
        HWND f = desk.kovw->MainWindow();
        PostMessageA(f, 0x6F0A, 0, 0);   // show it, so that its group shows
        RECT r = RectOf(f);
        CheckGroup(view, f, r.right - 2 * M(SM_CXBORDER) - sx - 4 * sx, r.top + M(SM_CYDLGFRAME),
                   sx, sy, {IdRollup, IdStartMenu, IdTaskList, IdHide});
    }
    SUBCASE("a user command adds its button; an edge offset moves the group")
    {
        OptionsRecord *options = view.Options();
        strcpy(options->TitleButton[0].Command, "C:\\windows\\notepad.exe");
        options->EdgeOffsetRight = 5;
        HWND f = desk.Frame("--style 00CF0000");
        RECT r = RectOf(f);
        CheckGroup(view, f, r.right - M(SM_CXFRAME) - 3 * cx - 5 - 4 * cx, r.top + M(SM_CYFRAME),
                   cx, cy, {IdRollup, IdStartMenu, IdTaskList, IdUserCmd});
    }
}

TEST_CASE("buttons on the left start behind the system menu and the left edge offset")
{
    Desk desk;
    OptionsRecord *options = desk.view->Options();
    options->TitleButton[0].Placement = 1;
    options->EdgeOffsetLeft = 7;
    options->EdgeOffsetRight = 50;   // only the side in use counts
    const int cx = M(SM_CXSIZE), cy = M(SM_CYSIZE);
    HWND f = desk.Frame("--style 00CF0000");
    RECT r = RectOf(f);
    CheckGroup(*desk.view, f, r.left + M(SM_CXFRAME) + 7 + cx + M(SM_CYBORDER),
               r.top + M(SM_CYFRAME), cx, cy, {IdRollup, IdStartMenu, IdTaskList});
}

// kovw told that it runs on Windows 3.1, for this test only.
struct OldShell {
    HKEY key = nullptr;
    OldShell()
    {
        REQUIRE(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\kovw.exe", 0, NULL,
                                0, KEY_ALL_ACCESS, NULL, &key, NULL) == ERROR_SUCCESS);
        RegSetValueExA(key, "Version", 0, REG_SZ, (const BYTE *)"win31", 6);
    }
    ~OldShell()
    {
        RegDeleteValueA(key, "Version");
        RegCloseKey(key);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\kovw.exe");
    }
};

TEST_CASE("on the old shell each group ends with a close button and keeps its left end")
{
    OldShell oldShell;
    Desk desk;
    CHECK(desk.view->Middle()->WinMajorVer == 3);
    const int cx = M(SM_CXSIZE), cy = M(SM_CYSIZE);
    HWND f = desk.Frame("--style 00CF0000");
    RECT r = RectOf(f);
    int newShellLeft = r.right - M(SM_CXFRAME) - 3 * cx - 3 * cx;
    CheckGroup(*desk.view, f, newShellLeft, r.top + M(SM_CYFRAME), cx, cy,
               {IdRollup, IdStartMenu, IdTaskList, IdClose});
}
