// Closing kovw gives every window its own procedure back: with a question
// for windows that are disabled, without one when the system or another
// program ends it, and without waiting forever for a program that hangs.
#include <doctest.h>
#include "harness.h"

using namespace kt;

static const char *const ReleaseText =
    "\"Blocked\" window is disabled.\nCannot release Kov safely. Override? ('No' recommended)";

struct Scene {
    Processes processes;
    Home home;
    Probe blocked{processes, "--title Blocked --disabled --count 2"};
    Probe open{processes, "--title Open"};
    std::vector<HWND> windows;
    std::vector<Probe *> owners;

    Scene()
    {
        for (int i = 0; i < 2; i++) {
            windows.push_back(blocked.Window(i));
            owners.push_back(&blocked);
        }
        windows.push_back(open.Window());
        owners.push_back(&open);
        for (HWND hwnd : windows)
            REQUIRE(hwnd);
    }
    void WaitAllSubclassed()
    {
        for (size_t i = 0; i < windows.size(); i++)
            REQUIRE(WaitFor([&] { return owners[i]->Subclassed(windows[i]) == 1; }));
    }
    void CheckAllReleased(const HookView &view)
    {
        for (size_t i = 0; i < windows.size(); i++) {
            CAPTURE(i);
            CHECK(owners[i]->Subclassed(windows[i]) == 0);
            CHECK(view.WindowIndex(windows[i]) < 0);
        }
        CHECK(view.Middle()->HookedWindowCnt == 0);
    }
};

static void AskToClose(Kovw &kovw)
{
    PostMessageA(kovw.MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
}

TEST_CASE("closing with disabled windows asks once; No keeps kovw running with its hooks")
{
    Scene scene;
    Kovw kovw(scene.processes, scene.home);
    REQUIRE(kovw.Settle());
    HookView view(scene.home);
    scene.WaitAllSubclassed();

    AskToClose(kovw);
    HWND box = WaitMessageBox("Release Kov", kovw.Pid());
    REQUIRE(box);
    CHECK(MessageBoxText(box) == ReleaseText);
    CHECK((GetWindowLongA(GetDlgItem(box, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON) != 0);
    PressButton(box, IDNO);
    REQUIRE(kovw.Settle());
    CHECK(Processes::Running(kovw.Process()));
    CHECK(view.Suspended() == 0);
    CHECK(view.Tail()->IsShutdown == 0);
    CHECK(view.Tail()->CBThandle != nullptr);
    CHECK(view.Tail()->GetMsghandle != nullptr);
    // The disabled windows are still taken over.
    CHECK(scene.blocked.Subclassed(scene.windows[0]) == 1);
    CHECK(scene.blocked.Subclassed(scene.windows[1]) == 1);

    // Yes releases this one and every later disabled window without asking.
    AskToClose(kovw);
    box = WaitMessageBox("Release Kov", kovw.Pid());
    REQUIRE(box);
    PressButton(box, IDYES);
    DWORD code = 1;
    REQUIRE(Processes::WaitExit(kovw.Process(), 15000, &code));
    CHECK(code == 0);
    scene.CheckAllReleased(view);
    CHECK(view.Tail()->CBThandle == nullptr);
}

TEST_CASE("ending kovw from outside releases everything without a question")
{
    Scene scene;
    Kovw kovw(scene.processes, scene.home);
    REQUIRE(kovw.Settle());
    HookView view(scene.home);
    scene.WaitAllSubclassed();

    SUBCASE("another program closes its window")
    {
        PostMessageA(kovw.MainWindow(), WM_CLOSE, 0, 0);
        REQUIRE(Processes::WaitExit(kovw.Process(), 15000));
    }
    SUBCASE("the user logs off")
    {
        DWORD_PTR result;
        REQUIRE(SendMessageTimeoutA(kovw.MainWindow(), WM_ENDSESSION, TRUE, 0, SMTO_BLOCK, 15000,
                                    &result));
        CHECK(Processes::Running(kovw.Process()));
    }
    CHECK(FindTop("#32770", "Release Kov") == nullptr);
    scene.CheckAllReleased(view);
}

TEST_CASE("a hung program does not hold kovw up and gets its window back when it runs again")
{
    Processes processes;
    Home home;
    Probe hung(processes, "--title Hung");
    HWND window = hung.Window();
    REQUIRE(window);
    Kovw kovw(processes, home);
    REQUIRE(kovw.Settle());
    HookView view(home);
    REQUIRE(WaitFor([&] { return hung.Subclassed(window) == 1; }));

    const DWORD freezeMs = 9000;
    hung.Freeze(window, freezeMs);
    DWORD frozen = GetTickCount();
    PostMessageA(kovw.MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
    REQUIRE(Processes::WaitExit(kovw.Process(), freezeMs));
    CHECK(GetTickCount() - frozen < freezeMs);
    // The record stays while the program cannot answer.
    CHECK(view.WindowIndex(window) >= 0);

    // Once it runs again, it releases its window itself and keeps working.
    REQUIRE(hung.Ping(window, freezeMs + 5000));
    CHECK(WaitFor([&] { return hung.Subclassed(window) == 0; }));
    CHECK(view.WindowIndex(window) < 0);
    CHECK(view.Middle()->HookedWindowCnt == 0);
}
