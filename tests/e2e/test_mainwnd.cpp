// kovw as the user meets it: the tray icon and its menus, the main window
// with its menus and size, the About box.
#include <doctest.h>
#include "harness.h"

using namespace kt;

static const UINT KmTrayIcon = 0x6F0B;
static const UINT IdmSuspend = 101, IdmAbout = 103, IdmOptions = 104;
static const UINT ActionHide = 28682, ActionMinAll = 28755, ActionUndoMinAll = 28756;
static const UINT IdmShowKov = 28912;

struct ExpectedItem {
    const char *text;   // nullptr: a separator
    UINT id;
};

static void CheckMenu(const SpyMenu &menu, std::initializer_list<ExpectedItem> expected)
{
    REQUIRE(menu.count == (int)expected.size());
    int i = 0;
    for (const ExpectedItem &item : expected) {
        CAPTURE(i);
        if (!item.text) {
            CHECK((menu.items[i].type & MFT_SEPARATOR) != 0);
        } else {
            CHECK(std::string(menu.items[i].text) == item.text);
            CHECK(menu.items[i].id == item.id);
        }
        i++;
    }
}

// Opens a tray menu as the shell does when the icon is clicked.
static bool TrayMenu(HWND main, MenuSpy &spy, UINT mouseMessage, SpyMenu *menu)
{
    PostMessageA(main, KmTrayIcon, 0, mouseMessage);
    return spy.Next(menu);
}

static void CloseMenu(HWND main)
{
    PostKey(main, VK_ESCAPE);
}

TEST_CASE("the tray icon is in the shell's notification area and answers a right click")
{
    Processes processes;
    Home home;
    Kovw kovw(processes, home);
    HWND main = kovw.MainWindow();
    REQUIRE(kovw.Settle());
    REQUIRE(TrayIconExists(main));

    HWND taskbar = FindTop("Shell_TrayWnd", "");
    REQUIRE(taskbar);
    RECT area;
    GetWindowRect(taskbar, &area);
    HICON icon = LoadKovIcon(home, GetSystemMetrics(SM_CXSMICON));
    POINT at = {};
    Screenshot shot;
    bool seen = WaitFor([&] {
        shot = CaptureScreen();
        return FindIcon(shot, icon, GetSystemMetrics(SM_CXSMICON), area, &at);
    });
    shot.SaveBmp(ArtifactDir() + "tray-icon.bmp");
    DestroyIcon(icon);
    REQUIRE_MESSAGE(seen, "the icon is not in the taskbar; see test-artifacts/tray-icon.bmp");

    MenuSpy spy(GetWindowThreadProcessId(main, NULL));
    ClickAt(at, true);
    SpyMenu menu;
    REQUIRE(spy.Next(&menu));
    CheckMenu(menu, {{"&Options", IdmOptions}, {"Show &Kov", IdmShowKov},
                     {"&Suspend", IdmSuspend}, {nullptr, 0}, {"&Minimize all", ActionMinAll}});
    CHECK(menu.defaultId == (int)IdmOptions);
    CloseMenu(main);
}

TEST_CASE("the tray menus follow the state")
{
    Processes processes;
    Home home;
    Kovw kovw(processes, home);
    HWND main = kovw.MainWindow();
    REQUIRE(kovw.Settle());
    HookView view(home);
    MenuSpy spy(GetWindowThreadProcessId(main, NULL));
    SpyMenu menu;

    SUBCASE("a left click offers the options only")
    {
        REQUIRE(TrayMenu(main, spy, WM_LBUTTONDOWN, &menu));
        CheckMenu(menu, {{"&Options", IdmOptions}});
        CHECK(menu.defaultId == -1);
        CloseMenu(main);
    }
    SUBCASE("after a minimize-all the right-click menu offers the undo")
    {
        ((UnMinAllRecord *)view.UnMinAll())->Count = 1;
        REQUIRE(TrayMenu(main, spy, WM_RBUTTONDOWN, &menu));
        CheckMenu(menu, {{"&Options", IdmOptions}, {"Show &Kov", IdmShowKov},
                         {"&Suspend", IdmSuspend}, {nullptr, 0},
                         {"&Minimize all", ActionMinAll},
                         {"&Undo minimize all", ActionUndoMinAll}});
        CloseMenu(main);
        ((UnMinAllRecord *)view.UnMinAll())->Count = 0;
    }
    SUBCASE("choosing Suspend by its letter suspends; the menu then offers Enable")
    {
        REQUIRE(TrayMenu(main, spy, WM_RBUTTONDOWN, &menu));
        PostChar(main, 's');
        CHECK(WaitFor([&] { return view.Suspended() == 1; }));
        REQUIRE(TrayMenu(main, spy, WM_RBUTTONDOWN, &menu));
        REQUIRE(menu.count == 5);
        CHECK(std::string(menu.items[2].text) == "&Enable");
        CHECK(menu.items[2].id == IdmSuspend);
        PostChar(main, 'e');
        CHECK(WaitFor([&] { return view.Suspended() == 0; }));
        CHECK(view.Tail()->CBThandle != nullptr);
    }
}

TEST_CASE("showing and hiding the main window")
{
    Processes processes;
    Home home;
    Kovw kovw(processes, home);
    HWND main = kovw.MainWindow();
    REQUIRE(kovw.Settle());
    REQUIRE_FALSE(IsWindowVisible(main));
    auto shownAndActive = [&] {
        return IsWindowVisible(main) && GetForegroundWindow() == main;
    };

    SUBCASE("a double click on the icon shows and activates it; Hide hides it again")
    {
        PostMessageA(main, KmTrayIcon, 0, WM_LBUTTONDBLCLK);
        CHECK(WaitFor(shownAndActive));
        PostMessageA(main, WM_SYSCOMMAND, ActionHide, 0);
        CHECK(WaitFor([&] { return !IsWindowVisible(main); }));
        CHECK(TrayIconExists(main));
    }
    SUBCASE("Show Kov in the tray menu")
    {
        MenuSpy spy(GetWindowThreadProcessId(main, NULL));
        SpyMenu menu;
        REQUIRE(TrayMenu(main, spy, WM_RBUTTONDOWN, &menu));
        PostChar(main, 'k');
        CHECK(WaitFor(shownAndActive));
    }
    SUBCASE("starting kovw again")
    {
        Home other;
        Kovw again(processes, other);
        CHECK(Processes::WaitExit(again.Process(), 10000));
        CHECK(WaitFor(shownAndActive));
    }
}

TEST_CASE("the main window's size, menu bar and system menu")
{
    Processes processes;
    Home home;
    Kovw kovw(processes, home, "/NM");
    HWND main = kovw.MainWindow();
    REQUIRE(kovw.Settle());

    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = 340;
    REQUIRE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 340, &metrics, 0));
    int unit = abs(metrics.lfMenuFont.lfWidth);
    if (unit == 0) {
        HDC dc = GetDC(main);
        TEXTMETRICA tm;
        GetTextMetricsA(dc, &tm);
        ReleaseDC(main, dc);
        unit = tm.tmAveCharWidth;
    }
    RECT rc;
    GetWindowRect(main, &rc);
    CHECK(rc.right - rc.left == 32 * unit);
    CHECK(rc.bottom - rc.top ==
          GetSystemMetrics(SM_CYSIZE) + GetSystemMetrics(SM_CYMENU) + 5 * GetSystemMetrics(SM_CYBORDER));
    CHECK(rc.left == 1);
    CHECK(rc.top == 1);
    CHECK(TextOf(main) == "Kov 1.2");
    CHECK((GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0);

    MenuSpy spy(GetWindowThreadProcessId(main, NULL));
    SpyMenu menu;
    PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    REQUIRE(spy.Next(&menu));
    REQUIRE(menu.count >= 4);
    const SpyItem *tail = &menu.items[menu.count - 4];
    CHECK((tail[0].type & MFT_SEPARATOR) != 0);
    CHECK(std::string(tail[1].text) == "&Options");
    CHECK(tail[1].id == IdmOptions);
    CHECK(std::string(tail[2].text) == "&About");
    CHECK(tail[2].id == IdmAbout);
    CHECK(std::string(tail[3].text) == "&Hide");
    CHECK(tail[3].id == ActionHide);
    PostChar(main, 'h');
    CHECK(WaitFor([&] { return !IsWindowVisible(main); }));
}

TEST_CASE("the About box")
{
    Processes processes;
    Home home;
    SUBCASE("shows the version and closes with Escape")
    {
        Kovw kovw(processes, home);
        REQUIRE(kovw.Settle());
        PostMessageA(kovw.MainWindow(), WM_COMMAND, IdmAbout, 0);
        HWND about = WaitMessageBox("About", kovw.Pid());
        REQUIRE(about);
        char version[64] = "";
        GetDlgItemTextA(about, 201, version, sizeof(version));
        CHECK(std::string(version) == "Version 1.2 32bit");
        for (int id : {105, 202, 257, IDOK})
            CHECK(GetDlgItem(about, id) != nullptr);
        PostKey(about, VK_ESCAPE);
        CHECK(WaitFor([&] { return !IsWindow(about); }));
    }
    SUBCASE("Help opens the read-me in the text editor")
    {
        Kovw kovw(processes, home);
        REQUIRE(kovw.Settle());
        PostMessageA(kovw.MainWindow(), WM_SYSCOMMAND, IdmAbout, 0);
        HWND about = WaitMessageBox("About", kovw.Pid());
        REQUIRE(about);
        PressButton(about, 257);
        HWND editor = nullptr;
        CHECK(WaitFor([&] {
            editor = FindTop("Notepad", "");
            return editor && TextOf(editor).find("readme") != std::string::npos;
        }));
        if (editor)
            PostMessageA(editor, WM_CLOSE, 0, 0);
        CHECK(IsWindow(about));
        PressButton(about, IDOK);
    }
    SUBCASE("Help without the read-me warns and leaves the box open")
    {
        home.Remove("readme.kov");
        Kovw kovw(processes, home);
        REQUIRE(kovw.Settle());
        PostMessageA(kovw.MainWindow(), WM_COMMAND, IdmAbout, 0);
        HWND about = WaitMessageBox("About", kovw.Pid());
        REQUIRE(about);
        PressButton(about, 257);
        HWND warning = WaitMessageBox("Kov Warning", kovw.Pid());
        REQUIRE(warning);
        CHECK(MessageBoxText(warning) == "Cannot find README.KOV file.");
        PressButton(warning, IDOK);
        CHECK(WaitFor([&] { return !IsWindow(warning); }));
        CHECK(IsWindow(about));
        PressButton(about, IDOK);
    }
}

TEST_CASE("a change of the system settings hands the double-click time to the library again")
{
    Processes processes;
    Home home;
    Kovw kovw(processes, home);
    REQUIRE(kovw.Settle());
    HookView view(home);
    UINT before = GetDoubleClickTime();
    REQUIRE(view.Tail()->DoubleClickTime == before);
    // Another process's change of the setting is not seen by kovw under
    // Wine, so the library's copy is spoilt instead: the notification must
    // put the system's value back.
    ((SharedFromUnMinAll *)view.Tail())->DoubleClickTime = before + 1234;
    DWORD_PTR result;
    SendMessageTimeoutA(kovw.MainWindow(), WM_SETTINGCHANGE, SPI_SETDOUBLECLICKTIME, 0,
                        SMTO_ABORTIFHUNG, 5000, &result);
    CHECK(view.Tail()->DoubleClickTime == before);
}
