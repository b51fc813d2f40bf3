// kovw's pure logic: the command line, the exception file's parser, the default user command.
#include <doctest.h>
#include "controller/kovw.h"

#include <shellapi.h>
#include <string.h>
#include <string>
#include <vector>

static const std::string Usage =
    " \nValid Options:\n /NM\t- no minimize on start\n /S\t- suspend on start\n /Pnn\t- pause nn seconds on load";

TEST_CASE("the command line")
{
    // minimize before: 1 hidden, 2 hidden without a tray icon; quote: what the message quotes
    struct Row { const char *line; int minimize, shown, suspend, debug, pause; const char *quote = nullptr; };
    const Row rows[] = {
        {"kovw.exe", 1, 0, 0, 0, 0}, {"-NM", 1, 1, 0, 0, 0}, {"/S/NM", 1, 1, 1, 0, 0}, {"/SNM", 1, 1, 1, 0, 0},
        {"S", 1, 0, 0, 0, 0},   // nothing counts before a separator
        {"/S", 2, 0, 0, 0, 0}, {"/NM /S", 2, 1, 1, 0, 0}, {"/S /NM", 2, 1, 0, 0, 0}, {"/P5 /S", 1, 0, 0, 0, 5},
        {"/P-3", 1, 0, 0, 0, 0}, {"/P99999999999", 1, 0, 0, 0, PAUSE_MAX_SECONDS}, {"/D12S", 1, 0, 1, 12, 0},
        {"/X", 1, 0, 0, 0, 0, "/X"}, {"/X /S", 1, 0, 1, 0, 0, "/X /S"}, {"/N /S", 1, 0, 1, 0, 0, "/N /S"},
        {"/S -Q9 /NM", 1, 1, 1, 0, 0, "-Q9 /NM"}};
    for (const Row &row : rows) {
        CAPTURE(row.line);
        StartupArgs args = {row.minimize, 0, 0, 0};
        char message[ARGS_MESSAGE_SIZE];
        CHECK(ScanArgs(row.line, &args, message, sizeof(message)) == (row.quote != nullptr));
        CHECK(((args.Minimize == STARTUP_SHOWN) == (row.shown != 0) && args.Suspend == row.suspend &&
               args.DebugLevel == row.debug && args.PauseSeconds == row.pause));
        if (row.quote)
            CHECK(message == "Option: " + std::string(row.quote) + Usage);
    }
    // A line too long for the message is cut; the usage text stays whole.
    std::string line = "/" + std::string(399, 'x');
    StartupArgs args = {1, 0, 0, 0};
    char message[ARGS_MESSAGE_SIZE];
    CHECK(ScanArgs(line.c_str(), &args, message, sizeof(message)) == 1);
    CHECK(strlen(message) == ARGS_MESSAGE_SIZE - 1);
    CHECK(std::string(message).find("..." + Usage.substr(1)) != std::string::npos);
}

TEST_CASE("the exception file")
{
    struct Row { std::string bytes; std::vector<std::string> names; };
    std::string many;
    std::vector<std::string> first40;
    for (int i = 0; i < 45; i++)
        many += "P" + std::to_string(i) + "\r\n", first40.push_back("P" + std::to_string(i));
    first40.resize(40);
    const Row rows[] = {
        {"  Two Blanks  \r\nNOTEPAD.EXE", {"Two Blanks  ", "NOTEPAD.EXE"}},
        {"\r\n\r\n\tA\nB\rC\r\n\r\n", {"A", "B", "C"}},
        {"ABCDEFGHIJKLMNOPQRSTUVWXY\r\n", {"ABCDEFGHIJKLMNOPQRST"}}, {"", {}}, {many, first40}};
    for (const Row &row : rows) {
        CAPTURE(row.bytes);
        struct { ExceptionList list; char after[8]; } guarded;
        memset(&guarded, 0xCC, sizeof(guarded)), guarded.list.Count = 0;
        ParseXceptions(row.bytes.data(), (int)row.bytes.size(), &guarded.list);
        REQUIRE(guarded.list.Count == (int)row.names.size());
        for (size_t i = 0; i < row.names.size(); i++)
            CHECK(std::string(guarded.list.Name[i], XCEPT_NAME_SIZE) ==
                  row.names[i] + std::string(XCEPT_NAME_SIZE - row.names[i].size(), 0));
        CHECK(guarded.after[7] == (char)0xCC);
    }
}

TEST_CASE("the default user command: the editor, and USERCMD.TXT when it fits")
{
    char windows[MAX_PATH], found[MAX_PATH] = "", temp[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    REQUIRE((INT_PTR)FindExecutableA("NOTEPAD.EXE", windows, found) > 32);
    const std::string editor = found, dir = (GetTempPathA(MAX_PATH, temp), temp);
    // Homes that make the whole command exactly 127 characters, and 128.
    const size_t exact = 127 - editor.size() - 1 - strlen("USERCMD.TXT");
    for (size_t extra : {0, 1}) {
        std::string home = dir + std::string(exact - dir.size() - 1 + extra, 'h') + "\\";
        REQUIRE(CreateDirectoryA(home.c_str(), NULL));
        strcpy(HomePath, home.c_str());
        OptionsRecord record;
        SetDefaultUserCmd(&record);
        CHECK(std::string(UserCommandOf(&record)) == editor);
        CloseHandle(CreateFileA((home + "USERCMD.TXT").c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL));
        SetDefaultUserCmd(&record);
        CAPTURE(extra);
        CHECK(std::string(UserCommandOf(&record)) == (extra ? editor : editor + " " + home + "USERCMD.TXT"));
    }
}

// As Windows 95 answers.
static BOOL WINAPI NoReplacingRename(LPCSTR, LPCSTR, DWORD) { return SetLastError(ERROR_CALL_NOT_IMPLEMENTED), FALSE; }
static BOOL WINAPI FailingRename(LPCSTR, LPCSTR) { return SetLastError(ERROR_ACCESS_DENIED), FALSE; }

TEST_CASE("a save cut off where Windows 95 renames keeps the new file, which the next start takes")
{
    char temp[MAX_PATH];
    std::string home = std::string(temp, GetTempPathA(sizeof(temp), temp)) + "kov95\\";
    CreateDirectoryA(home.c_str(), NULL);
    strcpy(szOptIniName, (home + "kovopt.ini").c_str()), strcpy(szXceptIniName, (home + "kovxcept.ini").c_str());
    OptionsRecord saved;
    SetDefaultOptions(&saved), saved.ScrollPages = 9;
    const std::pair<const char *, std::string> files[] = {
        {szOptIniName, std::string((const char *)&saved, sizeof(saved))}, {szXceptIniName, "ONE.EXE\r\n"}};
    MoveFileExCS = NoReplacingRename, MoveFileCS = FailingRename;
    for (const auto &[path, bytes] : files) {
        FILE *old = fopen(path, "wb");
        fputs("old", old), fclose(old);
        CHECK(WriteWholeFile(path, bytes.data(), (DWORD)bytes.size()) == -1);
        CHECK(GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES);   // only the new one is left
    }
    MoveFileExCS = MoveFileExA, MoveFileCS = MoveFileA;
    InitializeOptions();
    CHECK((Opt->ScrollPages == 9 && std::string(Xcept->Name[0]) == "ONE.EXE"));
    for (const auto &[path, bytes] : files) {
        char kept[4000] = "";
        FILE *file = fopen(path, "rb");
        REQUIRE(file);
        CHECK(std::string(kept, fread(kept, 1, sizeof(kept), file)) == bytes);
        fclose(file);
    }
}
