#include "strings.h"
#include "../common/messages.h"
#include "../common/strutil.h"

const char *SID_SUSPEND = "&Suspend";
const char *SID_ENABLE = "&Enable";
const char *SID_OPTIONS = "&Options";
const char *SID_SHOWKOV = "Show &Kov";
const char *SID_MINALL = "&Minimize all";
const char *SID_UNMINALL = "&Undo minimize all";
const char *SID_MBTBAR_WARNING = "Kov Warning";
const char *SID_MB_NOHELP = "Cannot find README.KOV file.";
const char *SID_MB_NOHISTORY = "Cannot find HISTORY.DOC file.";
const char *SID_MBTBAR_NEWOPTIONS = "Kov Update Configuration";
const char *SID_MB_NEWOPTIONS =
    "Your previous configuration will be preserved.\nView new changes (history.doc) with Notepad?";
const char *SID_MB_ACCESS =
    "You will not be able to access Kov if you have Suspend and Hide on startup and "
    "Remove from tasklist. Save cancelled.";
const char *SID_MB_CMDNOTFOUND = "User command not found. Leave blank to disable. Save cancelled.";
const char *SID_MB_EDGEOFFSET =
    "Pels from edge of titlebar must be a number from 0 to %d (the screen width). Save cancelled.";
const char *SID_MBTBAR_ERROR = "Kov Error";
const char *SID_MB_HOMETOOLONG =
    "The path of the folder Kov was started from is too long for its settings files. "
    "Move Kov to a folder with a shorter path.";

const char *SID_MB_OTHERLAYOUT =
    "Another version of Kov is running on this desktop. Close it, then start this one again.";
const char *SID_MB_NOSHARED = "Kov cannot make the settings it shares with every program.";
const char *SID_MB_NOTOWN =
    "Another user's program holds what Kov shares with the programs of this desktop, so Kov does not "
    "start. Sign out and in again, then start Kov.";
const char *SID_MB_COMPANIONGONE = "The " KOV_OTHER_ARCH_TEXT " part of Kov has stopped several "
                                   "times and is not started again: windows of " KOV_OTHER_ARCH_TEXT
                                   " programs get no buttons.";

int StringMessageBox(HWND owner, const char *text, const char *caption, UINT type)
{
    char textBuffer[SMB_TEXT_SIZE];
    char captionBuffer[SMB_CAPTION_SIZE];
    CopyString(textBuffer, sizeof(textBuffer), text);
    CopyString(captionBuffer, sizeof(captionBuffer), caption);
    return MessageBoxA(owner, textBuffer, captionBuffer, type);
}
