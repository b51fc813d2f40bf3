// Action codes: stored in the options record, offered by the options dialog,
// posted by the mouse hook and kovw, used as the control ids of the title-bar
// buttons and as the resource ids of their 16-pixel glyphs.
#ifndef KOV_ACTIONS_H
#define KOV_ACTIONS_H

#define ACTION_NONE         0x7000
#define ACTION_CLOSE        0x7001
#define ACTION_STARTMENU    0x7003
#define ACTION_MAXRESTORE   0x7008
#define ACTION_MINIMIZE     0x7009
#define ACTION_HIDE         0x700A
#define ACTION_TASKLIST     0x700E
#define ACTION_USERCMD      0x7010
#define ACTION_ROLLUP       0x7046
#define ACTION_MINALL       0x7053
#define ACTION_UNDOMINALL   0x7054
#define ACTION_SCROLLPAGE   0x7104
#define ACTION_SCROLLPAGES  0x7105
#define ACTION_SCROLLLINE   0x7106

// Where a KM_ACTION request comes from (its lParam).
#define SOURCE_BUTTON       1   // title-bar button, task-list entry or kovw
#define SOURCE_MOUSE        2   // mouse gesture or auto-scroll tick

#endif
