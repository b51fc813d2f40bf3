// The task-list menu, read inside the process that opens it, and the mouse gestures, given as a user gives them.
#include "kt.h"

using namespace kt;

// Opens the task list over frame, as its button does; its menu, or none.
static bool Open(HWND frame, Menu *menu)
{
    Spy spy(GetWindowThreadProcessId(frame, NULL));
    Act(frame, ACTION_TASKLIST);
    return spy.Next(menu, 5000);
}

// Its letter, or none: Escape.
static void Choose(HWND frame, char c) { PostMessageA(frame, c ? WM_CHAR : WM_KEYDOWN, c ? c : VK_ESCAPE, 1); }

TEST_CASE("one entry per window, each with a letter of its own where there is one")
{
    std::vector<std::string> many = {"&Probe", "P&robe", "Pr&obe", "Pro&be", "Prob&e"};
    many.resize(58, "Probe");   // and no more: the fixed entries must fit
    const struct { std::vector<const char *> probes; /* bottom to top */ std::vector<std::string> entries; } rows[] = {
        {{"--title Notes", "--title Mum", "--title Mail"}, {"M&ail", "Mum", "&Notes"}},
        // A dialog is listed under the window it blocks.
        {{"--title Owner --owned-dialog Dialog", "--title \"  Editor\"", "--title (untitled)"},
         {"(u&ntitled)", " &Editor", "&Owner"}},
        {{"--count 65"}, many}};
    for (const auto &row : rows) {
        Desk desk;
        HWND top = nullptr;
        for (const char *args : row.probes) {   // each active before the next starts: the menu follows the stacking
            top = desk.Probes(args, strstr(args, "--count") ? 65 : strstr(args, "--owned") ? 2 : 1).back();
            REQUIRE(WaitFor([&] { return GetForegroundWindow() == top; }));
        }
        Menu menu;
        REQUIRE(Open(top, &menu));
        std::vector<std::string> expected = row.entries;
        expected.insert(expected.end(), {"", "&Minimize all"});
        CHECK(menu.texts == expected);
        CHECK(Ask(top, Q_MENUPOPUPS) == 0);   // the program never prepares our menu
        Choose(top, 0);
    }
}

TEST_CASE("picking an entry, minimize all and its undo")
{
    Desk desk;
    HWND zed = desk.Probe("--title Zed --rect 500,100,300,200"), frame = desk.Probe("--title Frame");
    ShowWindow(zed, SW_MINIMIZE);
    Menu menu;
    REQUIRE(Open(frame, &menu));
    Choose(frame, 'z');
    CHECK(WaitFor([&] { return !IsIconic(zed) && GetForegroundWindow() == zed; }));
    REQUIRE(Open(frame, &menu));
    Choose(frame, 'm');
    CHECK(WaitFor([&] { return IsIconic(zed) && IsIconic(frame); }));
    REQUIRE(Open(frame, &menu));
    CHECK(menu.texts.back() == "&Undo minimize all");
    Choose(frame, 'u');
    CHECK(WaitFor([&] { return !IsIconic(zed) && !IsIconic(frame); }));
}

TEST_CASE("mouse gestures: a click acts where it was pressed and let go; a plain right click "
          "reaches the window, Ctrl + right opens the task list")
{
    // Every move is heard by the input log's mouse hook, installed before Kov's.
    Desk desk;
    HWND a = desk.Probe("--title A --rect 50,100,400,300"), b = desk.Probe("--title B --rect 500,100,400,300");
    Click(Centre(Rect(a)), 2);
    CHECK(WaitFor([&] { return Ask(a, Q_ACTIONS) == 1; }));
    desk.op->ScrollSensitivity = 10000;   // moved too little to scroll on the way
    Button(2, true), MoveTo(Centre(Rect(b))), Button(2, false);
    CHECK((Ping(a) && Ping(b) && Ask(a, Q_ACTIONS) == 1 && Ask(b, Q_ACTIONS) == 0));
    Click(Centre(Rect(a)), 1);
    CHECK(WaitFor([&] { return Ask(a, Q_RCLICKS) == 1; }));
    {
        Spy menus(GetWindowThreadProcessId(a, NULL));
        Hold ctrl("ctrl");
        Button(1, true), Button(1, false);
        Menu menu;
        CHECK(menus.Next(&menu));
        Choose(a, 0);
    }
    CHECK(Ask(a, Q_RCLICKS) == 1);
}
