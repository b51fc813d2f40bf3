// kovw's pure logic: the command line, the exception file's parser, the
// default user command.
#include <doctest.h>
#include "controller/kovw.h"

#include <shellapi.h>
#include <string.h>
#include <string>
#include <vector>

static const std::string Usage =
    " \nValid Options:\n /NM\t- no minimize on start\n /S\t- suspend on start\n"
    " /Pnn\t- pause nn seconds on load";

TEST_CASE("the command line")
{
    // minimize before: 1 hidden, 2 hidden without a tray icon; quote: what the message quotes
    struct Row { const char *line; int minimize, shown, suspend, debug, pause; const char *quote; };
    const Row rows[] = {
        {"kovw.exe", 1, 0, 0, 0, 0, nullptr}, {"-NM", 1, 1, 0, 0, 0, nullptr},
        {"/S/NM", 1, 1, 1, 0, 0, nullptr}, {"/SNM", 1, 1, 1, 0, 0, nullptr},
        {"S", 1, 0, 0, 0, 0, nullptr},   // nothing counts before a separator
        {"/S", 2, 0, 0, 0, 0, nullptr}, {"/NM /S", 2, 1, 1, 0, 0, nullptr},
        {"/S /NM", 2, 1, 0, 0, 0, nullptr}, {"/P5 /S", 1, 0, 0, 0, 5, nullptr},
        {"/P-3", 1, 0, 0, 0, 0, nullptr}, {"/P99999999999", 1, 0, 0, 0, PAUSE_MAX_SECONDS, nullptr},
        {"/D12S", 1, 0, 1, 12, 0, nullptr}, {"/X", 1, 0, 0, 0, 0, "/X"},
        {"/X /S", 1, 0, 1, 0, 0, "/X /S"}, {"/N /S", 1, 0, 1, 0, 0, "/N /S"},
        {"/S -Q9 /NM", 1, 1, 1, 0, 0, "-Q9 /NM"},
    };
    for (const Row &row : rows) {
        CAPTURE(row.line);
        StartupArgs args = {row.minimize, 0, 0, 0};
        char message[ARGS_MESSAGE_SIZE];
        CHECK(ScanArgs(row.line, &args, message, sizeof(message)) == (row.quote != nullptr));
        CHECK((args.Minimize == STARTUP_SHOWN) == (row.shown != 0));
        CHECK((args.Suspend == row.suspend && args.DebugLevel == row.debug &&
               args.PauseSeconds == row.pause));
        if (row.quote)
            CHECK(message == "Option: " + std::string(row.quote) + Usage);
    }
    // A line too long for the message is cut; the usage text stays whole.
    std::string line(400, 'x');
    line[0] = '/';
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
    for (int i = 0; i < 45; i++)
        many += "P" + std::to_string(i) + "\r\n";
    std::vector<std::string> first40;
    for (int i = 0; i < 40; i++)
        first40.push_back("P" + std::to_string(i));
    const Row rows[] = {
        {"  Two Blanks  \r\nNOTEPAD.EXE", {"Two Blanks  ", "NOTEPAD.EXE"}},
        {"\r\n\r\n\tA\nB\rC\r\n\r\n", {"A", "B", "C"}},
        {"ABCDEFGHIJKLMNOPQRSTUVWXY\r\n", {"ABCDEFGHIJKLMNOPQRST"}},
        {"", {}},
        {many, first40},
    };
    for (const Row &row : rows) {
        CAPTURE(row.bytes);
        struct { ExceptionList list; char after[8]; } guarded;
        memset(&guarded, 0xCC, sizeof(guarded));
        guarded.list.Count = 0;
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
        CloseHandle(CreateFileA((home + "USERCMD.TXT").c_str(), GENERIC_WRITE, 0, NULL,
                                CREATE_NEW, 0, NULL));
        SetDefaultUserCmd(&record);
        CAPTURE(extra);
        CHECK(std::string(UserCommandOf(&record)) ==
              (extra ? editor : editor + " " + home + "USERCMD.TXT"));
    }
}
