// End-to-end harness: runs kovw.exe and probe programs as separate processes
// in a fresh home directory and looks at what a user would see.
#ifndef KOV_TEST_HARNESS_H
#define KOV_TEST_HARNESS_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/options.h"

namespace kt {

// Directory of the running test program, which also holds kovw.exe,
// kovhook.dll and the probe programs; ends in a backslash.
std::string BinDir();

std::string ReadFileBytes(const std::string &path);
void WriteFileBytes(const std::string &path, const std::string &bytes);
bool FileExists(const std::string &path);
FILETIME FileWriteTime(const std::string &path);

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

private:
    HMODULE module_ = nullptr;
    OptionsRecord *options_ = nullptr;
    ExceptionList *exceptions_ = nullptr;
    int *suspend_ = nullptr;
    UnMinAllRecord *unMinAll_ = nullptr;
};

// Byte views of the options file.
uint32_t U32At(const std::string &bytes, size_t offset);
uint16_t U16At(const std::string &bytes, size_t offset);
void PutU32(std::string &bytes, size_t offset, uint32_t value);

// The options record kovw writes for a fresh home, as bytes.
std::string DefaultOptionsFile(Processes &processes);

}  // namespace kt

#endif
