// kovw's tray icon and its menus, its main window and the About box.
#include "kt.h"

using namespace kt;

static const WPARAM IdmOptions = 104;

// What the shell does for a mouse message on the icon.
static void Tray(const Desk &desk, UINT mouse)
{
    PostMessageA(desk.main, KM_TRAYICON, 0, mouse);
}

TEST_CASE("the tray menus follow the state; a double click shows the main window")
{
    Desk desk;
    NOTIFYICONDATAA icon = {sizeof(icon), desk.main, 0};
    CHECK(Shell_NotifyIconA(NIM_MODIFY, &icon));
    Spy spy(GetWindowThreadProcessId(desk.main, NULL));
    Menu menu;
    Tray(desk, WM_LBUTTONDOWN);
    REQUIRE(spy.Next(&menu));
    CHECK(menu.texts == std::vector<std::string>{"&Options"});
    PostMessageA(desk.main, WM_KEYDOWN, VK_ESCAPE, 0);
    const std::vector<std::string> full = {"&Options", "Show &Kov", "&Suspend", "", "&Minimize all"};
    Tray(desk, WM_RBUTTONDOWN);
    REQUIRE(spy.Next(&menu));
    CHECK(menu.texts == full);
    CHECK(menu.defaultId == (int)IdmOptions);
    // Chosen by its letter: suspended, and the menu then offers Enable.
    PostMessageA(desk.main, WM_CHAR, 's', 1);
    CHECK(WaitFor([&] { return desk.At(_SuspendKovTemp) == 1; }));
    desk.At(_UnMinAll).Count = 1;   // as after a minimize-all
    Tray(desk, WM_RBUTTONDOWN);
    REQUIRE(spy.Next(&menu));
    CHECK(menu.texts[2] == "&Enable");
    CHECK(menu.texts.back() == "&Undo minimize all");
    PostMessageA(desk.main, WM_CHAR, 'e', 1);
    CHECK(WaitFor([&] { return desk.At(_SuspendKovTemp) == 0; }));
    // A double click shows the main window.
    Tray(desk, WM_LBUTTONDBLCLK);
    CHECK(WaitFor([&] { return IsWindowVisible(desk.main) && GetForegroundWindow() == desk.main; }));
}

TEST_CASE("the About box: the version, and Help with and without the read-me")
{
    Desk desk;
    for (bool readme : {true, false}) {
        if (!readme)
            DeleteFileA(desk.Path("readme.kov").c_str());
        PostMessageA(desk.main, WM_COMMAND, 103, 0);
        HWND about = WaitBox("About", desk.kovw.dwProcessId);
        REQUIRE(about);
        CHECK(BoxText(about).find("Version 1.2 32bit") != std::string::npos);
        Press(about, 257);
        if (readme) {
            HWND editor = WaitTop("Notepad");
            CHECK(WaitFor([&] { return strstr(CharUpperA(&Text(editor)[0]), "README.KOV"); }));
            PostMessageA(editor, WM_CLOSE, 0, 0);
        } else {
            HWND warning = WaitBox("Kov Warning", desk.kovw.dwProcessId);
            REQUIRE(warning);
            CHECK(BoxText(warning) == "Cannot find README.KOV file.");
            Press(warning, IDOK);
        }
        CHECK(IsWindow(about));
        PostMessageA(about, WM_KEYDOWN, VK_ESCAPE, 0);
        CHECK(WaitFor([&] { return !IsWindow(about); }));
    }
}
