// The options dialog, driven as a user drives it: controls set, buttons
// pressed, message boxes read; and what it writes and changes.
#include <doctest.h>
#include "harness.h"

using namespace kt;

static const WPARAM IdmOptions = 104;
enum {
    StartShown = 311, StartMinimized = 310, AppearInTaskList = 312, SuspendOnLoad = 308,
    UserCommand = 430, Find = 263, EdgeOffset = 613, SnapStartMenu = 306, SnapFocus = 322,
    SnapButtonsOnly = 323, SnapNewOnly = 324, MiddleAction = 340, CtrlRightAction = 347,
    Exceptions = 701,
};

static std::string ExpectedTitle()
{
    return "Kov Options   (" + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" +
           std::to_string(GetSystemMetrics(SM_CYSCREEN)) + ", " +
           std::to_string(GetSystemMetrics(SM_CYSIZE)) + ":" +
           std::to_string(GetSystemMetrics(SM_CYBORDER)) + ")";
}

// Opens the dialog from kovw's menu bar and returns it.
static HWND OpenOptions(Desk &desk)
{
    PostMessageA(desk.kovw->MainWindow(), WM_COMMAND, IdmOptions, 0);
    HWND dialog = WaitMessageBox(ExpectedTitle(), desk.kovw->Pid());
    REQUIRE_MESSAGE(dialog, "no dialog titled " << ExpectedTitle());
    return dialog;
}

static void SetText(HWND dialog, int id, const std::string &text)
{
    DWORD_PTR result;
    REQUIRE(SendMessageTimeoutA(GetDlgItem(dialog, id), WM_SETTEXT, 0, (LPARAM)text.c_str(),
                                SMTO_ABORTIFHUNG, 5000, &result));
}

static std::string Narrow(const wchar_t *text)
{
    char narrow[2048] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof(narrow), NULL, NULL);
    return narrow;
}

// A control's text, asked of the control itself (the text of a window of
// another program is only its caption otherwise).
static std::string Text(HWND dialog, int id)
{
    wchar_t text[2048] = L"";
    DWORD_PTR result;
    SendMessageTimeoutW(GetDlgItem(dialog, id), WM_GETTEXT, 2048, (LPARAM)text, SMTO_ABORTIFHUNG,
                        5000, &result);
    return Narrow(text);
}

static std::string ComboItem(HWND combo, int i)
{
    wchar_t item[256] = L"";
    SendMessageW(combo, CB_GETLBTEXT, i, (LPARAM)item);
    return Narrow(item);
}

static bool IsChecked(HWND dialog, int id)
{
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Closes the dialog with OK and waits until it is gone.
static void PressOk(HWND dialog)
{
    PressButton(dialog, IDOK);
    REQUIRE(WaitFor([&] { return !IsWindow(dialog); }));
}

static FILETIME Stamp(const Home &home, const char *name)
{
    return FileWriteTime(home.Path(name));
}

static bool Same(FILETIME a, FILETIME b)
{
    return CompareFileTime(&a, &b) == 0;
}

TEST_CASE("the dialog shows the configuration as it stands")
{
    Desk desk;
    HWND dialog = OpenOptions(desk);
    CHECK(TextOf(dialog) == ExpectedTitle());
    // Kept to look at, once painted: the OK button shows its text.
    RECT ok = RectOf(GetDlgItem(dialog, IDOK));
    Screenshot shot;
    CHECK(WaitFor([&] {
        shot = CaptureScreen();
        COLORREF first = shot.At(ok.left + 4, (ok.top + ok.bottom) / 2);
        for (int x = ok.left + 4; x < ok.right - 4; x++)
            if (shot.At(x, (ok.top + ok.bottom) / 2) != first)
                return true;
        return false;
    }));
    shot.SaveBmp(ArtifactDir() + "options-dialog.bmp");
    CHECK(IsChecked(dialog, StartMinimized));
    CHECK_FALSE(IsChecked(dialog, StartShown));
    CHECK(IsChecked(dialog, AppearInTaskList));
    CHECK(Text(dialog, EdgeOffset) == "0");
    CHECK_FALSE(IsWindowEnabled(GetDlgItem(dialog, 490)));
    CHECK(Text(dialog, Exceptions) == "WINMSD.EXE\r\nRASMON.EXE\r\nLEGACY.EXE\r\nTMGMAINW.EXE\r\n");
    const char *captions[] = {"<No action>",    "Close window",         "Kov task list",
                              "Task list / Start menu", "Rollup window", "Scroll (line & page)",
                              "Maximize/Restore", "Minimize"};
    for (int list : {MiddleAction, CtrlRightAction}) {
        HWND combo = GetDlgItem(dialog, list);
        REQUIRE(SendMessageA(combo, CB_GETCOUNT, 0, 0) == 8);
        for (int i = 0; i < 8; i++)
            CHECK(ComboItem(combo, i) == captions[i]);
    }
    CHECK(SendDlgItemMessageA(dialog, MiddleAction, CB_GETCURSEL, 0, 0) == 5);   // scroll
    CHECK(SendDlgItemMessageA(dialog, CtrlRightAction, CB_GETCURSEL, 0, 0) == 2);   // task list
    PressButton(dialog, IDCANCEL);
    CHECK(WaitFor([&] { return !IsWindow(dialog); }));
}

TEST_CASE("OK writes exactly the files whose records changed")
{
    Desk desk;
    AgeConfigurationFiles(desk.home.Dir());
    const std::string optionsBefore = desk.home.Read("kovopt.ini");
    FILETIME opt = Stamp(desk.home, "kovopt.ini"), xcept = Stamp(desk.home, "kovxcept.ini");

    SUBCASE("no change: neither")
    {
        PressOk(OpenOptions(desk));
        CHECK(Same(Stamp(desk.home, "kovopt.ini"), opt));
        CHECK(Same(Stamp(desk.home, "kovxcept.ini"), xcept));
    }
    SUBCASE("Cancel after changes: neither")
    {
        HWND dialog = OpenOptions(desk);
        PressButton(dialog, SnapStartMenu);
        SetText(dialog, Exceptions, "OTHER.EXE\r\n");
        PressButton(dialog, IDCANCEL);
        REQUIRE(WaitFor([&] { return !IsWindow(dialog); }));
        CHECK(Same(Stamp(desk.home, "kovopt.ini"), opt));
        CHECK(Same(Stamp(desk.home, "kovxcept.ini"), xcept));
    }
    SUBCASE("a check box: only the options file, with only that bit different")
    {
        HWND dialog = OpenOptions(desk);
        PressButton(dialog, SnapStartMenu);
        PressOk(dialog);
        std::string after = desk.home.Read("kovopt.ini");
        REQUIRE(after.size() == optionsBefore.size());
        for (size_t i = 0; i < after.size(); i++) {
            CAPTURE(i);
            if (i == 98)
                CHECK((after[i] ^ optionsBefore[i]) == 0x01);
            else
                CHECK(after[i] == optionsBefore[i]);
        }
        CHECK(Same(Stamp(desk.home, "kovxcept.ini"), xcept));
        CHECK((desk.view->Options()->Flags & 0x01) == 0);
    }
    SUBCASE("the exception list: only its file, as typed within the limits")
    {
        HWND dialog = OpenOptions(desk);
        std::string text = "  Lead.exe  \r\n\r\nABCDEFGHIJKLMNOPQRSTUVWXYZ.EXE\r\n";
        for (int i = 0; i < 40; i++)
            text += "N" + std::to_string(i) + ".EXE\r\n";
        SetText(dialog, Exceptions, text);
        PressOk(dialog);
        CHECK(Same(Stamp(desk.home, "kovopt.ini"), opt));
        std::string expected = "Lead.exe  \r\nABCDEFGHIJKLMNOPQRST\r\n";
        for (int i = 0; i < 38; i++)
            expected += "N" + std::to_string(i) + ".EXE\r\n";
        CHECK(desk.home.Read("kovxcept.ini") == expected);
        CHECK(desk.view->Exceptions()->Count == 40);
    }
}

TEST_CASE("OK refuses a start-up that would leave no way back to kovw")
{
    Desk desk;
    HWND dialog = OpenOptions(desk);
    PressButton(dialog, SuspendOnLoad);
    PressButton(dialog, AppearInTaskList);   // now off; minimized is on
    PressButton(dialog, IDOK);
    HWND box = WaitMessageBox("Kov Warning", desk.kovw->Pid());
    REQUIRE(box);
    CHECK(MessageBoxText(box) ==
          "You will not be able to access Kov if you have Suspend and Hide on startup and "
          "Remove from tasklist. Save cancelled.");
    PressButton(box, IDOK);
    REQUIRE(WaitFor([&] { return !IsWindow(box); }));
    CHECK(IsWindow(dialog));
    CHECK(desk.view->Options()->SuspendOnLoad == 0);

    SUBCASE("appearing in the tasklist lets it through") { PressButton(dialog, AppearInTaskList); }
    SUBCASE("not suspending lets it through") { PressButton(dialog, SuspendOnLoad); }
    SUBCASE("showing at start lets it through") { PressButton(dialog, StartShown); }
    PressOk(dialog);
    CHECK(FindTop("#32770", "Kov Warning", desk.kovw->Pid()) == nullptr);
}

TEST_CASE("the user command is checked and stored as typed")
{
    Desk desk;
    std::string program = desk.home.Path("kovw.exe");
    SUBCASE("a program that is not there is refused")
    {
        HWND dialog = OpenOptions(desk);
        SetText(dialog, UserCommand, "C:\\nowhere\\missing.exe some.txt");
        PressButton(dialog, IDOK);
        HWND box = WaitMessageBox("Kov Warning", desk.kovw->Pid());
        REQUIRE(box);
        CHECK(MessageBoxText(box) ==
              "User command not found. Leave blank to disable. Save cancelled.");
        PressButton(box, IDOK);
        REQUIRE(WaitFor([&] { return !IsWindow(box); }));
        CHECK(IsWindow(dialog));
        PressButton(dialog, IDCANCEL);
    }
    SUBCASE("an existing program with arguments is kept with the arguments")
    {
        HWND dialog = OpenOptions(desk);
        std::string line = program + " /NM  with two";
        SetText(dialog, UserCommand, line);
        PressOk(dialog);
        CHECK(std::string(desk.view->Options()->TitleButton[0].Command) == line);
        HWND frame = desk.Frame("--title WithCommand");
        HWND group = WaitGroup(*desk.view, frame);
        REQUIRE(group);
        CHECK(ButtonsOf(group).size() == 4);
    }
    SUBCASE("an empty command is accepted and new windows get no user-command button")
    {
        strcpy(desk.view->Options()->TitleButton[0].Command, program.c_str());
        HWND dialog = OpenOptions(desk);
        SetText(dialog, UserCommand, "");
        PressOk(dialog);
        CHECK(desk.view->Options()->TitleButton[0].Command[0] == 0);
        HWND frame = desk.Frame("--title WithoutCommand");
        HWND group = WaitGroup(*desk.view, frame);
        REQUIRE(group);
        CHECK(ButtonsOf(group).size() == 3);
    }
    SUBCASE("Find puts the chosen file's path alone into the field")
    {
        HWND dialog = OpenOptions(desk);
        SetText(dialog, UserCommand, "oldprogram.exe --with arguments");
        PostMessageA(dialog, WM_COMMAND, Find, 0);
        HWND open = WaitMessageBox("Select User Command", desk.kovw->Pid());
        REQUIRE(open);
        // The file-name field: a combo box in the newer dialog, an edit in the older.
        SetText(open, GetDlgItem(open, 1148) ? 1148 : 1152, program);
        PressButton(open, IDOK);
        REQUIRE(WaitFor([&] { return !IsWindow(open); }));
        CHECK(_stricmp(Text(dialog, UserCommand).c_str(), program.c_str()) == 0);
        PressButton(dialog, IDCANCEL);
    }
}

TEST_CASE("snapping to the focus window greys out its two sub-options, whose bits are kept")
{
    Desk desk;
    HWND dialog = OpenOptions(desk);
    REQUIRE(IsWindowEnabled(GetDlgItem(dialog, SnapButtonsOnly)));
    PressButton(dialog, SnapButtonsOnly);   // on
    PressButton(dialog, SnapFocus);         // off
    CHECK(WaitFor([&] {
        return !IsWindowEnabled(GetDlgItem(dialog, SnapButtonsOnly)) &&
               !IsWindowEnabled(GetDlgItem(dialog, SnapNewOnly));
    }));
    CHECK(IsChecked(dialog, SnapButtonsOnly));
    CHECK(IsChecked(dialog, SnapNewOnly));
    PressOk(dialog);
    uint32_t flags = desk.view->Options()->Flags;
    CHECK((flags & 0x10) == 0);
    CHECK((flags & 0x20) != 0);
    CHECK((flags & 0x40) != 0);
}

TEST_CASE("another action for the middle button changes what a middle click does at once")
{
    Desk desk;
    HWND frame = desk.Frame("--title Target --rect 300,200,400,300");
    REQUIRE(WaitGroup(*desk.view, frame));
    HWND dialog = OpenOptions(desk);
    SendDlgItemMessageA(dialog, MiddleAction, CB_SETCURSEL, 1, 0);   // close window
    PressOk(dialog);
    CHECK(desk.view->Options()->MouseAction[10].ActionId == 0x7001);
    CHECK(desk.view->Options()->MouseAction[10].ActionFlags == 0xF00);
    RECT r = RectOf(frame);
    DisplayClick({(r.left + r.right) / 2, (r.top + r.bottom) / 2}, 2);
    CHECK(WaitFor([&] { return !IsWindow(frame); }));
}

TEST_CASE("kovw exports its options dialog procedure by name")
{
    Home home;
    HMODULE exe = LoadLibraryExA(home.Path("kovw.exe").c_str(), NULL, DONT_RESOLVE_DLL_REFERENCES);
    REQUIRE(exe);
    CHECK((void *)GetProcAddress(exe, "OptionsDlgBoxProc") != nullptr);
    FreeLibrary(exe);
}
