// Settings files on a real machine: failed saves, held files, values out of range, long homes; both dialogs; versions.
#include "kt.h"

using namespace kt;

TEST_CASE("a failed save keeps the old files byte for byte and says so; a save writes them")
{
    Desk desk;
    const DWORD pid = desk.kovw.dwProcessId;
    const std::string widest = std::to_string(GetSystemMetrics(SM_CXSCREEN));
    using Texts = std::vector<std::string>;
    const Texts none, failed = {"Error: Cannot save options to file.", "Error: Cannot save exceptions to file."},
                      refused = {"Pels from edge of titlebar must be a number from 0 to " + widest +
                                 " (the screen width). Save cancelled."};
    enum { PLAIN, READ_ONLY, HELD, NO_TEMP };   // NO_TEMP: only the files themselves are writable
    const struct { int how; std::string offset; const char *names; const Texts &boxes; } rows[] = {
        {HELD, "4", "TWO.EXE", failed}, {NO_TEMP, "5", "SIX.EXE", none},
        {PLAIN, "-1", "TEN.EXE", refused}, {PLAIN, widest + "1", "TEN.EXE", refused},
        {PLAIN, widest, "TEN.EXE", none}, {READ_ONLY, "3", "ONE.EXE", failed}};
    for (const auto &row : rows) {
        CAPTURE(row.offset);
        const std::string options = desk.Read("kovopt.ini"), names = desk.Read("kovxcept.ini");
        std::vector<HANDLE> held;
        for (std::string file : {"kovopt", "kovxcept"}) {
            if (row.how == READ_ONLY)
                SetFileAttributesA(desk.Path(file + ".ini").c_str(), FILE_ATTRIBUTE_READONLY);
            if (row.how == HELD)
                held.push_back(CreateFileA(desk.Path(file + ".ini").c_str(), GENERIC_READ, 0, NULL,
                                           OPEN_EXISTING, 0, NULL));
            if (row.how == NO_TEMP)
                CreateDirectoryA(desk.Path(file + ".new").c_str(), NULL);
        }
        PostMessageA(desk.main, WM_COMMAND, IDM_OPTIONS, 0);
        HWND dialog = WaitBox("", pid);
        REQUIRE(dialog);
        SetDlgItemTextA(dialog, IDC_EDGEOFFSET, row.offset.c_str()), SetDlgItemTextA(dialog, IDC_XCEPTLIST, row.names);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        Texts boxes;
        const char *title = &row.boxes == &refused ? "Kov Warning" : "Save Kov Options";
        for (std::string text; boxes.size() < row.boxes.size() && !(text = Answer(title, pid)).empty();)
            boxes.push_back(text);
        CHECK(boxes == row.boxes);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);   // still open when the value was refused
        REQUIRE(WaitFor([&] { return !IsWindow(dialog); }));
        std::for_each(held.begin(), held.end(), CloseHandle);
        CHECK(desk.Read("kovopt.ini") ==
              (row.boxes.size() ? options : std::string((char *)desk.op, sizeof(OptionsRecord))));
        CHECK(desk.Read("kovxcept.ini") == (row.boxes.size() ? names : row.names + std::string("\r\n")));
        CHECK(GetFileAttributesA(desk.Path("kovopt.new").c_str()) ==   // no temporary file left
              (row.how == NO_TEMP ? FILE_ATTRIBUTE_DIRECTORY : INVALID_FILE_ATTRIBUTES));
        for (std::string file : {"kovopt", "kovxcept"})
            RemoveDirectoryA(desk.Path(file + ".new").c_str());
    }
}

TEST_CASE("settings files another program holds open are read, or else left alone")
{
    std::string options = Defaults();
    Put32(options, offsetof(OptionsRecord, Flags), 0x59);
    // An editor shares everything; sharing deletion only stops reading, not deleting.
    for (DWORD share : {FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_SHARE_DELETE}) {
        CAPTURE(share);
        Desk desk(options, "", false);
        desk.Write("kovxcept.ini", "MINE.EXE\r\n");
        std::vector<HANDLE> held;
        for (const char *name : {"kovopt.ini", "kovxcept.ini"})
            held.push_back(CreateFileA(desk.Path(name).c_str(), GENERIC_WRITE, share, NULL, OPEN_EXISTING, 0, NULL));
        REQUIRE(desk.StartKovw("/S"));
        CHECK(desk.op->Flags == (share & FILE_SHARE_READ ? 0x59u : 0x51u));   // read, or defaults
        CHECK(std::string(desk.xc->Name[0]) == (share & FILE_SHARE_READ ? "MINE.EXE" : "WINMSD.EXE"));
        CHECK(desk.CloseKovw() == 0);
        std::for_each(held.begin(), held.end(), CloseHandle);
        CHECK((desk.Read("kovopt.ini") == options && desk.Read("kovxcept.ini") == "MINE.EXE\r\n"));
    }
}

TEST_CASE("the About box and the options dialog open beside each other, once each")
{
    Desk desk;
    const DWORD pid = desk.kovw.dwProcessId;
    for (int first : {IDM_ABOUT, IDM_OPTIONS}) {
        CAPTURE(first);
        const int other = IDM_ABOUT + IDM_OPTIONS - first;
        for (int id : {first, other, first, other})
            PostMessageA(desk.main, WM_COMMAND, id, 0);
        // Handled after all of the above: the main window shows, or hides.
        const bool show = first == IDM_ABOUT;
        PostMessageA(desk.main, show ? KM_SHOWKOV : WM_SYSCOMMAND, ACTION_HIDE, 0);
        REQUIRE(WaitFor([&] { return (IsWindowVisible(desk.main) != FALSE) == show; }));
        CHECK((Tops("#32770", "About", pid).size() == 1 && Tops("#32770", "", pid).size() == 2));
        for (HWND dialog : Tops("#32770", "", pid))
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        REQUIRE(WaitFor([&] { return Tops("#32770", "", pid).empty(); }));
    }
}

TEST_CASE("edge offsets from a file are held to the screen; unknown action codes are none")
{
    std::string options = Defaults();
    Put32(options, offsetof(OptionsRecord, MouseAction[SLOT_MIDDLE].ActionId), 0x7777);
    const std::string wide = std::to_string(2 * GetSystemMetrics(SM_CXSCREEN));   // room to spare
    for (int32_t offset : {-339289161, 32768}) {
        CAPTURE(offset);
        Put32(options, offsetof(OptionsRecord, EdgeOffsetLeft), offset);
        Put32(options, offsetof(OptionsRecord, EdgeOffsetRight), offset);
        Desk desk(options);
        HWND frame = desk.Probe("--style 80CA0000 --rect 0,100," + wide + ",200");
        RECT g = Rect(desk.Group(frame)), f = Rect(frame);
        CHECK((g.left > f.left && g.right < f.right && g.right - g.left == 3 * GetSystemMetrics(SM_CXSIZE)));
        Click({50, f.top + 100}, 2);
        CHECK(WaitFor([&] { return Ask(frame, Q_MCLICKS) == 1; }));
        CHECK(desk.Read("kovopt.ini") == options);   // clamped in memory only
    }
}

TEST_CASE("kovw does not start from a home too long for its file names, and touches nothing")
{
    for (size_t length : {247, 248}) {   // "kovxcept.ini" 259 characters long, and 260
        CAPTURE(length);
        const bool refused = length == 248;
        Desk desk("", "", false);
        const std::string home = desk.home + std::string(length - desk.home.size() - 1, 'h') + "\\";
        REQUIRE(CreateDirectoryA(home.c_str(), NULL));
        for (const char *name : {KOVW, KOVHOOK})
            REQUIRE(CopyFileA((Programs() + name).c_str(), (home + name).c_str(), FALSE));
        PROCESS_INFORMATION kovw = desk.Run(home + KOVW, "/S");
        if (refused)
            CHECK(Answer("Kov Error", kovw.dwProcessId).find("too long") != std::string::npos);
        CHECK(WaitFor([&] { return WaitForSingleObject(kovw.hProcess, 0) == WAIT_OBJECT_0 ||
                                   Slurp(home + "kovxcept.ini").size(); }));
        CHECK(Slurp(home + "kovopt.ini").size() == (refused ? 0 : sizeof(OptionsRecord)));
    }
}

TEST_CASE("both binaries carry the version record of Kov 1.2")
{
    for (std::string path : {Programs() + KOVW, Programs() + KOVHOOK}) {
        CAPTURE(path);
        std::vector<char> data(GetFileVersionInfoSizeA(path.c_str(), NULL));
        VS_FIXEDFILEINFO *fixed = nullptr;
        char *product = nullptr;
        UINT n;
        REQUIRE((GetFileVersionInfoA(path.c_str(), 0, (DWORD)data.size(), data.data()) &&
                 VerQueryValueA(data.data(), "\\", (void **)&fixed, &n) &&
                 VerQueryValueA(data.data(), "\\StringFileInfo\\040904E4\\ProductName", (void **)&product, &n)));
        CHECK((fixed->dwFileVersionMS == 0x00010002 && fixed->dwProductVersionMS == 0x00010002 &&
               std::string(product) == "Kov"));
    }
}
