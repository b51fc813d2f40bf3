// kovw's globals and the functions its files share.
#ifndef KOV_KOVW_H
#define KOV_KOVW_H

#include <windows.h>
#include "../common/options.h"
#include "../common/kovhook.h"

#define HOME_PATH_SIZE   260

// How the main window appears at start (Minimize).
#define STARTUP_SHOWN        0
#define STARTUP_HIDDEN       1
#define STARTUP_NOTRAYICON   2

#define TRAY_ICON_ID     0

extern HINSTANCE hInst;
extern HWND  hwndKov;
extern const char szAppName[];
extern OptionsRecord *Opt;
extern ExceptionList *Xcept;
extern KovShared *Shared;   // the desktop-wide record
extern char  HomePath[HOME_PATH_SIZE];
extern char  szOptIniName[HOME_PATH_SIZE];
extern char  szXceptIniName[HOME_PATH_SIZE];
extern char  szHelpFile[HOME_PATH_SIZE];
extern int   Minimize;
extern int   Suspend;
extern int   HookIsLoaded;
extern int   IsDBCS;
extern DWORD WinMajorVersion;

// startup.cpp
int  SaveHomePath(HINSTANCE instance);   // -1: a file name would not fit
void InitSystemParams(void);
void RemoveRecentDocuments(void);

// args.cpp
#define ARGS_MESSAGE_SIZE 200
#define PAUSE_MAX_SECONDS 600
struct StartupArgs {
    int Minimize;
    int Suspend;
    int DebugLevel;
    int PauseSeconds;
};
int  ScanArgs(const char *cmdLine, StartupArgs *args, char *message, int messageSize);
int  ProcessArgs(const char *cmdLine, HWND owner);

// config.cpp
int  InitializeOptions(void);
void SetDefaultOptions(OptionsRecord *options);
void SetDefaultUserCmd(OptionsRecord *options);
void SetDefaultXceptions(ExceptionList *list);
void CheckForOptionsVersionUpdate(OptionsRecord *options);
void ParseXceptions(const char *bytes, int length, ExceptionList *list);
int  SaveOptions(void);
int  SaveXceptions(void);
int  GetWindowsDirectoryPath(char *path, int size, const char *file);
int32_t MaxEdgeOffset(void);

// safefile.cpp
int  WriteWholeFile(const char *path, const void *bytes, DWORD size);   // 0, or -1
// Where a save was cut off between removing the old file and renaming the
// new one, the new one (kovopt.new) takes the file's name.
void RecoverWholeFile(const char *path);
// The renames the save uses: the system's, or a test's stand-ins (Wine
// always has the replacing one).
extern BOOL (WINAPI *MoveFileExCS)(LPCSTR from, LPCSTR to, DWORD flags);
extern BOOL (WINAPI *MoveFileCS)(LPCSTR from, LPCSTR to);

// mainwnd.cpp
LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void RememberOpenDialog(int dialogId, HWND dialog);

// companion.cpp
const char *CompanionSwitch(const char *cmdLine);   // the main's process id, or NULL
int  RunCompanion(HINSTANCE instance, const char *mainProcessId);
void StartCompanionIfAny(HWND hwnd);
void TellCompanion(int command);
bool OnWatchTimer(HWND hwnd, WPARAM id);
// Releases the companion's frames and then the main's (asking at most once
// about disabled windows); 0 when either was refused, both then go on.
int  ReleaseAll(BOOL force);
#define COMPANION_ENABLE_COMMAND 1

// tray.cpp
void MakeTrayIcon(HWND hwnd, UINT id, HICON icon);
BOOL DeleteTrayIcon(HWND hwnd, UINT id);
void ShowTrayMenu(HWND hwnd, BOOL full);

// about.cpp
int  DisplayHelpFile(HWND owner);
INT_PTR CALLBACK AboutDlgBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// optdlg.cpp
extern "C" INT_PTR CALLBACK OptionsDlgBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
