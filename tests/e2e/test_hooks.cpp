// The system-wide hooks: which windows of other programs the library takes
// over when kovw enables it, and how it installs itself.
#include <doctest.h>
#include "harness.h"

using namespace kt;

static const WPARAM IdmSuspend = 101;

// kovw started and enabled, with the hooks of its home's library in place.
struct Enabled {
    Processes &processes;
    Home home;
    Kovw kovw;
    HookView view;
    explicit Enabled(Processes &p, const std::string &xcept = "")
        : processes(p), home(), kovw((Write(home, xcept), p), home), view(home)
    {
        REQUIRE(kovw.Settle());
        REQUIRE(view.Suspended() == 0);
        REQUIRE(view.Tail()->CBThandle != nullptr);
    }
    static void Write(const Home &home, const std::string &xcept)
    {
        if (!xcept.empty())
            home.Write("kovxcept.ini", xcept);
    }
    bool HasRecord(HWND hwnd) const { return view.WindowIndex(hwnd) >= 0; }
};

TEST_CASE("enabling takes over the visible captioned windows that exist, and every new one")
{
    Processes processes;
    Probe visible(processes, "--title Visible");
    Probe hidden(processes, "--title Hidden --hidden");
    HWND shown = visible.Window(), unseen = hidden.Window();
    REQUIRE((shown && unseen));
    REQUIRE(visible.Ping(shown));
    REQUIRE(hidden.Ping(unseen));
    REQUIRE(visible.Subclassed(shown) == 0);

    Enabled kov(processes);
    CHECK(kov.view.Middle()->hwndKov == kov.kovw.MainWindow());
    CHECK(kov.HasRecord(kov.kovw.MainWindow()));

    CHECK(WaitFor([&] { return visible.Subclassed(shown) == 1; }));
    CHECK(kov.HasRecord(shown));
    REQUIRE(hidden.Ping(unseen));
    CHECK(hidden.Subclassed(unseen) == 0);
    CHECK_FALSE(kov.HasRecord(unseen));

    Probe later(processes, "--title Later --hidden");
    HWND fresh = later.Window();
    REQUIRE(fresh);
    CHECK(WaitFor([&] { return later.Subclassed(fresh) == 1; }));
    CHECK(kov.HasRecord(fresh));
    CHECK(kov.view.Middle()->HookedWindowCnt == 3);

    // Windows without the whole caption are left alone.
    Probe popup(processes, "--title Popup --style 80800000");
    HWND plain = popup.Window();
    REQUIRE(popup.Ping(plain));
    CHECK(popup.Subclassed(plain) == 0);
}

TEST_CASE("programs built for Windows 3.x and excepted programs get no record")
{
    Processes processes;
    SUBCASE("a program for Windows 3.1")
    {
        Enabled kov(processes);
        Probe old(processes, "--title Old", true);
        Probe current(processes, "--title Current");
        HWND oldWindow = old.Window(), currentWindow = current.Window();
        REQUIRE((oldWindow && currentWindow));
        CHECK(WaitFor([&] { return current.Subclassed(currentWindow) == 1; }));
        REQUIRE(old.Ping(oldWindow));
        CHECK(old.Subclassed(oldWindow) == 0);
        CHECK_FALSE(kov.HasRecord(oldWindow));
    }
    SUBCASE("a program whose name begins with an exception, in any case")
    {
        Enabled kov(processes, "WINMSD.EXE\r\npRoBe\r\n");
        std::string other = kov.home.Path("other.exe");
        REQUIRE(CopyFileA((BinDir() + "probe.exe").c_str(), other.c_str(), FALSE));
        Probe excepted(processes, "--title Excepted");
        Probe control(processes, "--title Control", false, "KovProbe", other);
        HWND exceptedWindow = excepted.Window(), controlWindow = control.Window();
        REQUIRE((exceptedWindow && controlWindow));
        CHECK(WaitFor([&] { return control.Subclassed(controlWindow) == 1; }));
        REQUIRE(excepted.Ping(exceptedWindow));
        CHECK(excepted.Subclassed(exceptedWindow) == 0);
        CHECK_FALSE(kov.HasRecord(exceptedWindow));
    }
}

TEST_CASE("suspending keeps the hooks but makes them do nothing")
{
    Processes processes;
    Enabled kov(processes);
    HHOOK cbt = kov.view.Tail()->CBThandle;
    PostMessageA(kov.kovw.MainWindow(), WM_COMMAND, IdmSuspend, 0);
    REQUIRE(kov.kovw.Settle());
    CHECK(kov.view.Suspended() == 1);
    CHECK(kov.view.Tail()->CBThandle == cbt);
    CHECK(kov.view.Tail()->GetMsghandle != nullptr);

    Probe during(processes, "--title During");
    HWND duringWindow = during.Window();
    REQUIRE(during.Ping(duringWindow));
    CHECK(during.Subclassed(duringWindow) == 0);
    CHECK_FALSE(kov.HasRecord(duringWindow));

    PostMessageA(kov.kovw.MainWindow(), WM_COMMAND, IdmSuspend, 0);
    REQUIRE(kov.kovw.Settle());
    CHECK(kov.view.Suspended() == 0);
    CHECK(kov.view.Tail()->CBThandle == cbt);
    Probe after(processes, "--title After");
    HWND afterWindow = after.Window();
    CHECK(WaitFor([&] { return after.Subclassed(afterWindow) == 1; }));
}

TEST_CASE("installing twice installs once; releasing what was never installed does nothing")
{
    Processes processes;
    Home home;
    HookView view(home);
    Probe owner(processes, "--title Owner");
    HWND main = owner.Window();
    REQUIRE(main);

    CHECK(view.FreeKovHook(FALSE) == 1);
    CHECK(view.HookInstalled() == 0);

    REQUIRE(view.SetKovHook(main, 0, 0) == 1);
    const volatile SharedFromUnMinAll *shared = view.Tail();
    HHOOK hooks[] = {shared->CBThandle, shared->GetMsghandle, shared->Mousehandle,
                     shared->SysMsghandle};
    for (HHOOK hook : hooks)
        CHECK(hook != nullptr);
    CHECK(shared->CWPhandle == nullptr);
    CHECK(view.HookInstalled() == 1);
    CHECK(view.Middle()->hwndKov == main);
    CHECK(view.Middle()->metrics[6] == GetSystemMetrics(SM_CXSIZE));   // caption button

    CHECK(view.SetKovHook(main, 0, 0) == 1);
    CHECK(shared->CBThandle == hooks[0]);
    CHECK(shared->GetMsghandle == hooks[1]);
    CHECK(shared->Mousehandle == hooks[2]);
    CHECK(shared->SysMsghandle == hooks[3]);

    CHECK(WaitFor([&] { return owner.Subclassed(main) == 1; }));
    CHECK(view.FreeKovHook(TRUE) == 1);
    CHECK(view.HookInstalled() == 0);
    CHECK(shared->CBThandle == nullptr);
    CHECK(shared->SysMsghandle == nullptr);
    CHECK(owner.Subclassed(main) == 0);
    CHECK(view.Middle()->HookedWindowCnt == 0);
}

TEST_CASE("a library that cannot be loaded says so and installs nothing")
{
    Processes processes;
    Home home;
    REQUIRE(MoveFileA(home.Path("kovhook.dll").c_str(), home.Path("kovhoox.dll").c_str()));
    PatchImportName(home.Path("kovw.exe"), "kovhook.dll", "kovhoox.dll");
    Kovw kovw(processes, home);
    HWND box = WaitMessageBox("Error", kovw.Pid());
    REQUIRE(box);
    CHECK(MessageBoxText(box) == "KOVHOOK.DLL: Cannot load library");
    PressButton(box, IDOK);
    REQUIRE(kovw.Settle());
    CHECK(FindTop("#32770", "Error", kovw.Pid()) == nullptr);
}

TEST_CASE("a library without one of its hook procedures says which, keeping the hooks before it")
{
    const char *names[] = {"CBTHookProc", "GetMsgHookProc", "MouseHookProc", "SysMsgHookProc"};
    for (int missing = 0; missing < 4; missing++) {
        CAPTURE(names[missing]);
        Processes processes;
        Home home;
        std::string renamed = names[missing];
        renamed.back() = 'X';
        PatchExportName(home.Path("kovhook.dll"), names[missing], renamed.c_str());
        Kovw kovw(processes, home);
        HWND box = WaitMessageBox("Error", kovw.Pid());
        REQUIRE(box);
        CHECK(MessageBoxText(box) ==
              std::string("KOVHOOK.DLL: Error getting ") + names[missing] + " address");
        PressButton(box, IDOK);
        REQUIRE(kovw.Settle());
        HookView view(home);
        const volatile SharedFromUnMinAll *shared = view.Tail();
        HHOOK installed[] = {shared->CBThandle, shared->GetMsghandle, shared->Mousehandle,
                             shared->SysMsghandle};
        for (int h = 0; h < 4; h++) {
            CAPTURE(h);
            CHECK((installed[h] != nullptr) == (h < missing));
        }
    }
}

TEST_CASE("the shell's taskbar is told about the library and stays healthy")
{
    Processes processes;
    HWND taskbar = FindTop("Shell_TrayWnd", "");
    REQUIRE(taskbar);
    {
        Enabled kov(processes);
        CHECK((HWND)kov.view.Tail()->hwndShutdownManager == taskbar);
        // Its own thread took the message and put the library's procedure in.
        CHECK(WaitFor([&] { return kov.view.Tail()->SysTaskbarOldFrameProc != nullptr; }));
        DWORD_PTR result;
        CHECK(SendMessageTimeoutA(taskbar, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result));
        REQUIRE(kov.kovw.Close() == 0);
        CHECK(kov.view.Tail()->SysTaskbarOldFrameProc == nullptr);
    }
    DWORD_PTR result;
    CHECK(SendMessageTimeoutA(taskbar, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result));
    CHECK(FindTop("Shell_TrayWnd", "") == taskbar);
}

TEST_CASE("every export is found by its plain name")
{
    Home home;
    HookView view(home);
    for (const char *name :
         {"SetKovHook", "FreeKovHook", "HookInstalled", "GetHookData", "SetSystemParameters",
          "CreateAllButtonsProc", "CBTHookProc", "GetMsgHookProc", "MouseHookProc",
          "SysMsgHookProc", "FindFrameHwnd", "SubclassProc", "ButtonsProc", "SubclassButtonProc",
          "SysTaskbarSubclassProc", "MinimizeWindow", "AddTaskListProc", "ActivateWindowCS",
          "_UnMinAll", "_SuspendKovTemp"}) {
        CAPTURE(name);
        CHECK((void *)GetProcAddress(GetModuleHandleA(home.Path("kovhook.dll").c_str()), name) !=
              nullptr);
    }
}
