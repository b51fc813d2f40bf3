// The texts of kovw's run-time menus and message boxes. Code uses these
// pointers, never a copy of the literal.
#ifndef KOV_STRINGS_H
#define KOV_STRINGS_H

#include <windows.h>

#define SMB_TEXT_SIZE    256
#define SMB_CAPTION_SIZE 128

extern const char *SID_SUSPEND;
extern const char *SID_ENABLE;
extern const char *SID_OPTIONS;
extern const char *SID_SHOWKOV;
extern const char *SID_MINALL;
extern const char *SID_UNMINALL;
extern const char *SID_MBTBAR_WARNING;
extern const char *SID_MB_NOHELP;
extern const char *SID_MB_NOHISTORY;
extern const char *SID_MBTBAR_NEWOPTIONS;
extern const char *SID_MB_NEWOPTIONS;
extern const char *SID_MB_ACCESS;
extern const char *SID_MB_CMDNOTFOUND;
extern const char *SID_MB_EDGEOFFSET;    // a format: the screen width
extern const char *SID_MBTBAR_ERROR;
extern const char *SID_MB_HOMETOOLONG;
extern const char *SID_MB_OTHERLAYOUT;
extern const char *SID_MB_NOSHARED;
extern const char *SID_MB_NOTOWN;
extern const char *SID_MB_COMPANIONGONE;

int StringMessageBox(HWND owner, const char *text, const char *caption, UINT type);

#endif
