// Start-up: the configuration files as kovw finds them, the version upgrade, a second start and the Recent clean-up.
#include "kt.h"

#include <sddl.h>

using namespace kt;

static const std::string DefaultXcept = "WINMSD.EXE\r\nRASMON.EXE\r\nLEGACY.EXE\r\nTMGMAINW.EXE\r\n";

// First in this program: once a Kov ran, the shell holds the record.
TEST_CASE("the record or the lock of Kov's name made first by another user's program: kovw says so and ends")
{
    const std::string options = Defaults();
    PSECURITY_DESCRIPTOR foreign = NULL;   // the system's, open to everyone
    REQUIRE(ConvertStringSecurityDescriptorToSecurityDescriptorA("O:SYD:(A;;GA;;;WD)", SDDL_REVISION_1, &foreign, NULL));
    SECURITY_ATTRIBUTES sa = {sizeof(sa), foreign, FALSE};
    for (bool lock : {false, true}) {
        CAPTURE(lock);
        Desk desk(options, "", false);
        char name[KOV_SHARED_NAME_SIZE];
        auto objectName = (int(WINAPI *)(char *, int, const char *, BOOL))desk.Proc("KovObjectName");
        objectName(name, sizeof(name), lock ? KOV_INSTANCE_NAME : KOV_SHARED_NAME, !lock);
        HANDLE squat = lock ? CreateMutexA(&sa, FALSE, name)
                            : CreateFileMappingA(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0, sizeof(KovShared), name);
        REQUIRE((squat && GetLastError() != ERROR_ALREADY_EXISTS));
        desk.StartKovw("", false);
        std::string said = Answer("Kov Error", desk.kovw.dwProcessId);
        CHECK_MESSAGE(said.find("Another user's program holds") == 0, said);
        CHECK(desk.CloseKovw(false) == 1);
        CloseHandle(squat);
    }
    LocalFree(foreign);
}

TEST_CASE("the files: made when missing, kept when valid, replaced when broken, silently")
{
    const std::string valid = Defaults();
    std::string marker = valid, kept = valid;
    marker[3532] = 'x';
    Put32(kept, offsetof(OptionsRecord, ScrollPages), 9);
    const struct { std::string options; const char *xcept; } rows[] = {   // empty, null: no file
        {"", nullptr}, {valid.substr(0, 3533), ""}, {valid + "X", ""}, {marker, ""}, {kept, "  ONE.EXE  \r\n\r\nTWO"}};
    std::string fresh;
    for (const auto &row : rows) {
        Desk desk(row.options, "", false);
        if (row.xcept)
            desk.Write("kovxcept.ini", row.xcept);
        REQUIRE(desk.StartKovw());
        CHECK_FALSE(WaitTop("#32770", "", desk.kovw.dwProcessId, 0));
        std::string written = desk.Read("kovopt.ini");
        fresh = fresh.empty() ? written : fresh;
        CHECK((written.size() == sizeof(OptionsRecord) && written == (row.options == kept ? kept : fresh)));
        CHECK((desk.Read("kovxcept.ini") == (row.xcept ? row.xcept : DefaultXcept) &&
               desk.xc->Count == (row.xcept ? (*row.xcept ? 2 : 0) : 4)));
    }
}

TEST_CASE("another version is asked about, upgraded when older, and saved as 1.2")
{
    const struct { const char *version; int answer; } rows[] = {{"1.1", IDNO}, {"1.1", IDYES}, {"1.3", IDNO}};
    for (const auto &row : rows) {
        CAPTURE(std::string(row.version));
        std::string old = Defaults();
        memcpy(&old[0], row.version, 3);
        Put32(old, offsetof(OptionsRecord, Flags), 0x02), Put32(old, offsetof(OptionsRecord, ScrollPages), 9);
        Put32(old, offsetof(OptionsRecord, MouseAction[SLOT_CTRL_RIGHT]), 0x7000);
        Desk desk(old, "", false);
        desk.StartKovw("", false);
        CHECK(Answer("Kov Update Configuration", desk.kovw.dwProcessId, row.answer) ==
              "Your previous configuration will be preserved.\nView new changes (history.doc) with Notepad?");
        if (row.answer == IDYES) {
            HWND editor = WaitTop("Notepad");
            CHECK(WaitFor([&] { return strstr(CharUpperA(&Text(editor)[0]), "HISTORY.DOC"); }));
            PostMessageA(editor, WM_CLOSE, 0, 0);
        }
        REQUIRE(desk.Settle());
        std::string saved = desk.Read("kovopt.ini");
        bool older = row.version[2] == '1';
        CHECK(saved.substr(0, 4) == std::string("1.2\0", 4));
        CHECK((U32(saved, offsetof(OptionsRecord, Flags)) == (older ? 0x53u : 0x02u) &&
               U32(saved, offsetof(OptionsRecord, ScrollPages)) == (older ? 6u : 9u)));
        CHECK(U32(saved, offsetof(OptionsRecord, MouseAction[SLOT_CTRL_RIGHT])) == (older ? 0x700Eu : 0x7000u));
    }
}

TEST_CASE("a second start shows the first and ends")
{
    Desk desk;
    REQUIRE_FALSE(IsWindowVisible(desk.main));
    CHECK(ExitCode(desk.Run(desk.Path(KOVW), "").hProcess, 10000) == 0);
    CHECK(WaitFor([&] { return IsWindowVisible(desk.main) && GetForegroundWindow() == desk.main; }));
}

TEST_CASE("a second start while the first is still starting ends, and leaves one Kov")
{
    std::string old = Defaults();
    memcpy(&old[0], "1.1", 3);   // the first asks about its configuration before it has a window
    Desk desk(old, "", false);
    desk.StartKovw("", false);
    REQUIRE(WaitTop("#32770", "Kov Update Configuration", desk.kovw.dwProcessId));
    CHECK(ExitCode(desk.Run(desk.Path(KOVW), "").hProcess, 10000) == 0);
    CHECK_FALSE(Answer("Kov Update Configuration", desk.kovw.dwProcessId, IDNO).empty());
    REQUIRE(desk.Settle());
    CHECK(Tops(KOV_MAIN_CLASS).size() == 1);
}

TEST_CASE("removing recent documents deletes only the shortcuts in the Recent folder")
{
    char windows[MAX_PATH];
    std::string recent = std::string(windows, GetWindowsDirectoryA(windows, MAX_PATH)) + "\\Recent\\";
    CreateDirectoryA(recent.c_str(), NULL), CreateDirectoryA((recent + "sub.lnk").c_str(), NULL);
    const std::pair<const char *, bool> files[] = {
        {"a.lnk", true}, {"B.LNK", true}, {"c.txt", false}, {"sub.lnk\\d.lnk", false}};
    for (const auto &file : files)
        Spit(recent + file.first, "x");
    std::string options = Defaults();
    Put32(options, offsetof(OptionsRecord, Flags), 0x51 | 0x02);
    Desk desk(options);
    for (const auto &file : files)
        CHECK((GetFileAttributesA((recent + file.first).c_str()) == INVALID_FILE_ATTRIBUTES) ==
              file.second);
}

// Runs what on desktop B, from a thread of its own there: a thread that owns no window may move.
static const std::function<bool()> *OnB;
static DWORD WINAPI RunOnB(void *)
{
    HDESK b = NULL;
    return WaitFor([&] { return (b = OpenDesktopA("B", 0, FALSE, GENERIC_ALL)) != NULL; }, 10000) &&
           SetThreadDesktop(b) && (*OnB)();
}
static bool OnDesktopB(const std::function<bool()> &what)
{
    HANDLE thread = (OnB = &what, CreateThread(NULL, 0, RunOnB, NULL, 0, NULL));
    DWORD done = 0;
    return WaitForSingleObject(thread, 40000) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &done) && done;
}

TEST_CASE("Kovs on two desktops dress their own, and one closed leaves the other's frames dressed")
{
    Desk desk;
    HWND here = desk.Probe();
    REQUIRE(desk.Group(here));
    desk.Run(Bin() + "probe.exe", "--title There", "", "B");
    desk.Run(desk.Path(KOVW), "", desk.home, "B");
    auto dressed = [] {   // the probe there has a group shown (kovw's own window may have one too)
        HWND probe = FindWindowA("KovProbe", "There"), group = NULL;
        while (probe && (group = FindWindowExA(NULL, group, KOV_BUTTONS_CLASS, NULL)) &&
               !(GetWindow(group, GW_OWNER) == probe && IsWindowVisible(group))) {}
        return group != NULL;
    };
    CHECK(OnDesktopB([&] { return WaitFor(dressed); }));
    CHECK((desk.CloseKovw() == 0 && WaitFor([&] { return !GroupsOf(here).size(); })));
    CHECK(OnDesktopB([&] { return !WaitFor([&] { return !dressed(); }, 1000); }));
}

TEST_CASE("a desktop-wide record of another layout under Kov's name: kovw says so and ends; "
          "the record of an earlier layout, still held by programs, does not hold up an upgrade")
{
    char desktop[64] = "";
    DWORD n;
    GetUserObjectInformationA(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, desktop, 63, &n);
    const std::string options = Defaults();
    // The version in the record's name (none: the releases before), the version and size in its head (a size 8
    // bytes off). First the upgrade: what a refused record leaves mapped in this process would be found again.
    const std::string ours = std::to_string(KOV_SHARED_VERSION);
    const struct { std::string named; uint32_t version; bool sized, refused; } rows[] = {
        {"", 1, true, false}, {ours, KOV_SHARED_VERSION + 1, true, true}, {ours, KOV_SHARED_VERSION, false, true}};
    for (const auto &row : rows) {
        INFO("named " << row.named << ", version " << row.version);
        std::string name = "Local\\" KOV_SHARED_NAME + row.named + "-" + desktop;
        HANDLE other = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(KovShared) + 8,
                                          name.c_str());
        uint32_t *head = (uint32_t *)MapViewOfFile(other, FILE_MAP_ALL_ACCESS, 0, 0, 8);
        head[0] = row.version, head[1] = sizeof(KovShared) + 8 * !row.sized;
        Desk desk(options, "", false);
        if (row.refused) {
            desk.StartKovw("", false);
            CHECK(Answer("Kov Error", desk.kovw.dwProcessId) ==
                  "Another version of Kov is running on this desktop. Close it, then start this one again.");
            CHECK(desk.CloseKovw(false) == 1);
        } else {
            REQUIRE(desk.StartKovw());
            CHECK(desk.Group(desk.Probe()));
        }
        UnmapViewOfFile(head), CloseHandle(other);
    }
}
