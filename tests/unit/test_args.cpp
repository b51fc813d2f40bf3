// kovw's command line: which options change what, and the message for the
// user when something on the line is not an option.
#include <doctest.h>
#include "controller/kovw.h"

#include <limits.h>
#include <string.h>
#include <string>

namespace {

const std::string Usage =
    "\nValid Options:\n /NM\t- no minimize on start\n /S\t- suspend on start\n"
    " /Pnn\t- pause nn seconds on load";

struct Scan {
    StartupArgs args;
    int invalid;
    std::string message;
};

Scan Run(const char *cmdLine, int minimize = STARTUP_HIDDEN)
{
    Scan scan = {{minimize, 0, 0, 0}, 0, ""};
    char message[ARGS_MESSAGE_SIZE];
    scan.invalid = ScanArgs(cmdLine, &scan.args, message, sizeof(message));
    if (scan.invalid)
        scan.message = message;
    return scan;
}

}   // namespace

TEST_CASE("ScanArgs: valid options")
{
    SUBCASE("the program's own name is skipped")
    {
        Scan s = Run("S");
        CHECK(s.invalid == 0);
        CHECK(s.args.Suspend == 0);
        s = Run("KOVW.EXE");
        CHECK(s.invalid == 0);
        CHECK(s.args.Minimize == STARTUP_HIDDEN);
        CHECK(Run("KOVWNM/S").args.Minimize == STARTUP_HIDDEN);
        CHECK(Run("KOVWNM/S").args.Suspend == 1);
        CHECK(Run("").invalid == 0);
        CHECK(Run(NULL).invalid == 0);
    }
    SUBCASE("blank, slash and dash separate; letters in any case")
    {
        for (const char *line : {"kovw /S", "kovw -s", "kovw s", "kovw/s"}) {
            CAPTURE(line);
            Scan s = Run(line);
            CHECK(s.invalid == 0);
            CHECK(s.args.Suspend == 1);
        }
        for (const char *line : {"kovw /NM", "kovw -nm", "kovw /nM", "kovw Nm"}) {
            CAPTURE(line);
            Scan s = Run(line);
            CHECK(s.invalid == 0);
            CHECK(s.args.Minimize == STARTUP_SHOWN);
            CHECK(s.args.Suspend == 0);
        }
    }
    SUBCASE("options run together")
    {
        for (const char *line : {"kovw /SNM", "kovw /S/NM", "kovw -nm-s"}) {
            CAPTURE(line);
            Scan s = Run(line);
            CHECK(s.invalid == 0);
            CHECK(s.args.Suspend == 1);
            CHECK(s.args.Minimize == STARTUP_SHOWN);
        }
    }
    SUBCASE("D takes its whole number")
    {
        Scan s = Run("kovw /D12S");
        CHECK(s.invalid == 0);
        CHECK(s.args.DebugLevel == 12);
        CHECK(s.args.Suspend == 1);
        CHECK(Run("kovw /d3").args.DebugLevel == 3);
        s = Run("kovw /D99999999999999999999999");
        CHECK(s.invalid == 0);
        CHECK(s.args.DebugLevel == INT_MAX);
        // 2^32 + 1 and 2^64 + 5 wrap to small numbers in 32 and 64 bits.
        CHECK(Run("kovw /D4294967297").args.DebugLevel == INT_MAX);
        CHECK(Run("kovw /D18446744073709551621").args.DebugLevel == INT_MAX);
    }
    SUBCASE("P: seconds, capped, and the end of the line")
    {
        CHECK(Run("kovw /P5").args.PauseSeconds == 5);
        CHECK(Run("kovw /p600").args.PauseSeconds == PAUSE_MAX_SECONDS);
        CHECK(Run("kovw /P601").args.PauseSeconds == PAUSE_MAX_SECONDS);
        CHECK(Run("kovw /P99999999999999999999").args.PauseSeconds == PAUSE_MAX_SECONDS);
        CHECK(Run("kovw /P4294967297").args.PauseSeconds == PAUSE_MAX_SECONDS);
        CHECK(Run("kovw /P18446744073709551621").args.PauseSeconds == PAUSE_MAX_SECONDS);
        CHECK(Run("kovw /P-5").args.PauseSeconds == 0);
        Scan s = Run("kovw /P5 /S /X");
        CHECK(s.invalid == 0);
        CHECK(s.args.PauseSeconds == 5);
        CHECK(s.args.Suspend == 0);
    }
}

TEST_CASE("ScanArgs: without a tray icon, S counts only after NM")
{
    Scan s = Run("kovw /S", STARTUP_NOTRAYICON);
    CHECK(s.args.Suspend == 0);
    CHECK(s.args.Minimize == STARTUP_NOTRAYICON);
    s = Run("kovw /NM /S", STARTUP_NOTRAYICON);
    CHECK(s.args.Suspend == 1);
    CHECK(s.args.Minimize == STARTUP_SHOWN);
    s = Run("kovw /S /NM", STARTUP_NOTRAYICON);
    CHECK(s.args.Suspend == 0);
    CHECK(s.args.Minimize == STARTUP_SHOWN);
}

TEST_CASE("ScanArgs: invalid options")
{
    SUBCASE("the message quotes the line from the option on")
    {
        Scan s = Run("kovw /X");
        CHECK(s.invalid == 1);
        CHECK(s.message == "Option: /X " + Usage);
        s = Run("kovw /X /S");
        CHECK(s.invalid == 1);
        CHECK(s.message == "Option: /X /S " + Usage);
        CHECK(s.args.Suspend == 1);
    }
    SUBCASE("N must be followed by M")
    {
        Scan s = Run("kovw /N");
        CHECK(s.invalid == 1);
        CHECK(s.message == "Option: /N " + Usage);
        CHECK(s.args.Minimize == STARTUP_HIDDEN);
        s = Run("kovw /NX");
        CHECK(s.invalid == 1);
        CHECK(s.args.Minimize == STARTUP_HIDDEN);
    }
    SUBCASE("parsing goes on at the next slash or dash only")
    {
        Scan s = Run("kovw /XS");
        CHECK(s.invalid == 1);
        CHECK(s.args.Suspend == 0);
        s = Run("kovw /X S NM");
        CHECK(s.invalid == 1);
        CHECK(s.args.Suspend == 0);
        CHECK(s.args.Minimize == STARTUP_HIDDEN);
        s = Run("kovw /S /Q -NM");
        CHECK(s.invalid == 1);
        CHECK(s.message == "Option: /Q -NM " + Usage);
        CHECK(s.args.Suspend == 1);
        CHECK(s.args.Minimize == STARTUP_SHOWN);
    }
    SUBCASE("each invalid option adds its own quote")
    {
        Scan s = Run("kovw /X /Y");
        CHECK(s.message == "Option: /X /Y /Y " + Usage);
    }
}

TEST_CASE("ScanArgs: the message buffer is a hard limit")
{
    std::string line = "kovw";
    for (int i = 0; i < 150; i++)
        line += " /X" + std::to_string(i);
    const unsigned char canary = 0x5A;
    unsigned char buffer[600];
    memset(buffer, canary, sizeof(buffer));
    StartupArgs args = {STARTUP_HIDDEN, 0, 0, 0};

    CHECK(ScanArgs(line.c_str(), &args, (char *)buffer, 200) == 1);
    int beyond = 0;
    for (size_t i = 200; i < sizeof(buffer); i++)
        beyond += buffer[i] != canary;
    CHECK(beyond == 0);
    size_t length = strnlen((char *)buffer, 200);
    REQUIRE(length < 200);
    std::string message((char *)buffer, length);
    CHECK(message.compare(0, 8, "Option: ") == 0);
    REQUIRE(message.size() >= Usage.size());
    CHECK(message.substr(message.size() - Usage.size()) == Usage);
}
