// The command line of kovw: /NM, /S, /Pnn and /Dn.
#include "kovw.h"
#include "../common/strutil.h"
#include "../hook/debuglog.h"

#include <ctype.h>
#include <limits.h>

static const char UsageText[] =
    "\nValid Options:\n /NM\t- no minimize on start\n /S\t- suspend on start\n"
    " /Pnn\t- pause nn seconds on load";
static const char Ellipsis[] = "...";

static bool IsSeparator(char c)
{
    return c == ' ' || c == '/' || c == '-';
}

// Reads the digits at *p (none gives 0), saturating instead of overflowing,
// and leaves *p behind them.
static int ReadNumber(const char **p)
{
    long long value = 0;
    while (isdigit((unsigned char)**p)) {
        if (value < INT_MAX)
            value = value * 10 + (**p - '0');
        (*p)++;
    }
    return value > INT_MAX ? INT_MAX : (int)value;
}

static int ReadPause(const char *p)
{
    bool negative = *p == '-';
    if (negative)
        p++;
    int seconds = ReadNumber(&p);
    if (negative)
        return 0;
    return seconds > PAUSE_MAX_SECONDS ? PAUSE_MAX_SECONDS : seconds;
}

// Applies the options of cmdLine to args. Returns 1 when an option was
// invalid; message then holds the complete text for the user, cut so that
// the usage text always fits.
int ScanArgs(const char *cmdLine, StartupArgs *args, char *message, int messageSize)
{
    const char *p = cmdLine ? cmdLine : "";
    int invalid = 0;
    CopyString(message, messageSize, "Option: ");

    while (*p && !IsSeparator(*p))
        p++;
    while (*p) {
        char c = (char)toupper((unsigned char)*p);
        if (IsSeparator(c)) {
            p++;
            continue;
        }
        if (c == 'D') {
            p++;
            args->DebugLevel = ReadNumber(&p);
            continue;
        }
        if (c == 'N' && toupper((unsigned char)p[1]) == 'M') {
            args->Minimize = STARTUP_SHOWN;
            p += 2;
            continue;
        }
        if (c == 'P') {
            args->PauseSeconds = ReadPause(p + 1);
            break;
        }
        if (c == 'S') {
            if (args->Minimize != STARTUP_NOTRAYICON)
                args->Suspend = 1;
            p++;
            continue;
        }
        // Invalid: quote the line from the character before it.
        invalid = 1;
        AppendString(message, messageSize, p - 1);
        AppendString(message, messageSize, " ");
        p++;
        while (*p && *p != '/' && *p != '-')
            p++;
    }
    if (!invalid)
        return 0;

    int room = messageSize - 1 - (int)(sizeof(UsageText) - 1);
    if (room < (int)sizeof(Ellipsis))
        room = (int)sizeof(Ellipsis);
    if ((int)strlen(message) > room)
        CopyString(message + room - (sizeof(Ellipsis) - 1), sizeof(Ellipsis), Ellipsis);
    AppendString(message, messageSize, UsageText);
    return 1;
}

int ProcessArgs(const char *cmdLine, HWND owner)
{
    StartupArgs args = {Minimize, Suspend, DebugLevelCS, 0};
    char message[ARGS_MESSAGE_SIZE];
    int invalid = ScanArgs(cmdLine, &args, message, sizeof(message));
    Minimize = args.Minimize;
    Suspend = args.Suspend;
    DebugLevelCS = args.DebugLevel;
    if (args.PauseSeconds > 0)
        Sleep((DWORD)args.PauseSeconds * 1000);
    if (invalid)
        MessageBoxA(owner, message, "Kov Startup Options", MB_OK);
    return invalid;
}
