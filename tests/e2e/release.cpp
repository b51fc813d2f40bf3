// The release as a Windows user meets it: installed silently, afresh and over a running Kov, uninstalled; the archive.
#include <shlobj.h>
#include <tlhelp32.h>

#include <map>
#include "common/version.h"
#include "kt.h"

using namespace kt;

static bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
static std::string Dist() { return Bin() + "..\\dist\\kov-" KOV_VERSION_TEXT; }   // as the package test names it

// Every file and folder under C:\ and every registry value under HKCU and HKLM\Software, with
// what it holds, so that two snapshots show what was written in between.
using Snapshot = std::map<std::string, std::string>;
static void Files(const std::string &dir, Snapshot &s)
{
    WIN32_FIND_DATAA f;
    HANDLE find = FindFirstFileA((dir + "*").c_str(), &f);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &f)) {
        std::string path = dir + f.cFileName;
        if (!(f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            s[path] = std::to_string(f.nFileSizeLow) + "@" + std::to_string(f.ftLastWriteTime.dwLowDateTime);
        else if (strcmp(f.cFileName, ".") && strcmp(f.cFileName, "..") &&
                 !(f.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))   // links to the host's folders
            s[path + "\\"] = "", Files(path + "\\", s);
    }
    FindClose(find);
}
static void Keys(HKEY root, const std::string &hive, const std::string &path, Snapshot &s)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key))
        return;
    static char name[16384], data[1 << 16];   // used up before the recursion
    DWORD n = sizeof(name), size = sizeof(data);
    for (DWORD i = 0; !RegEnumValueA(key, i, name, &n, 0, 0, (BYTE *)data, &size); i++)
        s[hive + path + "\\" + name] = std::string(data, size), n = sizeof(name), size = sizeof(data);
    s[hive + path + "\\"] = "";
    for (DWORD i = 0; n = sizeof(name), !RegEnumKeyExA(key, i, name, &n, 0, 0, 0, 0); i++)
        Keys(root, hive, (path.empty() ? "" : path + "\\") + name, s);
    RegCloseKey(key);
}
static Snapshot Now()
{
    Snapshot s;
    Files("C:\\", s), Keys(HKEY_CURRENT_USER, "HKCU\\", "", s), Keys(HKEY_LOCAL_MACHINE, "HKLM\\", "Software", s);
    return s;
}

static HANDLE Start(std::string line, const char *dir = NULL)
{
    STARTUPINFOA si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    REQUIRE(CreateProcessA(NULL, &line[0], NULL, NULL, 0, 0, NULL, dir, &si, &pi));
    return CloseHandle(pi.hThread), pi.hProcess;
}
static int RunWait(const std::string &line)
{
    HANDLE process = Start(line);
    int code = ExitCode(process, 60000);
    CHECK(code != -1);   // it ended within the minute
    return CloseHandle(process), code;
}
// Of a folder on Z:, the machine's root.
static std::string UnixPath(std::string p) { return std::replace(p.begin(), p.end(), '\\', '/'), p.substr(2); }
static void Unix(const std::string &command)   // a shell command of the machine's own, waited for
{
    std::string mark = Bin() + "unix-done", line = "/bin/sh -c \"" + command + " && touch " + UnixPath(mark) + "\"";
    STARTUPINFOA si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};   // Wine gives no process handle for it, and a thread handle not to close
    REQUIRE((DeleteFileA(mark.c_str()), CreateProcessA("Z:\\bin\\sh", &line[0], 0, 0, 0, 0, 0, 0, &si, &pi)));
    REQUIRE(WaitFor([&] { return Exists(mark); }));
}
static std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = "";
    return SHGetSpecialFolderPathA(NULL, path, csidl, FALSE), path + std::string("\\");
}
// The Kov of this folder, started as the shortcut does: it runs, with its tray icon.
static HANDLE StartKov(const std::string &exe)
{
    HANDLE process = Start(exe, exe.substr(0, exe.rfind('\\')).c_str());
    HWND main = nullptr;
    CHECK(WaitFor([&] { return (main = FindWindowA("KovMainWin", NULL)) && PidOf(main) == GetProcessId(process); }));
    NOTIFYICONDATAA icon = {sizeof(icon), main, 0};
    CHECK(WaitFor([&] { return Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE; }));
    return process;
}
static void CloseKov(HANDLE process)   // as its user does, from its window menu
{
    PostMessageA(FindWindowA("KovMainWin", NULL), WM_SYSCOMMAND, SC_CLOSE, 0);
    CHECK(WaitForSingleObject(process, 20000) == WAIT_OBJECT_0);
}
static bool KovRuns()
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 p = {sizeof(p)};
    bool any = false;
    for (BOOL more = Process32First(snap, &p); more; more = Process32Next(snap, &p))
        any |= !_stricmp(p.szExeFile, "kovw.exe") || !_stricmp(p.szExeFile, "kovw64.exe");
    return CloseHandle(snap), any;
}

// A binary's section names, the debug link's with the file it names and that file's checksum.
static std::string Sections(const std::string &pe)
{
    std::string names;
    size_t coff = U32(pe, 0x3c) + 4, count = U32(pe, coff) >> 16, at = coff + 20 + (U32(pe, coff + 16) & 0xffff);
    size_t strings = U32(pe, coff + 8) + 18 * U32(pe, coff + 12);   // long names, after the symbols
    for (; count--; at += 40) {
        std::string name(&pe.at(at), strnlen(&pe.at(at), 8)), file = &pe.at(U32(pe, at + 20));
        name = name[0] == '/' ? &pe.at(strings + atoi(&name[1])) : name;
        names += " " + name;
        if (name == ".gnu_debuglink")   // the file's name, padded to 4 bytes, then its checksum
            names += " " + file + "@" + std::to_string(U32(pe, U32(pe, at + 20) + ((file.size() + 4) & ~3)));
    }
    return names;
}

TEST_CASE("installed silently, over a running Kov, uninstalled: files, shortcuts, settings; the archive")
{
    BOOL wow64 = FALSE;
    bool x64 = sizeof(void *) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
    std::vector<std::string> binaries = {"kovw.exe", "kovhook.dll", "kovw64.exe", "kovhook64.dll"}, programs = binaries;
    programs.erase(programs.begin() + (x64 ? 4 : 2), programs.end());   // the 64-bit pair only on a 64-bit Windows
    // The archive, unpacked with its symbols: stripped binaries, each linked to its debug file.
    std::string unpacked = Bin() + "unpacked\\", symbols = Bin() + "symbols\\";
    Unix("rm -rf " + UnixPath(unpacked) + " " + UnixPath(symbols) + " && unzip -q " + UnixPath(Dist()) +
         ".zip -d " + UnixPath(unpacked) + " && unzip -q " + UnixPath(Dist()) + "-symbols.zip -d " + UnixPath(symbols));
    auto crc32 = (DWORD(WINAPI *)(DWORD, const BYTE *, INT))GetProcAddress(GetModuleHandleA("ntdll"), "RtlComputeCrc32");
    for (const std::string &name : binaries) {
        CAPTURE(name);
        std::string sections = Sections(Slurp(unpacked + name)), debug = Slurp(symbols + name + ".debug");
        CHECK(sections.find(" .debug") == std::string::npos);
        const DWORD crc = crc32(0, (const BYTE *)debug.data(), (INT)debug.size());
        CHECK(sections.find(" .gnu_debuglink " + name + ".debug@" + std::to_string(crc)) != std::string::npos);
    }
    CloseKov(StartKov(unpacked + programs[x64 ? 2 : 0]));   // it runs from there

    std::string dir = "C:\\Tools\\Kov", setup = "\"" + Dist() + "-setup.exe\" /S /D=" + dir;
    std::string menu = ShellFolder(CSIDL_PROGRAMS) + "Kov.lnk", startup = ShellFolder(CSIDL_STARTUP) + "Kov.lnk";
    std::string controller = dir + "\\" + programs[x64 ? 2 : 0], options = dir + "\\kovopt.ini";
    const char *uninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kov";
    programs.push_back("readme.kov");
    auto installed = [&] {   // the program files are the archive's, and only those this Windows runs
        return std::all_of(programs.begin(), programs.end(),
                           [&](auto &name) { return Slurp(dir + "\\" + name) == Slurp(unpacked + name); }) &&
               (x64 || GetFileAttributesA((dir + "\\kovw64.exe").c_str()) == INVALID_FILE_ATTRIBUTES);
    };
    const std::vector<std::string> ours = {dir, menu, startup, "HKCU\\" + std::string(uninstallKey)};
    Snapshot before = Now();
    REQUIRE(RunWait(setup) == 0);
    CHECK(installed());
    for (const auto &[name, what] : Now())   // what was written: theirs, or a folder or key made for them
        if (!before.count(name) || before.at(name) != what)
            CHECK_MESSAGE(std::any_of(ours.begin(), ours.end(), [&](auto &o) { return !o.find(name) || !name.find(o); }), name);
    for (const std::string &shortcut : {menu, startup})   // the local path it holds, as the shell follows it
        CHECK(Slurp(shortcut).find(controller + '\0') != std::string::npos);
    char uninstall[MAX_PATH] = "";
    DWORD size = sizeof(uninstall);
    CHECK(!RegGetValueA(HKEY_CURRENT_USER, uninstallKey, "QuietUninstallString", RRF_RT_REG_SZ, NULL, uninstall, &size));

    // Changed settings, and a second install while Kov runs: Kov closed as from its window.
    CloseKov(StartKov(controller));
    std::string settings = Slurp(options);
    Put32(settings, offsetof(OptionsRecord, ScrollPages), 9);
    Spit(options, settings), Spit(dir + "\\readme.kov", "an older version's");
    HANDLE kov = StartKov(controller);
    REQUIRE(RunWait(setup) == 0);
    CHECK(ExitCode(kov, 0) == 0);
    CHECK_FALSE(KovRuns());
    CHECK(Slurp(options) == settings);
    CHECK(installed());

    // The uninstaller, as Add/Remove Programs starts it quietly: Kov closed, all gone but the settings.
    kov = StartKov(controller);
    std::string xcept = Slurp(dir + "\\kovxcept.ini");
    REQUIRE(RunWait(uninstall) == 0);
    CHECK(WaitFor([&] { return !Exists(dir + "\\uninstall.exe"); }));
    CHECK(WaitForSingleObject(kov, 0) == WAIT_OBJECT_0);
    for (const std::string &name : programs)
        CHECK_MESSAGE(!Exists(dir + "\\" + name), name);
    CHECK_FALSE((Exists(menu) || Exists(startup)));
    CHECK(RegGetValueA(HKEY_CURRENT_USER, uninstallKey, "DisplayName", RRF_RT_ANY, 0, 0, 0) != ERROR_SUCCESS);
    CHECK(Slurp(options) == settings);
    CHECK(Slurp(dir + "\\kovxcept.ini") == xcept);
}
