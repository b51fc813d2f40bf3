// End-to-end harness: runs kovw.exe and probe programs as separate processes
// in a fresh home directory and looks at what a user would see.
#ifndef KOV_TEST_HARNESS_H
#define KOV_TEST_HARNESS_H

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/options.h"
#include "hook/share.h"
#include "menuspy.h"
#include "probeapi.h"

namespace kt {

// Directory of the running test program, which also holds kovw.exe,
// kovhook.dll and the probe programs; ends in a backslash.
std::string BinDir();

std::string ReadFileBytes(const std::string &path);
void WriteFileBytes(const std::string &path, const std::string &bytes);
bool FileExists(const std::string &path);
FILETIME FileWriteTime(const std::string &path);

// Gives a home's two configuration files an old time stamp (returned), so
// that any rewrite shows.
FILETIME AgeConfigurationFiles(const std::string &homeDir);

// A fresh temporary directory with kovw.exe and kovhook.dll copied in (and
// readme.kov and HISTORY.DOC unless told otherwise). Removed at the end.
class Home {
public:
    explicit Home(bool withDocuments = true);
    ~Home();
    Home(const Home &) = delete;
    Home &operator=(const Home &) = delete;

    const std::string &Dir() const { return dir_; }
    std::string Path(const std::string &name) const { return dir_ + name; }
    std::string Read(const std::string &name) const { return ReadFileBytes(Path(name)); }
    void Write(const std::string &name, const std::string &bytes) const;
    bool Exists(const std::string &name) const { return FileExists(Path(name)); }
    void Remove(const std::string &name) const;

private:
    std::string dir_;
};

// Polls cond until it holds or the deadline passes; returns its last value.
bool WaitFor(const std::function<bool()> &cond, DWORD timeoutMs = 10000);

// Every process started through it is ended when it goes out of scope, by
// handle, whatever happened in the test: politely first (its main window is
// closed), then by force.
class Processes {
public:
    Processes() = default;
    ~Processes();
    Processes(const Processes &) = delete;
    Processes &operator=(const Processes &) = delete;

    // Starts exe with args in directory cwd (default: the exe's directory).
    PROCESS_INFORMATION Start(const std::string &exe, const std::string &args,
                              const std::string &cwd = "");
    // Waits for the process to exit; returns false on time-out.
    static bool WaitExit(HANDLE process, DWORD timeoutMs, DWORD *exitCode = nullptr);
    static bool Running(HANDLE process);
    void EndAll();

private:
    std::vector<PROCESS_INFORMATION> started_;
};

// Windows.
std::string ClassOf(HWND hwnd);
std::string TextOf(HWND hwnd);
DWORD ProcessOf(HWND hwnd);
// The first top-level window matching the class and/or title (empty: any)
// that belongs to process pid (0: any process).
HWND FindTop(const std::string &cls, const std::string &title, DWORD pid = 0);
HWND WaitTop(const std::string &cls, const std::string &title, DWORD pid = 0,
             DWORD timeoutMs = 10000);
int CountTop(const std::string &cls, DWORD pid = 0);

// Message boxes: the dialog with this title, its text (all static texts
// joined by newlines), and pressing one of its buttons (IDOK, IDYES, IDNO).
HWND WaitMessageBox(const std::string &title, DWORD pid = 0, DWORD timeoutMs = 10000);
std::string MessageBoxText(HWND box);
void PressButton(HWND dialog, int id);

// Whether the notification area holds the icon (owner, id): the shell
// accepts a change only for an icon it has.
bool TrayIconExists(HWND owner, UINT id = 0);


// kovw.exe in a home directory.
class Kovw {
public:
    Kovw(Processes &processes, const Home &home, const std::string &args = "");
    HANDLE Process() const { return pi_.hProcess; }
    DWORD Pid() const { return pi_.dwProcessId; }
    // The main window, waiting for it to exist.
    HWND MainWindow(DWORD timeoutMs = 10000);
    // Returns once kovw's start-up is over and every message posted to it
    // before the call has been handled. Sent messages are no barrier (kovw
    // handles them while it waits on the shell during start-up), so this
    // posts the About command, which only the message loop dispatches, and
    // closes the box; the second round lets whatever kovw posted itself
    // before its loop started be handled too.
    bool Settle();
    // Closes the main window as the user does (system close command) and
    // waits for the process to end; returns its exit code or -1.
    int Close(DWORD timeoutMs = 15000);

private:
    PROCESS_INFORMATION pi_;
    HWND main_ = nullptr;
};

// A probe program (probe.exe, or probe31.exe built for Windows 3.1) started
// with a command line; its windows are those of class cls.
class Probe {
public:
    Probe(Processes &processes, const std::string &args, bool windows31 = false,
          const std::string &cls = "KovProbe", const std::string &exe = "");
    DWORD Pid() const { return pi_.dwProcessId; }
    HANDLE Process() const { return pi_.hProcess; }
    // Its n-th window in creation order, waiting for it to exist.
    HWND Window(int n = 0, DWORD timeoutMs = 10000);
    // Returns once the window's thread has handled everything posted to it
    // before the call.
    bool Ping(HWND hwnd, DWORD timeoutMs = 10000);
    // 1 when the window's procedure is no longer the probe's own, 0 when it
    // is, -1 when the window does not answer.
    int Subclassed(HWND hwnd);
    // Keeps the window's thread busy for ms, as a hung program.
    void Freeze(HWND hwnd, DWORD ms);
    // One of the probe's counters (PROBE_QUERY_...), -1 when it does not answer.
    int Query(HWND hwnd, int what);

private:
    PROCESS_INFORMATION pi_;
    std::string cls_;
};

// The shared section of kovhook as the library declares it. Its variables
// follow each other in declaration order with their own alignment, so these
// mirrors describe stretches of it; HookView checks them against addresses
// the library hands out.
struct SharedAfterXceptions {   // from hwndKov, right behind Xception
    HWND  hwndKov;
    int   HookedWindowCnt;
    SHORT metrics[14];
    int   WinMajorVer, WinMinorVer;
    HWND  hwndTrapRollup, hwndTrapWMsize;
    HMENU hwndKovTaskListMenu;
    HWND  hwndSwitchHwnd[60];
    HWND  hwndSnapNewWindow;
};
struct SharedFromUnMinAll {      // from _UnMinAll to the end
    UnMinAllRecord UnMinAll;
    WNDPROC SysTaskbarOldFrameProc;
    int   IsDBCS, IsShutdown, SysShutdownSelected, SuspendKovTemp;
    int   DoSnapStartMenu, IgnoreSnapWindow, MouseDirection;
    AUTOSCROLL autoScroll;
    UINT  DoubleClickTime;
    int   DebugLevelShare;
    HHOOK CBThandle, CWPhandle, GetMsghandle, Mousehandle, SysMsghandle;
    HMODULE hiKovDll;
    HWND  hwndShutdownManager, hwndWin3PopupPatch, hwndOldSnapWindow, hwndScroll;
    int   ScrollActionId, TrappedRBtnDown, TrappedMBtnDown;
    POINT LastMousePos;
    LONG  LastMsgTime;
};

// The copy of kovhook.dll in a home directory, loaded into the test process,
// so that the test sees the same shared section as kovw running from there.
class HookView {
public:
    explicit HookView(const Home &home);
    ~HookView();
    OptionsRecord *Options() const { return options_; }
    ExceptionList *Exceptions() const { return exceptions_; }
    int Suspended() const { return *suspend_; }
    const UnMinAllRecord *UnMinAll() const { return unMinAll_; }
    FARPROC Proc(const char *name) const;

    // The window table and the rest of the shared section.
    const WinRecord *Table() const { return table_; }
    int WindowIndex(HWND hwnd) const;
    const volatile SharedAfterXceptions *Middle() const { return middle_; }
    const volatile SharedFromUnMinAll *Tail() const { return tail_; }

    // The library's own functions, called in the test process.
    int SetKovHook(HWND main, int isDBCS, int level) const;
    int FreeKovHook(BOOL force) const;
    int HookInstalled() const;

private:
    HMODULE module_ = nullptr;
    const WinRecord *table_ = nullptr;
    const SharedAfterXceptions *middle_ = nullptr;
    const SharedFromUnMinAll *tail_ = nullptr;
    OptionsRecord *options_ = nullptr;
    ExceptionList *exceptions_ = nullptr;
    int *suspend_ = nullptr;
    UnMinAllRecord *unMinAll_ = nullptr;
};

// kovw running from a fresh home (with the given options file, by default
// one without a user command), the home's library in view, and probes
// started beside it. Members end in reverse order: probes, kovw and the
// processes first, the home last.
class Desk {
public:
    explicit Desk(const std::string &options = "", const std::string &args = "");
    Home home;
    Processes processes;
    std::unique_ptr<Kovw> kovw;
    std::unique_ptr<HookView> view;
    std::vector<std::unique_ptr<Probe>> probes;

    Probe &Start(const std::string &args, bool windows31 = false,
                 const std::string &cls = "KovProbe", const std::string &exe = "");
    // Starts a probe and returns its first window.
    HWND Frame(const std::string &args, const std::string &exe = "");
    // The record of a frame in the window table (which must have one).
    const volatile WinRecord &Record(HWND frame) const;
};

// The popup menus a thread of another process opens, read inside that
// process by the test library menuspy.dll.
class MenuSpy {
public:
    explicit MenuSpy(DWORD threadId);
    ~MenuSpy();
    // The next menu recorded after the last one returned (or after the spy
    // started), waiting for it.
    bool Next(SpyMenu *menu, DWORD timeoutMs = 10000);
    // Where item i of the menu Next returned last lies on the screen, once
    // the menu shows: the items' sizes and order come from the menu, their
    // place from the menu window (the menu's own answer is given too early
    // to know where the window went).
    bool ItemOnScreen(int i, RECT *item, DWORD timeoutMs = 10000);

private:
    HMODULE module_ = nullptr;
    HHOOK hook_ = nullptr;
    const volatile SpyMenu *last_ = nullptr;
    LONG seen_ = 0;
};

// Input as a user gives it, and keys posted to a window's thread (a popup
// menu or a dialog reads those from its thread's queue like typed keys).
void ClickAt(POINT screen, bool right = false, bool doubleClick = false);
// A modifier key held down at the display itself (through xdotool), for as
// long as the object lives: under Wine, a key pressed with SendInput is
// forgotten again when the pointer moves, since the display's own state of
// the modifier keys is taken over.
class HeldKey {
public:
    explicit HeldKey(const char *xkey);
    ~HeldKey();

private:
    std::string key_;
};

// A left click made at the display itself (through xdotool), so that it
// carries the modifier keys held there.
void DisplayClick(POINT screen, int button = 1);
// Any other input at the display: xdotool's command words.
void RunDisplayInput(const std::string &words);

// Moves the pointer and waits until it is there.
void MoveTo(POINT screen);
// A click where the pointer is.
void ClickHere(bool right = false, bool middle = false);
void PostKey(HWND hwnd, UINT vk);
void PostChar(HWND hwnd, char c);

// The screen as the user sees it.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[y * width + x]; }
    bool SaveBmp(const std::string &path) const;
};
Screenshot CaptureScreen();
// Where the icon (drawn at size x size) appears inside area, by its opaque
// pixels; false when it does not.
bool FindIcon(const Screenshot &screen, HICON icon, int size, RECT area, POINT *center);
// kovw's program icon from the copy in home, at size x size.
HICON LoadKovIcon(const Home &home, int size);
// A directory in the build tree for files the tests leave to look at.
std::string ArtifactDir();

// Copies of the binaries with one name changed in place: an export of a
// library, or the library a program imports from (same length, so nothing
// else moves).
void PatchExportName(const std::string &dll, const char *name, const char *newName);
void PatchImportName(const std::string &exe, const char *dll, const char *newDll);

// The button group the library gave a frame, once it is shown (null when
// none comes within the time).
HWND WaitGroup(const HookView &view, HWND frame, DWORD timeoutMs = 10000);
RECT RectOf(HWND hwnd);
// The group's buttons, left to right: control id and screen rectangle.
struct GroupButton {
    int id;
    RECT rect;
};
std::vector<GroupButton> ButtonsOf(HWND group);
// The options file kovw writes for a fresh home, without a user command.
std::string OptionsWithoutUserCommand(Processes &processes);

// Byte views of the options file.
uint32_t U32At(const std::string &bytes, size_t offset);
uint16_t U16At(const std::string &bytes, size_t offset);
void PutU32(std::string &bytes, size_t offset, uint32_t value);

// The options record kovw writes for a fresh home, as bytes.
std::string DefaultOptionsFile(Processes &processes);

}  // namespace kt

#endif
