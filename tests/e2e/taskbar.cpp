// The taskbar played by the test shell (shell.cpp): its Start menu, shut-down dialog and release.
#include "kt.h"

#include <optional>
#include <tuple>

using namespace kt;

// Where the pointer snaps to: the Start button at the taskbar's left end.
static POINT StartPoint(HWND bar)
{
    int m = GetSystemMetrics(SM_CYMENU);
    return {Rect(bar).left + m, Rect(bar).top + m / 2};
}

TEST_CASE("Start menu openings: the pointer onto the Start button once after the Start-menu "
          "action; Documents removed once, and only from a full menu")
{
    static const std::tuple<const char *, DWORD, int> rows[] = {   // left: bit n, the n-th submenu
        {"Programs Documents Settings Find", FLAG_SNAPSTARTMENU | FLAG_REMOVEDOCUMENTS, 0b1101},
        {"Programs Favorites Documents Settings Find", FLAG_REMOVEDOCUMENTS, 0b11011},
        {"Programs Documents Settings", FLAG_REMOVEDOCUMENTS, 0b111}, {"Programs Documents Settings Find", 0, 0b1111}};
    for (auto [submenus, flags, left] : rows) {
        Shell desk(std::string("--class Shell_TrayWnd ") + submenus);
        desk.op->Flags = flags;
        bool snap = flags & FLAG_SNAPSTARTMENU;
        // The action as from a button; carried out by the first opening's menu loop at the latest.
        Act(desk.bar, ACTION_STARTMENU);
        REQUIRE(WaitFor([&] { return desk.sh->State.DoSnapStartMenu == snap; }));
        for (bool first : {true, false}) {
            MoveTo({500, 400});   // at the display, where a menu's grab reads it
            CHECK((Ask(desk.bar, S_MENU) == (first ? 1 : 2) && Ask(desk.bar, R_SUBMENUS) == left));
            const int all = (1 << (std::count(submenus, submenus + strlen(submenus), ' ') + 1)) - 1;
            CHECK(Ask(desk.bar, R_LIVE) == all);   // none destroyed, taken out or not
            CHECK(PointerAt(first && snap ? StartPoint(desk.bar) : POINT{500, 400}));
        }
    }
}

TEST_CASE("the shut-down dialog, chosen or known by its title, is confirmed with its item set, unless Shift or Ctrl "
          "is held or the option is off; nothing else is; the taskbar released or kovw killed")
{
    // The user's way to the dialog, its title, a key held, the option, the answer, and whether
    // the dialog was offered buttons as an ordinary one.
    static const std::tuple<int, const char *, int, int, int, bool> rows[] = {
        {S_SHUTDOWN, "Windows beenden", 0, 1, IDOK, false},   // known by the choice alone
        {S_SHUTDOWN, "Shut Down Windows", VK_SHIFT, 1, IDCANCEL, false},
        {S_DIALOG, "Shut Down Windows", 0, 0, IDCANCEL, false}, {S_DIALOG, "Shut Down Windows", 0, 1, IDOK, false},
        {S_DIALOG, "Shut Down Windows", VK_CONTROL, 1, IDCANCEL, false},
        // Shut Down highlighted but left with Escape; titles not the dialog's (the old shell's is not this shell's).
        {S_ESCAPE, "Windows beenden", 0, 1, IDCANCEL, true},
        {S_DIALOG, "Exit Windows", 0, 1, IDCANCEL, true}, {S_DIALOG, "Shut Down", 0, 1, IDCANCEL, true}};
    Shell desk("--class Shell_TrayWnd Programs Documents Settings Find");
    for (auto [user, title, key, option, answer, ordinary] : rows) {
        CAPTURE(std::string(title));
        desk.op->BypassShutdownConfirm = option;
        std::optional<Hold> hold;
        if (key)
            hold.emplace(key == VK_SHIFT ? "shift" : "ctrl");
        SetWindowTextA(desk.bar, title);
        CHECK(Ask(desk.bar, user) == answer);
        CHECK((Ask(desk.bar, R_ITEM) == (answer == IDOK) && Ask(desk.bar, R_TAKEN) == ordinary));
    }
    // Another program's window titled like the dialog; Shut Down chosen, but what comes next is
    // another program's box: both wait for the user.
    HWND other = desk.Probe("--title \"Shut Down Windows.txt - Notepad\"");
    CHECK((desk.Group(other) && Ask(other, Q_COMMANDS) == 0));
    REQUIRE(Ask(desk.bar, S_CHOOSE) == 0);
    PostMessageA(other, WM_APP + 2, 1, 0);
    HWND box = WaitBox("Question", PidOf(other));
    CHECK(desk.Group(box));
    Press(box, IDCANCEL);
    CHECK(WaitFor([&] { return Ask(other, Q_BOX) == IDCANCEL; }));
    // With kovw killed the taskbar goes on working; released, it has its own procedure back.
    Kill(desk.kovw.hProcess);
    CHECK(Ask(desk.bar, S_MENU) == 5);   // after the four openings before
    REQUIRE((desk.StartKovw() && desk.CloseKovw() == 0));
    CHECK((Ask(desk.bar, R_OWN) == 1 && Ask(desk.bar, S_MENU) == 6));
}

TEST_CASE("on the old shell the Program Manager stands in for the taskbar")
{
    const char *appDefaults = "Software\\Wine\\AppDefaults\\" KOVW;   // Windows 3.1 for kovw
    RegSetKeyValueA(HKEY_CURRENT_USER, appDefaults, "Version", REG_SZ, "win31", 6);
    Shell desk("--class Progman", Bin() + "PROGMAN.exe");   // the test shell by that name
    CHECK((desk.sh->State.hwndShutdownManager == desk.bar && WaitFor([&] { return Ask(desk.bar, R_OWN) == 0; })));
    SetWindowTextA(desk.bar, "Exit Windows");   // its dialog's title
    CHECK(Ask(desk.bar, S_DIALOG) == IDOK);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, appDefaults, "Version");
}

TEST_CASE("a shell started again is taken again; behind another module's subclass at the "
          "release, ours only passes messages on")
{
    const char *args = "--class Shell_TrayWnd Programs Documents Settings Find";
    Shell desk(args);
    desk.op->Flags = FLAG_SNAPSTARTMENU;
    PostMessageA(desk.bar, WM_CLOSE, 0, 0);
    REQUIRE(WaitFor([&] { return !IsWindow(desk.bar); }));
    desk.bar = desk.Probe(args, Bin() + "shell.exe");
    CHECK(WaitFor([&] { return Ask(desk.bar, R_OWN) == 0; }));
    for (bool released : {false, true}) {
        CAPTURE(released);
        desk.sh->State.DoSnapStartMenu = 1;   // a Start-menu action under way
        MoveTo({500, 400});
        CHECK((Ask(desk.bar, S_MENU) && PointerAt(released ? POINT{500, 400} : StartPoint(desk.bar))));
        CHECK(Ask(desk.bar, R_SUBMENUS) == 0b1111);   // removing Documents only once released
        desk.sh->State.SysShutdownSelected = 0;
        CHECK((Ask(desk.bar, S_CHOOSE) == 0 && desk.sh->State.SysShutdownSelected == !released));
        desk.op->Flags |= FLAG_REMOVEDOCUMENTS;
        if (!released) {
            SendMessageA(desk.bar, RegisterWindowMessageA(PROBE_QUERY_MSG), S_SUBCLASS, 1);
            REQUIRE(desk.CloseKovw() == 0);
        }
    }
}

TEST_CASE("Wine's own taskbar, when Kov takes it, keeps its Start menu whole")
{
    auto open = [](HWND bar, Menu *menu) {
        Spy spy(GetWindowThreadProcessId(bar, NULL));
        PostMessageA(FindWindowExA(bar, NULL, "Button", NULL), BM_CLICK, 0, 0);
        bool opened = spy.Next(menu);
        Xdo("key Escape");
        return opened;
    };
    HWND bar = WaitTop("Shell_TrayWnd");
    Menu before, after;
    REQUIRE(open(bar, &before));
    std::string options = Defaults();
    Put32(options, offsetof(OptionsRecord, Flags), FLAG_REMOVEDOCUMENTS | FLAG_SNAPSTARTMENU);
    Desk desk(options);
    REQUIRE(desk.sh->State.hwndShutdownManager == bar);
    CHECK((open(bar, &after) && after.texts == before.texts));
}
