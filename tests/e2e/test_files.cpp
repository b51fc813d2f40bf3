// The two configuration files as kovw creates, validates, upgrades and
// keeps them, seen from outside: bytes on disk, questions on screen.
#include <doctest.h>
#include "harness.h"

#include <stddef.h>

using namespace kt;

static const char *const UpdateTitle = "Kov Update Configuration";
static const char *const UpdateText =
    "Your previous configuration will be preserved.\nView new changes (history.doc) with Notepad?";
static const char *const DefaultXceptFile =
    "WINMSD.EXE\r\nRASMON.EXE\r\nLEGACY.EXE\r\nTMGMAINW.EXE\r\n";

static int DisplayDpiY()
{
    HDC ic = CreateICA("DISPLAY", NULL, NULL, NULL);
    int dpi = GetDeviceCaps(ic, LOGPIXELSY);
    DeleteDC(ic);
    return dpi;
}

static std::string EditorPath()
{
    char windows[MAX_PATH], editor[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    REQUIRE((INT_PTR)FindExecutableA("NOTEPAD.EXE", windows, editor) > 32);
    return editor;
}

static std::string CString(const std::string &bytes, size_t offset, size_t size)
{
    std::string field = bytes.substr(offset, size);
    return field.substr(0, field.find('\0'));
}

// Starts kovw and waits until its start-up is over (message loop running).
static HWND StartAndSettle(Kovw &kovw)
{
    HWND main = kovw.MainWindow();
    REQUIRE(main);
    REQUIRE(kovw.Settle());
    return main;
}

static const size_t UserCommandOffset = 3010;

TEST_CASE("a fresh home gets both files with their defaults")
{
    Processes processes;
    Home home;
    Kovw kovw(processes, home);
    StartAndSettle(kovw);

    std::string opt = home.Read("kovopt.ini");
    REQUIRE(opt.size() == 3534);
    CHECK(opt.substr(0, 6) == std::string("1.2\0\0\0", 6));
    CHECK(opt.substr(3530, 4) == std::string("EOS\0", 4));
    CHECK(U32At(opt, 10) == 1);      // confirm shut-down
    CHECK(U32At(opt, 14) == 1);      // tray icon
    CHECK(U32At(opt, 18) == 0);      // not suspended at start
    CHECK(U32At(opt, 30) == 1);      // start hidden
    CHECK(U16At(opt, 66) == 91);
    CHECK(U32At(opt, 98) == 0x51);   // flags
    CHECK(U32At(opt, 106) == 4);     // scroll sensitivity
    CHECK(U32At(opt, 110) == 6);     // scroll pages
    CHECK((int)U32At(opt, 114) == DisplayDpiY());
    CHECK(U32At(opt, 118) == 60);
    CHECK(U32At(opt, 182 + 7 * 184) == 0x700E);    // Ctrl + right: task list
    CHECK(U32At(opt, 182 + 10 * 184) == 0x7104);   // middle: scroll
    CHECK(U32At(opt, 2942 + 20) == 2);             // buttons on the right
    CHECK(CString(opt, UserCommandOffset, 128) == EditorPath());
    CHECK(home.Read("kovxcept.ini") == DefaultXceptFile);
    CHECK(kovw.Close() == 0);
}

TEST_CASE("a user command document in the home directory joins the default command")
{
    Processes processes;
    Home home;
    home.Write("USERCMD.TXT", "notes\r\n");
    Kovw kovw(processes, home);
    StartAndSettle(kovw);
    CHECK(CString(home.Read("kovopt.ini"), UserCommandOffset, 128) ==
          EditorPath() + " " + home.Path("USERCMD.TXT"));
}

TEST_CASE("a broken options file is replaced by the defaults without a word")
{
    Processes processes;
    const std::string defaults = DefaultOptionsFile(processes);
    std::string broken;
    SUBCASE("one byte short") { broken = defaults.substr(0, 3533); }
    SUBCASE("one byte long") { broken = defaults + "X"; }
    SUBCASE("no end marker")
    {
        broken = defaults;
        broken[3530] = 'E';
        broken[3531] = 'O';
        broken[3532] = 'F';
    }
    SUBCASE("empty") { broken = ""; }

    Home home;
    home.Write("kovopt.ini", broken);
    Kovw kovw(processes, home);
    StartAndSettle(kovw);
    CHECK(FindTop("#32770", "", kovw.Pid()) == nullptr);
    CHECK(home.Read("kovopt.ini") == defaults);
}

// A configuration as an older or newer version left it: defaults with
// changed values in every field an upgrade may touch, and some it must not.
static std::string OldConfiguration(const std::string &defaults, const char *version)
{
    std::string old = defaults;
    memcpy(&old[0], version, 3);
    PutU32(old, 98, 0x08);                       // flags: only cursor-key scrolling
    PutU32(old, 106, 9);
    PutU32(old, 110, 2);
    PutU32(old, 114, 5);
    PutU32(old, 118, 999);
    PutU32(old, 182 + 7 * 184, 0x7001);          // Ctrl + right: close
    PutU32(old, 182 + 7 * 184 + 4, 0);
    old[182 + 7 * 184 + 8] = 3;                  // slot number stays
    old[182 + 7 * 184 + 10] = 7;                 // keys are reset
    PutU32(old, 70, 12);                         // left edge offset stays
    PutU32(old, 182 + 10 * 184, 0x7009);         // middle: minimize stays
    memset(&old[UserCommandOffset], 0, 128);
    memcpy(&old[UserCommandOffset], "C:\\old\\tool.exe", 15);
    return old;
}

static HWND AnswerUpdateQuestion(Kovw &kovw, int answer)
{
    HWND box = WaitMessageBox(UpdateTitle, kovw.Pid());
    REQUIRE(box);
    CHECK(MessageBoxText(box) == UpdateText);
    PressButton(box, answer);
    return box;
}

static void CheckUpgraded(const std::string &file)
{
    REQUIRE(file.size() == 3534);
    CHECK(file.substr(0, 6) == std::string("1.2\0\0\0", 6));
    CHECK(U32At(file, 98) == 0x59);
    CHECK(U32At(file, 106) == 4);
    CHECK(U32At(file, 110) == 6);
    CHECK((int)U32At(file, 114) == DisplayDpiY());
    CHECK(U32At(file, 118) == 60);
    CHECK(U32At(file, 182 + 7 * 184) == 0x700E);
    CHECK(U32At(file, 182 + 7 * 184 + 4) == 0xF00);
    CHECK(U16At(file, 182 + 7 * 184 + 8) == 3);
    CHECK(U16At(file, 182 + 7 * 184 + 10) == 2);
    CHECK(U32At(file, 70) == 12);
    CHECK(U32At(file, 182 + 10 * 184) == 0x7009);
    CHECK(CString(file, UserCommandOffset, 128) == EditorPath());
}

TEST_CASE("a configuration of version 1.1 is upgraded after asking about the history")
{
    Processes processes;
    const std::string old = OldConfiguration(DefaultOptionsFile(processes), "1.1");

    SUBCASE("No: upgraded without showing anything")
    {
        Home home;
        home.Write("kovopt.ini", old);
        Kovw kovw(processes, home);
        AnswerUpdateQuestion(kovw, IDNO);
        StartAndSettle(kovw);
        CheckUpgraded(home.Read("kovopt.ini"));
    }
    SUBCASE("Yes: the history opens in the text editor")
    {
        Home home;
        home.Write("kovopt.ini", old);
        Kovw kovw(processes, home);
        AnswerUpdateQuestion(kovw, IDYES);
        StartAndSettle(kovw);
        HWND editor = nullptr;
        CHECK(WaitFor([&] {
            editor = FindTop("Notepad", "");
            return editor && TextOf(editor).find("HISTORY") != std::string::npos;
        }));
        if (editor)
            PostMessageA(editor, WM_CLOSE, 0, 0);
        CheckUpgraded(home.Read("kovopt.ini"));
    }
    SUBCASE("Yes without a history document: a warning, then the upgrade")
    {
        Home home(false);
        home.Write("kovopt.ini", old);
        Kovw kovw(processes, home);
        AnswerUpdateQuestion(kovw, IDYES);
        HWND warning = WaitMessageBox("Kov Warning", kovw.Pid());
        REQUIRE(warning);
        CHECK(MessageBoxText(warning) == "Cannot find HISTORY.DOC file.");
        PressButton(warning, IDOK);
        StartAndSettle(kovw);
        CheckUpgraded(home.Read("kovopt.ini"));
    }
}

TEST_CASE("a configuration of a newer version is asked about but kept")
{
    Processes processes;
    const std::string newer = OldConfiguration(DefaultOptionsFile(processes), "1.3");
    Home home;
    home.Write("kovopt.ini", newer);
    Kovw kovw(processes, home);
    AnswerUpdateQuestion(kovw, IDNO);
    StartAndSettle(kovw);
    std::string expected = newer;
    expected[2] = '2';
    CHECK(home.Read("kovopt.ini") == expected);
}

TEST_CASE("a current configuration is loaded as it is and not rewritten")
{
    Processes processes;
    std::string current = OldConfiguration(DefaultOptionsFile(processes), "1.2");
    Home home;
    home.Write("kovopt.ini", current);
    home.Write("kovxcept.ini", "NOTEPAD.EXE\r\n");
    FILETIME old = AgeConfigurationFiles(home.Dir());

    Kovw kovw(processes, home);
    StartAndSettle(kovw);
    HookView view(home);
    CHECK(FindTop("#32770", "", kovw.Pid()) == nullptr);
    CHECK(memcmp(view.Options(), current.data(), current.size()) == 0);
    CHECK(home.Read("kovopt.ini") == current);
    for (const char *name : {"kovopt.ini", "kovxcept.ini"}) {
        FILETIME now = FileWriteTime(home.Path(name));
        CHECK(CompareFileTime(&now, &old) == 0);
    }
}

TEST_CASE("the exception file is read as the user wrote it")
{
    Processes processes;
    Home home;
    std::string names;
    SUBCASE("blank lines, blanks around names, a long name, no final line end")
    {
        home.Write("kovxcept.ini",
                   "\r\n  Notepad.exe  \r\n\r\n\tABCDEFGHIJKLMNOPQRSTUVWXY.EXE\nLAST.EXE");
        Kovw kovw(processes, home);
        StartAndSettle(kovw);
        HookView view(home);
        ExceptionList *list = view.Exceptions();
        REQUIRE(list->Count == 3);
        CHECK(std::string(list->Name[0]) == "Notepad.exe  ");
        CHECK(std::string(list->Name[1]) == "ABCDEFGHIJKLMNOPQRST");
        CHECK(std::string(list->Name[2]) == "LAST.EXE");
    }
    SUBCASE("45 names: the first 40")
    {
        std::string text;
        for (int i = 0; i < 45; i++)
            text += "PROGRAM" + std::to_string(100 + i) + ".EXE\r\n";
        home.Write("kovxcept.ini", text);
        Kovw kovw(processes, home);
        StartAndSettle(kovw);
        HookView view(home);
        REQUIRE(view.Exceptions()->Count == 40);
        CHECK(std::string(view.Exceptions()->Name[39]) == "PROGRAM139.EXE");
        CHECK(home.Read("kovxcept.ini") == text);
    }
    SUBCASE("only the first 840 bytes count: the last name may be a fragment")
    {
        std::string text;
        for (int i = 0; i < 45; i++)   // 22 bytes a line: 38 lines and 4 bytes fit
            text += "N" + std::to_string(10 + i) + "_ABCDEFGHIJKL.EXE\r\n";
        home.Write("kovxcept.ini", text);
        Kovw kovw(processes, home);
        StartAndSettle(kovw);
        HookView view(home);
        REQUIRE(view.Exceptions()->Count == 39);
        CHECK(std::string(view.Exceptions()->Name[37]) == "N47_ABCDEFGHIJKL.EXE");
        CHECK(std::string(view.Exceptions()->Name[38]) == "N48_");
    }
    SUBCASE("an empty file stays empty")
    {
        home.Write("kovxcept.ini", "");
        Kovw kovw(processes, home);
        StartAndSettle(kovw);
        HookView view(home);
        CHECK(view.Exceptions()->Count == 0);
        CHECK(home.Read("kovxcept.ini").empty());
    }
}
