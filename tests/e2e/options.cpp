// The options dialog, driven as a user drives it, and what it writes.
#include "kt.h"

using namespace kt;

static HWND Open(Desk &desk)
{
    PostMessageA(desk.main, WM_COMMAND, IDM_OPTIONS, 0);
    auto m = [](int metric) { return std::to_string(GetSystemMetrics(metric)); };
    std::string title = "Kov Options   (" + m(SM_CXSCREEN) + "x" + m(SM_CYSCREEN) + ", " + m(SM_CYSIZE) + ":" +
                        m(SM_CYBORDER) + ")";
    HWND dialog = WaitBox(title, desk.kovw.dwProcessId);
    REQUIRE_MESSAGE(dialog, "no dialog titled " << title);
    // Both files are marked, so that a save shows.
    desk.Write("kovopt.ini", "untouched"), desk.Write("kovxcept.ini", "untouched");
    return dialog;
}

static bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

static void Close(HWND dialog, int id) { Press(dialog, id); REQUIRE(WaitFor([&] { return !IsWindow(dialog); })); }

// Refused with a warning: the dialog stays open.
static bool Refused(Desk &desk, HWND dialog, const std::string &text)
{
    Press(dialog, IDOK);
    CHECK(Answer("Kov Warning", desk.kovw.dwProcessId) == text);
    return IsWindow(dialog) != FALSE;
}

TEST_CASE("the dialog shows the configuration; OK writes exactly what changed, or refuses")
{
    Desk desk;
    HWND dialog = Open(desk);
    CHECK((Checked(dialog, IDC_STARTMINIMIZED) && !Checked(dialog, IDC_STARTSHOWN) &&
           Checked(dialog, IDC_APPEARINTASKLIST)));
    char text[1024];
    CHECK(std::string(text, GetDlgItemTextA(dialog, IDC_EDGEOFFSET, text, sizeof(text))) == "0");
    CHECK(std::string(text, GetDlgItemTextA(dialog, IDC_XCEPTLIST, text, sizeof(text))) ==
          "WINMSD.EXE\r\nRASMON.EXE\r\nLEGACY.EXE\r\nTMGMAINW.EXE\r\n");
    // The eight actions; scroll and the task list chosen.
    for (int list : {IDC_MIDDLEACTION, IDC_CTRLRIGHTACTION})
        CHECK((SendDlgItemMessageA(dialog, list, CB_GETCOUNT, 0, 0) == 8 &&
               SendDlgItemMessageA(dialog, list, CB_GETCURSEL, 0, 0) == (list == IDC_MIDDLEACTION ? 5 : 2)));
    const std::string before = Defaults();
    // No change, or Cancel after changes: nothing is written.
    Close(dialog, IDOK);
    dialog = Open(desk);
    Press(dialog, IDC_SNAPSTARTMENU), Close(dialog, IDCANCEL);
    CHECK((desk.Read("kovopt.ini") == "untouched" && desk.Read("kovxcept.ini") == "untouched"));
    // A check box: only the options file, one bit different.
    dialog = Open(desk);
    Press(dialog, IDC_SNAPSTARTMENU), Close(dialog, IDOK);
    std::string after = desk.Read("kovopt.ini");
    REQUIRE(after.size() == before.size());
    CHECK(U32(after, offsetof(OptionsRecord, Flags)) == (U32(before, offsetof(OptionsRecord, Flags)) ^ 1));
    Put32(after, offsetof(OptionsRecord, Flags), U32(before, offsetof(OptionsRecord, Flags)));
    CHECK((after == before && desk.Read("kovxcept.ini") == "untouched"));
    // The exception list, as typed within its limits: only its file.
    dialog = Open(desk);
    std::string lines = "  ONE.EXE\r\n\r\nABCDEFGHIJKLMNOPQRSTUVWXY\r\n";
    for (int i = 0; i < 40; i++)
        lines += "N" + std::to_string(i) + "\r\n";
    SetDlgItemTextA(dialog, IDC_XCEPTLIST, lines.c_str()), Close(dialog, IDOK);
    const size_t n0 = lines.find("N0"), n38 = lines.find("N38");   // 40 names fit, N38 and N39 not
    CHECK((desk.Read("kovxcept.ini") == "ONE.EXE\r\nABCDEFGHIJKLMNOPQRST\r\n" + lines.substr(n0, n38 - n0) &&
           desk.Read("kovopt.ini") == "untouched"));
    // A user command must exist; it is stored as typed.
    dialog = Open(desk);
    SetDlgItemTextA(dialog, IDC_USERCMD, "C:\\nowhere\\missing.exe");
    CHECK(Refused(desk, dialog, "User command not found. Leave blank to disable. Save cancelled."));
    std::string command = Bin() + "probe.exe  --title X";
    SetDlgItemTextA(dialog, IDC_USERCMD, command.c_str()), Close(dialog, IDOK);
    CHECK(std::string(UserCommandOf(desk.op)) == command);
}

TEST_CASE("OK refuses a start-up that would leave no way back to kovw")
{
    for (int way : {IDC_APPEARINTASKLIST, IDC_SUSPENDONLOAD, IDC_STARTSHOWN}) {
        Desk desk;
        HWND dialog = Open(desk);
        Press(dialog, IDC_SUSPENDONLOAD), Press(dialog, IDC_APPEARINTASKLIST);
        CHECK(Refused(desk, dialog, "You will not be able to access Kov if you have Suspend and "
                                    "Hide on startup and Remove from tasklist. Save cancelled."));
        Press(dialog, way), Close(dialog, IDOK);
    }
}

TEST_CASE("snapping to the focus window greys out its two sub-options, whose bits are kept")
{
    Desk desk("");   // kovw's own defaults: snapping on
    HWND dialog = Open(desk);
    Press(dialog, IDC_SNAPNEWONLY), Press(dialog, IDC_SNAPFOCUS);   // the first one off
    CHECK((!IsWindowEnabled(GetDlgItem(dialog, IDC_SNAPBUTTONSONLY)) &&
           !IsWindowEnabled(GetDlgItem(dialog, IDC_SNAPNEWONLY))));
    Close(dialog, IDOK);
    CHECK((desk.op->Flags & 0x70) == 0x00);
    dialog = Open(desk);
    Press(dialog, IDC_SNAPFOCUS), Press(dialog, IDC_SNAPNEWONLY);
    CHECK(IsWindowEnabled(GetDlgItem(dialog, IDC_SNAPNEWONLY)));
    Close(dialog, IDOK);
    CHECK((desk.op->Flags & 0x70) == 0x50);
}
