// Two monitors, the primary on the right: the other one lies at negative coordinates, as a user with a second
// screen on the left has it. Run on a display of two monitors (KOV_WINE_MONITORS=2).
#include "kt.h"

using namespace kt;

TEST_CASE("a frame on the monitor left of the primary one: its group, roll-up and task list there")
{
    REQUIRE((GetSystemMetrics(SM_CMONITORS) == 2 && GetSystemMetrics(SM_XVIRTUALSCREEN) == -1024));
    Desk desk;
    HWND left = desk.Probe("--title Left --rect -700,150,400,300"), right = desk.Probe("--rect 300,150,400,300");
    HWND group = desk.Group(left), other = desk.Group(right);
    REQUIRE((group && other));
    // Placed on its frame as on the primary monitor.
    RECT f = Rect(left), g = Rect(group), o = Rect(other);
    CHECK(f.right < 0);
    CHECK((g.left - f.right == o.left - Rect(right).right && g.top - f.top == o.top - Rect(right).top));
    CHECK((g.right - g.left == o.right - o.left && g.bottom - g.top == o.bottom - o.top));
    Click(ButtonAt(group, 0));
    CHECK(WaitFor([&] { return Height(left) < 100; }));
    Click(ButtonAt(group, 0));
    CHECK(WaitFor([&] { return Height(left) == 300; }));
    Spy spy(GetWindowThreadProcessId(left, NULL));
    Click(ButtonAt(group, 2));
    Menu menu;
    REQUIRE(spy.Next(&menu));
    CHECK(std::count(menu.texts.begin(), menu.texts.end(), "&Left") == 1);
    // The menu's window exists before it is placed and shown: judge it once it is on the screen.
    HWND popup = nullptr;
    CHECK(WaitFor([&] { return (popup = WaitTop("#32768", "", PidOf(left), 0)) && IsWindowVisible(popup); }));
    CHECK((popup && Rect(popup).right <= 0 && Rect(popup).left >= -1024));
    PostMessageA(left, WM_KEYDOWN, VK_ESCAPE, 0);
    // Maximized, it fills its own monitor, and the group stays there.
    REQUIRE(Ping(left));
    ShowWindow(left, SW_MAXIMIZE);
    CHECK(WaitFor([&] {
        g = Rect(group);
        return Rect(left).right <= 8 && g.right <= 0 && g.left > -1024 && g.top >= 0 && g.top < 40;
    }));
}
