// The command executor's answer to action codes, and the animation switch
// that minimize-all wraps itself in.
#include <doctest.h>

#include "common/actions.h"
#include "hook/share.h"

#include <initializer_list>
#include <string.h>

static LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static HWND PlainWindow(DWORD style)
{
    static bool registered;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PlainProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "KovActionTest";
        RegisterClassA(&wc);
        registered = true;
    }
    return CreateWindowExA(0, "KovActionTest", "Action", style, 10, 10, 200, 150, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
}

TEST_CASE("the executor answers 1 for every action it knows, effect or not, and 0 otherwise")
{
    // No maximize or minimize box: those commands have nothing to do.
    HWND hwnd = PlainWindow(WS_CAPTION | WS_SYSMENU);
    REQUIRE(hwnd);
    CHECK(ExecuteSystemCommand(hwnd, -1, ACTION_NONE, SOURCE_BUTTON) == 0);
    for (int unknown : {0, 0x6FFF, 0x7002, 0x7045, 0x7107, 0x7FFF, 0x17046})
        CHECK(ExecuteSystemCommand(hwnd, -1, unknown, SOURCE_BUTTON) == 0);
    CHECK(ExecuteSystemCommand(hwnd, -1, ACTION_MAXRESTORE, SOURCE_BUTTON) == 1);
    CHECK(ExecuteSystemCommand(hwnd, -1, ACTION_MINIMIZE, SOURCE_BUTTON) == 1);
    CHECK(ExecuteSystemCommand(hwnd, -1, ACTION_UNDOMINALL, SOURCE_BUTTON) == 1);
    for (int scroll : {ACTION_SCROLLPAGE, ACTION_SCROLLPAGES, ACTION_SCROLLLINE})
        CHECK(ExecuteSystemCommand(hwnd, -1, scroll, SOURCE_MOUSE) == 1);
    MSG msg;
    while (PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE))
        CHECK(msg.message != WM_SYSCOMMAND);
    CHECK_FALSE(IsIconic(hwnd));
    CHECK_FALSE(IsZoomed(hwnd));
    DestroyWindow(hwnd);
}

TEST_CASE("an empty user command runs nothing and is still handled")
{
    HWND hwnd = PlainWindow(WS_OVERLAPPEDWINDOW);
    char saved[USER_COMMAND_SIZE];
    memcpy(saved, UserCommandOf(&Op), sizeof(saved));
    UserCommandOf(&Op)[0] = 0;
    CHECK(ExecuteSystemCommand(hwnd, -1, ACTION_USERCMD, SOURCE_BUTTON) == 1);
    memcpy(UserCommandOf(&Op), saved, sizeof(saved));
    DestroyWindow(hwnd);
}

static int CurrentAnimation()
{
    ANIMATIONINFO info = {sizeof(info), 0};
    SystemParametersInfoA(SPI_GETANIMATION, sizeof(info), &info, 0);
    return info.iMinAnimate;
}

TEST_CASE("the animation switch returns the setting it found and leaves the one asked for")
{
    int original = CurrentAnimation();
    CHECK(SetAnimation(original) == original);
    CHECK(CurrentAnimation() == original);
    ANIMATIONINFO flipped = {sizeof(flipped), !original};
    if (!SystemParametersInfoA(SPI_SETANIMATION, sizeof(flipped), &flipped, 0) ||
        CurrentAnimation() == original) {
        MESSAGE("this system keeps its animation setting fixed");
        return;
    }
    CHECK(SetAnimation(original) == !original);
    CHECK(CurrentAnimation() == original);
}
