// The diagnostic log: which levels are written, how a line ends and how
// long it may be, and that a missing place to write is never an error.
#include <doctest.h>
#include "hook/debuglog.h"
#include "unit_support.h"

#include <string.h>
#include <string>

using kovtest::Exists;
using kovtest::ReadAll;

namespace {

// Points the log at a file in a private directory and puts the level and
// the file back afterwards.
struct LogFixture {
    kovtest::TempDir dir;
    std::string file = dir.file("debug.txt");
    const char *savedFile = DebugFileCS;
    int savedLevel = DebugLevelCS;

    LogFixture()
    {
        DebugFileCS = file.c_str();
        DebugLevelCS = 0;
    }
    ~LogFixture()
    {
        DebugFileCS = savedFile;
        DebugLevelCS = savedLevel;
    }
};

}   // namespace

TEST_CASE_FIXTURE(LogFixture, "DebugMessageCS writes the messages within the level")
{
    SUBCASE("level 0: zero and negative levels only")
    {
        DebugMessageCS(0, "zero %d", 0);
        DebugMessageCS(1, "one %s", "x");
        DebugMessageCS(-1, "minus %s", "one");
        DebugMessageCS(-500, "far below");
        CHECK(ReadAll(file) == "zero 0\r\nminus one\r\nfar below\r\n");
    }
    SUBCASE("level 3")
    {
        DebugLevelCS = 3;
        DebugMessageCS(3, "three");
        DebugMessageCS(4, "four");
        DebugMessageCS(2, "two %c", '!');
        CHECK(ReadAll(file) == "three\r\ntwo !\r\n");
    }
    SUBCASE("nothing within the level: no file")
    {
        DebugMessageCS(1, "one");
        CHECK_FALSE(Exists(file));
    }
    SUBCASE("lines are appended to what is there")
    {
        kovtest::WriteAll(file, "earlier\r\n");
        DebugMessageCS(0, "later");
        CHECK(ReadAll(file) == "earlier\r\nlater\r\n");
    }
}

TEST_CASE_FIXTURE(LogFixture, "a message is cut to 255 characters")
{
    const std::string x300(300, 'x');
    SUBCASE("longer")
    {
        DebugMessageCS(0, "%s", x300.c_str());
        CHECK(ReadAll(file) == std::string(255, 'x') + "\r\n");
    }
    SUBCASE("cut inside a formatted field")
    {
        DebugMessageCS(0, "%s%d", std::string(250, 'y').c_str(), 1234567890);
        CHECK(ReadAll(file) == std::string(250, 'y') + "12345\r\n");
    }
    SUBCASE("exactly 255 and 254 are kept whole")
    {
        DebugMessageCS(0, "%s", x300.substr(0, 255).c_str());
        DebugMessageCS(0, "%s", x300.substr(0, 254).c_str());
        CHECK(ReadAll(file) == x300.substr(0, 255) + "\r\n" + x300.substr(0, 254) + "\r\n");
    }
}

TEST_CASE_FIXTURE(LogFixture, "a missing directory makes every message a no-op")
{
    std::string missingDir = dir.file("missing");
    std::string missing = missingDir + "\\debug.txt";
    DebugFileCS = missing.c_str();
    DebugMessageCS(0, "lost");
    DebugMessageCS(-1, "%s", std::string(400, 'z').c_str());
    DebugDeleteFileCS();
    CHECK_FALSE(Exists(missingDir));
}

TEST_CASE_FIXTURE(LogFixture, "DebugDeleteFileCS")
{
    DebugMessageCS(0, "old");
    REQUIRE(Exists(file));
    DebugDeleteFileCS();
    CHECK_FALSE(Exists(file));
    DebugDeleteFileCS();   // nothing to delete is fine
    CHECK_FALSE(Exists(file));
    DebugMessageCS(0, "new");
    CHECK(ReadAll(file) == "new\r\n");
}

TEST_CASE("the log's own file is c:\\temp\\debug.txt")
{
    const char *path = "c:\\temp\\debug.txt";
    int savedLevel = DebugLevelCS;
    DebugLevelCS = 0;
    bool createdDir = CreateDirectoryA("c:\\temp", NULL) != 0;
    REQUIRE(Exists("c:\\temp"));

    DebugDeleteFileCS();
    CHECK_FALSE(Exists(path));
    DebugMessageCS(0, "default %d", 7);
    CHECK(ReadAll(path) == "default 7\r\n");
    DebugDeleteFileCS();
    CHECK_FALSE(Exists(path));

    if (createdDir)
        RemoveDirectoryA("c:\\temp");
    DebugLevelCS = savedLevel;
}
