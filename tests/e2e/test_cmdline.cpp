// kovw's command line: how it starts (shown, hidden, suspended, paused) and
// what it says about options it does not know.
#include <doctest.h>
#include "harness.h"

using namespace kt;

static const char *const UsageText =
    "\nValid Options:\n /NM\t- no minimize on start\n /S\t- suspend on start\n"
    " /Pnn\t- pause nn seconds on load";

struct Started {
    bool shown;
    bool suspended;
    bool trayIcon;
};

// Starts kovw with args, answers an option message (checking its text when
// one is expected) and reports the state once start-up is over.
static Started Start(Processes &processes, const Home &home, const std::string &args,
                     const char *message = nullptr)
{
    Kovw kovw(processes, home, args);
    if (message) {
        HWND box = WaitMessageBox("Kov Startup Options", kovw.Pid());
        REQUIRE(box);
        CHECK(MessageBoxText(box) == message);
        PressButton(box, IDOK);
    }
    HWND main = kovw.MainWindow();
    REQUIRE(main);
    REQUIRE(kovw.Settle());
    CHECK(FindTop("#32770", "", kovw.Pid()) == nullptr);
    HookView view(home);
    Started state = {IsWindowVisible(main) != FALSE, view.Suspended() != 0,
                     TrayIconExists(main)};

    REQUIRE(kovw.Close() == 0);
    return state;
}

static std::string Message(const char *invalid)
{
    return std::string("Option: ") + invalid + " " + UsageText;
}

TEST_CASE("start-up options with the default configuration")
{
    Processes processes;
    Home home;
    SUBCASE("none: hidden behind the tray icon, enabled")
    {
        Started s = Start(processes, home, "");
        CHECK_FALSE(s.shown);
        CHECK_FALSE(s.suspended);
        CHECK(s.trayIcon);
    }
    SUBCASE("/nm and -NM show the window")
    {
        CHECK(Start(processes, home, "/nm").shown);
        CHECK(Start(processes, home, "-NM").shown);
    }
    SUBCASE("/S/NM and /SNM start shown and suspended")
    {
        for (const char *args : {"/S/NM", "/SNM"}) {
            CAPTURE(args);
            Started s = Start(processes, home, args);
            CHECK(s.shown);
            CHECK(s.suspended);
        }
    }
    SUBCASE("a line without any separator is ignored")
    {
        Started s = Start(processes, home, "S");
        CHECK_FALSE(s.shown);
        CHECK_FALSE(s.suspended);
    }
    SUBCASE("a debug level of two digits is one option")
    {
        Started s = Start(processes, home, "/D12 /S");
        CHECK(s.suspended);
    }
    SUBCASE("/X alone: the message, then a normal start")
    {
        Started s = Start(processes, home, "/X", Message("/X").c_str());
        CHECK_FALSE(s.suspended);
    }
    SUBCASE("/X /S: the message quotes the rest of the line, /S still counts")
    {
        Started s = Start(processes, home, "/X /S", Message("/X /S").c_str());
        CHECK(s.suspended);
    }
    SUBCASE("a long line of unknown options is cut to fit the message")
    {
        std::string args;
        for (int i = 0; i < 40; i++)
            args += " /X" + std::to_string(i);
        Kovw kovw(processes, home, args);
        HWND box = WaitMessageBox("Kov Startup Options", kovw.Pid());
        REQUIRE(box);
        std::string text = MessageBoxText(box);
        CHECK(text.size() < 200);
        CHECK(text.compare(0, 11, "Option: /X0") == 0);
        CHECK(text.find(UsageText) == text.size() - strlen(UsageText));
        PressButton(box, IDOK);
        REQUIRE(kovw.MainWindow());
        CHECK(kovw.Close() == 0);
    }
}

TEST_CASE("a pause delays everything that shows and ends the options")
{
    Processes processes;
    Home home;
    Kovw kovw(processes, home, "/NM /P2 /S");
    HWND main = kovw.MainWindow();
    REQUIRE(main);
    DWORD created = GetTickCount();
    REQUIRE(WaitFor([&] { return IsWindowVisible(main) != FALSE; }, 10000));
    CHECK(GetTickCount() - created >= 1500);
    REQUIRE(kovw.Settle());
    HookView view(home);
    CHECK(view.Suspended() == 0);
}

TEST_CASE("start-up options when the configuration hides kovw and its tray icon")
{
    Processes processes;
    std::string options = DefaultOptionsFile(processes);
    PutU32(options, 14, 0);   // no tray icon
    Home home;
    home.Write("kovopt.ini", options);

    SUBCASE("/S is ignored: nothing would be left to enable it with")
    {
        Started s = Start(processes, home, "/S");
        CHECK_FALSE(s.shown);
        CHECK_FALSE(s.suspended);
        CHECK_FALSE(s.trayIcon);
    }
    SUBCASE("/NM /S shows the window and suspends")
    {
        Started s = Start(processes, home, "/NM /S");
        CHECK(s.shown);
        CHECK(s.suspended);
        CHECK_FALSE(s.trayIcon);
    }
    SUBCASE("/S /NM shows the window but the /S came too early")
    {
        Started s = Start(processes, home, "/S /NM");
        CHECK(s.shown);
        CHECK_FALSE(s.suspended);
    }
}

TEST_CASE("removing recent documents deletes only the shortcuts in the Recent folder")
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    std::string recent = std::string(windows) + "\\Recent\\";
    CreateDirectoryA(recent.c_str(), NULL);
    CreateDirectoryA((recent + "sub").c_str(), NULL);
    // A name too long for the folder path buffer is left alone, not cut.
    std::string longName = std::string(236, 'n') + ".LNK";   // 258 with the folder
    const std::vector<std::string> shortcuts = {"one.LNK", "two.lnk"};
    const std::vector<std::string> others = {"three.txt", "sub\\four.LNK", longName};
    for (const std::string &name : shortcuts)
        WriteFileBytes(recent + name, "x");
    for (const std::string &name : others)
        WriteFileBytes(recent + name, "x");

    Processes processes;
    std::string options = DefaultOptionsFile(processes);
    PutU32(options, 98, U32At(options, 98) | 0x02);
    Home home;
    home.Write("kovopt.ini", options);
    Kovw kovw(processes, home);
    REQUIRE(kovw.Settle());

    for (const std::string &name : shortcuts)
        CHECK_FALSE(FileExists(recent + name));
    for (const std::string &name : others)
        CHECK(FileExists(recent + name));
    for (const std::string &name : others)
        DeleteFileA((recent + name).c_str());
    RemoveDirectoryA((recent + "sub").c_str());
}
