// One kovw at a time, and one shared section per library file.
#include <doctest.h>
#include "harness.h"

using namespace kt;

TEST_CASE("a second kovw only shows the first one")
{
    Processes processes;
    Home first, second;
    Kovw running(processes, first);
    HWND main = running.MainWindow();
    REQUIRE(main);
    REQUIRE(running.Settle());
    REQUIRE_FALSE(IsWindowVisible(main));

    Kovw again(processes, second);
    DWORD code = 99;
    REQUIRE(Processes::WaitExit(again.Process(), 10000, &code));
    CHECK(code == 0);
    CHECK_FALSE(second.Exists("kovopt.ini"));
    CHECK_FALSE(second.Exists("kovxcept.ini"));
    CHECK(CountTop("KovMainWin") == 1);
    CHECK(WaitFor([&] { return IsWindowVisible(main) != FALSE; }));
    CHECK(running.Close() == 0);
}

TEST_CASE("processes loading the same library file share its configuration")
{
    Processes processes;
    Home home, other;
    HookView view(home);
    const size_t scrollPagesOffset = offsetof(OptionsRecord, ScrollPages);
    view.Options()->ScrollPages = 4242;

    PROCESS_INFORMATION same = processes.Start(
        BinDir() + "probe.exe",
        "--read-option \"" + home.Path("kovhook.dll") + "\" " + std::to_string(scrollPagesOffset));
    DWORD value = 0;
    REQUIRE(Processes::WaitExit(same.hProcess, 10000, &value));
    CHECK(value == 4242);

    // A copy of the library elsewhere is another file with a section of its own.
    PROCESS_INFORMATION copy = processes.Start(
        BinDir() + "probe.exe",
        "--read-option \"" + other.Path("kovhook.dll") + "\" " + std::to_string(scrollPagesOffset));
    REQUIRE(Processes::WaitExit(copy.hProcess, 10000, &value));
    CHECK(value == 0);
}
