// kovw's tray icon and its menus, its main window and the About box.
#include "kt.h"

using namespace kt;

TEST_CASE("the tray menus follow the state; a double click shows the main window; About and Help")
{
    Desk desk;
    NOTIFYICONDATAA icon = {sizeof(icon), desk.main, 0};
    CHECK(Shell_NotifyIconA(NIM_MODIFY, &icon));
    Spy spy(GetWindowThreadProcessId(desk.main, NULL));
    Menu menu;
    auto tray = [&](UINT mouse) {   // a menu, as the shell passes on a mouse message on the icon
        PostMessageA(desk.main, KM_TRAYICON, 0, mouse);
        return spy.Next(&menu);
    };
    REQUIRE(tray(WM_LBUTTONDOWN));
    CHECK(menu.texts == std::vector<std::string>{"&Options"});
    PostMessageA(desk.main, WM_KEYDOWN, VK_ESCAPE, 0);
    const std::vector<std::string> full = {"&Options", "Show &Kov", "&Suspend", "", "&Minimize all"};
    REQUIRE(tray(WM_RBUTTONDOWN));
    CHECK((menu.texts == full && menu.defaultId == IDM_OPTIONS));
    // Chosen by its letter: suspended, and the menu then offers Enable.
    PostMessageA(desk.main, WM_CHAR, 's', 1);
    CHECK(WaitFor([&] { return desk.sh->Suspend == 1; }));
    desk.sh->State.UnMinAll.Count = 1;   // as after a minimize-all
    REQUIRE(tray(WM_RBUTTONDOWN));
    CHECK((menu.texts[2] == "&Enable" && menu.texts.back() == "&Undo minimize all"));
    PostMessageA(desk.main, WM_CHAR, 'e', 1);
    CHECK(WaitFor([&] { return desk.sh->Suspend == 0; }));
    PostMessageA(desk.main, KM_TRAYICON, 0, WM_LBUTTONDBLCLK);
    CHECK(WaitFor([&] { return IsWindowVisible(desk.main) && GetForegroundWindow() == desk.main; }));
    // The About box: the version; Help without the read-me says so.
    DeleteFileA(desk.Path("readme.kov").c_str());
    PostMessageA(desk.main, WM_COMMAND, IDM_ABOUT, 0);
    HWND about = WaitBox("About", desk.kovw.dwProcessId);
    REQUIRE(about);
    CHECK(BoxText(about).find("Version 1.2 " KOV_ARCH_TEXT) != std::string::npos);
    Press(about, IDC_HELPBUTTON);
    CHECK((Answer("Kov Warning", desk.kovw.dwProcessId) == "Cannot find README.KOV file." && IsWindow(about)));
}

TEST_CASE("every text of the About box and the options fits its control, at 144 and 96 dpi")
{
    for (DWORD dpi : {144, 96}) {   // read once as a program starts
        REQUIRE(!RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi, 4));
        Desk desk;
        Spy spy(GetWindowThreadProcessId(desk.main, NULL));
        for (int command : {IDM_ABOUT, IDM_OPTIONS}) {
            PostMessageA(desk.main, WM_COMMAND, command, 0);
            HWND dialog = WaitBox("", desk.kovw.dwProcessId);
            Menu cut;
            REQUIRE((dialog && spy.Bar(dialog, &cut, SPY_FIT)));
            CHECK(cut.defaultId == (int)dpi);
            for (const std::string &text : cut.texts)
                FAIL_CHECK("at " << dpi << " dpi, cut: " << text);
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            REQUIRE(WaitFor([&] { return !IsWindow(dialog); }));
        }
    }
}
