// kovw's process-wide state.
#include "kovw.h"

HINSTANCE hInst = 0;
HWND  hwndKov = 0;
const char szAppName[] = "KovMainWin";
OptionsRecord *Opt = 0;
ExceptionList *Xcept = 0;
KovShared *Shared = 0;
char  HomePath[HOME_PATH_SIZE];
char  szOptIniName[HOME_PATH_SIZE];
char  szXceptIniName[HOME_PATH_SIZE];
char  szHelpFile[HOME_PATH_SIZE];
int   Minimize = STARTUP_HIDDEN;
int   Suspend = 0;
int   HookIsLoaded = 0;
int   IsDBCS = 0;
DWORD WinMajorVersion = 0;
