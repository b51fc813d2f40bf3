#include "debuglog.h"

#include <stdarg.h>
#include <stdio.h>
#include <windows.h>

int DebugLevelCS = 0;
const char *DebugFileCS = "c:\\temp\\debug.txt";

void DebugMessageCS(int level, const char *format, ...)
{
    if (level > DebugLevelCS)
        return;
    char line[DEBUG_LINE_SIZE];
    va_list args;
    va_start(args, format);
    // Truncates to 255 characters and always terminates.
    _vsnprintf(line, sizeof(line) - 1, format, args);
    line[sizeof(line) - 1] = 0;
    va_end(args);

    // Opened per message so lines from many processes interleave whole and
    // nothing is lost in a buffer when a process dies.
    FILE *file = fopen(DebugFileCS, "at");
    if (!file)
        return;
    fputs(line, file);
    fputs("\n", file);
    fclose(file);
}

void DebugDeleteFileCS(void)
{
    DeleteFileA(DebugFileCS);
}
