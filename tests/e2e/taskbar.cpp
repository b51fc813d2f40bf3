// The taskbar played by the test shell (shell.cpp): its Start menu, shut-down dialog and release.
#include "kt.h"

#include <optional>
#include <tuple>

using namespace kt;

// kovw started after the test shell, which is the last taskbar it meets.
struct Shell : Desk {
    HWND bar;
    Shell(const std::string &args, const std::string &exe = Bin() + "shell.exe")
        : Desk(Defaults(), "", false), bar(Probe(args, exe))
    {
        StartKovw();
        REQUIRE((Settle() && WaitFor([&] { return Ask(bar, R_OWN) == 0; })));
    }
};

TEST_CASE("Start menu openings: the pointer onto the Start button once after the Start-menu "
          "action; Documents removed once, and only from a full menu")
{
    static const std::tuple<const char *, DWORD, int> rows[] = {   // left: bit n, the n-th submenu
        {"Programs Documents Settings Find", FLAG_SNAPSTARTMENU | FLAG_REMOVEDOCUMENTS, 0b1101},
        {"Programs Favorites Documents Settings Find", FLAG_REMOVEDOCUMENTS, 0b11011},
        {"Programs Documents Settings", FLAG_REMOVEDOCUMENTS, 0b111},
        {"Programs Documents Settings Find", 0, 0b1111},
    };
    for (auto [submenus, flags, left] : rows) {
        Shell desk(std::string("--class Shell_TrayWnd ") + submenus);
        desk.op->Flags = flags;
        bool snap = flags & FLAG_SNAPSTARTMENU;
        // The action as from a button; carried out by the first opening's menu loop at the latest.
        PostMessageA(desk.bar, KM_ACTION, ACTION_STARTMENU, SOURCE_BUTTON);
        REQUIRE(WaitFor([&] { return desk.At(DoSnapStartMenu) == snap; }));
        POINT at;
        for (bool first : {true, false}) {
            MoveTo({500, 400});   // at the display, where a menu's grab reads it
            CHECK(Ask(desk.bar, S_MENU) == (first ? 1 : 2));
            CHECK(Ask(desk.bar, R_SUBMENUS) == left);
            int m = first && snap ? GetSystemMetrics(SM_CYMENU) : 0;
            CHECK((GetCursorPos(&at) && at.x == (m ? m : 500) && at.y == (m ? m / 2 : 400)));
        }
    }
}

TEST_CASE("the shut-down dialog, chosen or known by its title, is confirmed with its item set, "
          "unless Shift or Ctrl is held or the option is off; the taskbar released or kovw killed")
{
    static const std::tuple<int, const char *, int, int, int> rows[] = {
        {S_SHUTDOWN, "Windows beenden", 0, 1, IDOK},   // known by the choice alone
        {S_SHUTDOWN, "Shut Down Windows", VK_SHIFT, 1, IDCANCEL},
        {S_DIALOG, "Shut Down Windows", 0, 0, IDCANCEL},
        {S_DIALOG, "Shut Down Windows", 0, 1, IDOK},
        {S_DIALOG, "Exit Windows", 0, 1, IDOK},   // the old shell's
        {S_DIALOG, "Exit Windows", VK_CONTROL, 1, IDCANCEL},
        {S_DIALOG, "Shut Down", 0, 1, IDCANCEL},   // an ordinary dialog: buttons, keys down or not
    };
    Shell desk("--class Shell_TrayWnd Programs Documents Settings Find");
    for (auto [user, title, key, option, answer] : rows) {
        CAPTURE(std::string(title));
        desk.op->BypassShutdownConfirm = option;
        std::optional<Hold> hold;
        if (key)
            hold.emplace(key == VK_SHIFT ? "shift" : "ctrl");
        SetWindowTextA(desk.bar, title);
        CHECK(Ask(desk.bar, user) == answer);
        CHECK(Ask(desk.bar, R_ITEM) == (answer == IDOK));
        CHECK(Ask(desk.bar, R_TAKEN) == (!strcmp(title, "Shut Down")));
    }
    // With kovw killed the taskbar goes on working; released, it has its own procedure back.
    TerminateProcess(desk.kovw.hProcess, 1);
    WaitForSingleObject(desk.kovw.hProcess, 5000);
    CHECK(Ask(desk.bar, S_MENU) == 3);   // after the two of the rows
    desk.StartKovw();
    REQUIRE((desk.Settle() && desk.CloseKovw() == 0));
    CHECK((Ask(desk.bar, R_OWN) == 1 && Ask(desk.bar, S_MENU) == 4));
}

TEST_CASE("on the old shell the Program Manager stands in for the taskbar")
{
    const char *appDefaults = "Software\\Wine\\AppDefaults\\" KOVW;   // Windows 3.1 for kovw
    RegSetKeyValueA(HKEY_CURRENT_USER, appDefaults, "Version", REG_SZ, "win31", 6);
    Shell desk("--class Progman", Bin() + "PROGMAN.exe");   // the test shell by that name
    CHECK((desk.At(hwndShutdownManager) == desk.bar && desk.At(SysTaskbarOldFrameProc)));
    RegDeleteKeyValueA(HKEY_CURRENT_USER, appDefaults, "Version");
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
    REQUIRE(desk.At(hwndShutdownManager) == bar);
    CHECK(open(bar, &after));
    CHECK(after.texts == before.texts);
}
