// Diagnostic log: one formatted line per message, appended to a fixed file
// when the message's level is within the current level. Compiled into both
// kovw and kovhook; each has its own level.
#ifndef KOV_DEBUGLOG_H
#define KOV_DEBUGLOG_H

#define DEBUG_LINE_SIZE 256

extern int DebugLevelCS;
extern const char *DebugFileCS;

void DebugMessageCS(int level, const char *format, ...)
    __attribute__((format(ms_printf, 2, 3)));
void DebugDeleteFileCS(void);

#endif
