// The options record and the exception list: the defaults as the bytes of
// kovopt.ini, the parser of kovxcept.ini, the default user command and the
// exception file's writer. (Loading both files at start-up is tested from
// outside, in the end-to-end tests.)
#include <doctest.h>
#include "controller/kovw.h"
#include "unit_support.h"

#include <shellapi.h>
#include <stdint.h>
#include <string.h>
#include <string>

using kovtest::Exists;
using kovtest::ReadAll;
using kovtest::WriteAll;

namespace {

uint32_t U32(const void *record, size_t offset)
{
    const unsigned char *b = (const unsigned char *)record + offset;
    return b[0] | b[1] << 8 | b[2] << 16 | (uint32_t)b[3] << 24;
}

uint16_t U16(const void *record, size_t offset)
{
    const unsigned char *b = (const unsigned char *)record + offset;
    return (uint16_t)(b[0] | b[1] << 8);
}

bool AllBytes(const void *record, size_t offset, size_t size, unsigned char value)
{
    for (size_t i = 0; i < size; i++)
        if (((const unsigned char *)record)[offset + i] != value)
            return false;
    return true;
}

std::string Text(const void *record, size_t offset)
{
    return std::string((const char *)record + offset);
}

std::string Bytes(const OptionsRecord &record)
{
    return std::string((const char *)&record, sizeof(record));
}

int DisplayDpiY()
{
    HDC ic = CreateICA("DISPLAY", NULL, NULL, NULL);
    REQUIRE(ic);
    int dpi = GetDeviceCaps(ic, LOGPIXELSY);
    DeleteDC(ic);
    return dpi;
}

std::string Editor()
{
    char windows[MAX_PATH], editor[MAX_PATH] = "";
    REQUIRE(GetWindowsDirectoryA(windows, sizeof(windows)) > 0);
    REQUIRE((INT_PTR)FindExecutableA("NOTEPAD.EXE", windows, editor) > 32);
    std::string path = editor;
    REQUIRE(path.size() > 12);
    REQUIRE(_stricmp(path.c_str() + path.size() - 12, "\\notepad.exe") == 0);
    return path;
}

// Fails every dialog this thread tries to create and counts the attempts,
// so that an unexpected message box fails a check instead of hanging.
class DialogTrap {
public:
    DialogTrap()
    {
        count_ = 0;
        hook_ = SetWindowsHookExA(WH_CBT, Proc, NULL, GetCurrentThreadId());
        REQUIRE(hook_);
    }
    ~DialogTrap() { UnhookWindowsHookEx(hook_); }
    int Dialogs() const { return count_; }

private:
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_CREATEWND) {
            char name[16] = "";
            GetClassNameA((HWND)wParam, name, sizeof(name));
            if (strcmp(name, "#32770") == 0) {
                count_++;
                return 1;
            }
        }
        return CallNextHookEx(hook_, code, wParam, lParam);
    }
    static int count_;
    static HHOOK hook_;
};
int DialogTrap::count_ = 0;
HHOOK DialogTrap::hook_ = 0;

// kovw's paths pointed at a private directory, restored afterwards.
struct FilesFixture {
    kovtest::TempDir dir;
    std::string optFile = dir.file("kovopt.ini");
    std::string xceptFile = dir.file("kovxcept.ini");
    char saved[3][HOME_PATH_SIZE];

    FilesFixture()
    {
        memcpy(saved[0], HomePath, HOME_PATH_SIZE);
        memcpy(saved[1], szOptIniName, HOME_PATH_SIZE);
        memcpy(saved[2], szXceptIniName, HOME_PATH_SIZE);
        REQUIRE(dir.path().size() < HOME_PATH_SIZE - 20);
        strcpy(HomePath, dir.path().c_str());
        strcpy(szOptIniName, optFile.c_str());
        strcpy(szXceptIniName, xceptFile.c_str());
        GetHookData(&Opt, &Xcept);
    }
    ~FilesFixture()
    {
        memcpy(HomePath, saved[0], HOME_PATH_SIZE);
        memcpy(szOptIniName, saved[1], HOME_PATH_SIZE);
        memcpy(szXceptIniName, saved[2], HOME_PATH_SIZE);
    }
    OptionsRecord Defaults()
    {
        OptionsRecord record;
        SetDefaultOptions(&record);
        return record;
    }
};

// An exception list with bytes after it, to see that nothing lands there.
struct GuardedList {
    ExceptionList list;
    unsigned char after[64];
};

GuardedList Parse(const std::string &text)
{
    GuardedList g;
    memset(&g, 0xCC, sizeof(g));
    g.list.Count = 0;
    ParseXceptions(text.data(), (int)text.size(), &g.list);
    return g;
}

}   // namespace

TEST_CASE("ParseXceptions")
{
    SUBCASE("leading white space goes, the rest of the line stays as typed")
    {
        GuardedList g = Parse(" \t\r\n\v\f  NAME.EXE  \r\n\tMixed.Exe\r\n");
        REQUIRE(g.list.Count == 2);
        CHECK(std::string(g.list.Name[0]) == "NAME.EXE  ");
        CHECK(std::string(g.list.Name[1]) == "Mixed.Exe");
    }
    SUBCASE("CR, LF or both end a line; blank lines vanish; the last needs no end")
    {
        GuardedList g = Parse("A.EXE\n\r\n\r\n   \r\nB.EXE\rC.EXE\r\n\r\nLAST.EXE");
        REQUIRE(g.list.Count == 4);
        CHECK(std::string(g.list.Name[0]) == "A.EXE");
        CHECK(std::string(g.list.Name[1]) == "B.EXE");
        CHECK(std::string(g.list.Name[2]) == "C.EXE");
        CHECK(std::string(g.list.Name[3]) == "LAST.EXE");
        CHECK(AllBytes(g.list.Name[4], 0, XCEPT_NAME_SIZE, 0xCC));
    }
    SUBCASE("a long name keeps its first 20 characters and its NUL")
    {
        GuardedList g = Parse("ABCDEFGHIJKLMNOPQRSTUVWXY\r\n");
        REQUIRE(g.list.Count == 1);
        CHECK(std::string(g.list.Name[0]) == "ABCDEFGHIJKLMNOPQRST");
        CHECK(g.list.Name[0][20] == 0);
        CHECK(AllBytes(g.list.Name[1], 0, XCEPT_NAME_SIZE, 0xCC));
    }
    SUBCASE("at most 40 names")
    {
        std::string text;
        for (int i = 0; i < 45; i++)
            text += "NAME" + std::to_string(i) + ".EXE\r\n";
        GuardedList g = Parse(text);
        CHECK(g.list.Count == XCEPT_MAX_NAMES);
        CHECK(std::string(g.list.Name[39]) == "NAME39.EXE");
        CHECK(AllBytes(g.after, 0, sizeof(g.after), 0xCC));
    }
    SUBCASE("nothing to read")
    {
        CHECK(Parse("").list.Count == 0);
        CHECK(Parse(" \r\n\t\r\n").list.Count == 0);
    }
}

TEST_CASE_FIXTURE(FilesFixture, "SetDefaultOptions: the bytes of a default kovopt.ini")
{
    OptionsRecord record;
    memset(&record, 0xCC, sizeof(record));   // every byte must be written
    SetDefaultOptions(&record);
    const unsigned char *r = (const unsigned char *)&record;

    CHECK(sizeof(record) == 3534);
    CHECK(memcmp(r, "1.2\0\0\0", 6) == 0);
    CHECK(memcmp(r + 3530, "EOS\0", 4) == 0);

    struct Field {
        size_t offset;
        uint32_t value;
    };
    const Field fields[] = {
        {6, 1},    {10, 1},    {14, 1},  {18, 0},  {22, 0},  {26, 1},   {30, 1},
        {34, 0},   {38, 1},    {42, 27}, {46, 3},  {50, 1},  {54, 1},   {58, 1},
        {62, 0},   {70, 0},    {74, 0},  {78, 632}, {82, 7}, {86, 29},  {90, 6},
        {94, 7},   {98, 0x51}, {102, 0}, {106, 4}, {110, 6}, {118, 60},
    };
    for (const Field &f : fields) {
        CAPTURE(f.offset);
        CHECK(U32(r, f.offset) == f.value);
    }
    CHECK(U16(r, 66) == 91);
    CHECK(U16(r, 68) == 3);
    CHECK((int32_t)U32(r, 114) == DisplayDpiY());
    CHECK(AllBytes(r, 122, 60, 0));

    struct Slot {
        uint32_t action, flags;
        uint16_t keys;
    };
    const Slot slots[MOUSE_SLOT_COUNT] = {
        {0x7000, 0, 0},     {0x7000, 0, 0},     {0x7000, 0, 0},     {0x7000, 0, 0},
        {0x7000, 0, 0},     {0x7000, 0xF00, 0}, {0x7046, 0xF00, 4}, {0x700E, 0xF00, 2},
        {0x700E, 0xF00, 1}, {0x7000, 0, 0},     {0x7104, 0xF00, 0}, {0x7000, 0xF00, 4},
        {0x7031, 0x700, 2}, {0x704E, 0xF00, 1}, {0x7000, 0, 0},
    };
    for (int i = 0; i < MOUSE_SLOT_COUNT; i++) {
        size_t at = 182 + i * 184;
        CAPTURE(i);
        CHECK(U32(r, at) == slots[i].action);
        CHECK(U32(r, at + 4) == slots[i].flags);
        CHECK(U16(r, at + 8) == i % 5 + 1);
        CHECK(U16(r, at + 10) == slots[i].keys);
        CHECK(AllBytes(r, at + 12, 44 + 128, 0));
    }

    const char *names[TITLE_BUTTON_COUNT] = {"Ro", "Ta", "Cl"};
    const uint32_t bitmaps[TITLE_BUTTON_COUNT] = {0x7046, 0x7003, 0x7001};
    for (int j = 0; j < TITLE_BUTTON_COUNT; j++) {
        size_t at = 2942 + j * 196;
        CAPTURE(j);
        CHECK(memcmp(r + at, names[j], 3) == 0);
        CHECK(r[at + 3] == 0);
        CHECK(U32(r, at + 4) == bitmaps[j]);
        CHECK(U32(r, at + 8) == 0);
        CHECK(U32(r, at + 12) == bitmaps[j]);
        CHECK(U32(r, at + 16) == 0xF00);
        CHECK(U32(r, at + 20) == 2);
        CHECK(AllBytes(r, at + 24, 44, 0));
        if (j > 0)
            CHECK(AllBytes(r, at + 68, 128, 0));
    }
    // The user command: the editor (no USERCMD.TXT here), NUL-padded.
    std::string editor = Editor();
    CHECK(Text(r, 3010) == editor);
    CHECK(AllBytes(r, 3010 + editor.size(), 128 - editor.size(), 0));
}

TEST_CASE_FIXTURE(FilesFixture, "SetDefaultUserCmd")
{
    std::string editor = Editor();
    OptionsRecord record;
    memset(&record, 0xCC, sizeof(record));
    const unsigned char *r = (const unsigned char *)&record;

    SUBCASE("without USERCMD.TXT: the editor alone")
    {
        SetDefaultUserCmd(&record);
        CHECK(Text(r, 3010) == editor);
    }
    SUBCASE("with USERCMD.TXT: the editor and the document")
    {
        WriteAll(dir.file("USERCMD.TXT"), "x");
        SetDefaultUserCmd(&record);
        CHECK(Text(r, 3010) == editor + " " + dir.path() + "USERCMD.TXT");
    }
    SUBCASE("127 characters fit, 128 do not")
    {
        // A home directory of the length that makes the whole command
        // exactly 127 characters, and one a character longer.
        const size_t exact = 127 - editor.size() - 1 - strlen("USERCMD.TXT");
        REQUIRE(exact > dir.path().size() + 1);
        for (size_t extra : {0, 1}) {
            std::string home =
                dir.path() + std::string(exact - dir.path().size() - 1 + extra, 'h') + "\\";
            REQUIRE(home.size() == exact + extra);
            REQUIRE(CreateDirectoryA(home.c_str(), NULL));
            WriteAll(home + "USERCMD.TXT", "x");
            strcpy(HomePath, home.c_str());
            memset(&record, 0xCC, sizeof(record));
            SetDefaultUserCmd(&record);
            CAPTURE(extra);
            CHECK(Text(r, 3010) == (extra ? editor : editor + " " + home + "USERCMD.TXT"));
        }
    }
    SUBCASE("a deep home directory: the document is left out, nothing spills")
    {
        std::string home = dir.path();
        while (home.size() < 200) {
            home += "deep_directory\\";
            REQUIRE(CreateDirectoryA(home.c_str(), NULL));
        }
        WriteAll(home + "USERCMD.TXT", "x");
        strcpy(HomePath, home.c_str());
        SetDefaultUserCmd(&record);
        CHECK(Text(r, 3010) == editor);
        CHECK(AllBytes(r, 0, 3010, 0xCC));
        CHECK(AllBytes(r, 3010 + 128, sizeof(record) - 3010 - 128, 0xCC));
    }
}

TEST_CASE_FIXTURE(FilesFixture, "SaveXceptions writes the first Count names")
{
    DialogTrap trap;
    memset(Xcept, 0, sizeof(*Xcept));
    strcpy(Xcept->Name[0], "ONE.EXE");
    strcpy(Xcept->Name[1], "ABCDEFGHIJKLMNOPQRST");   // the full 20 characters
    strcpy(Xcept->Name[2], "NOT.SAVED");
    Xcept->Count = 2;
    CHECK(SaveXceptions() == 0);
    CHECK(ReadAll(xceptFile) == "ONE.EXE\r\nABCDEFGHIJKLMNOPQRST\r\n");

    Xcept->Count = 0;
    CHECK(SaveXceptions() == 0);
    CHECK(ReadAll(xceptFile).empty());
    CHECK(trap.Dialogs() == 0);
}
