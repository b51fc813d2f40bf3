// A test library that records, inside the process that opens it, every
// popup menu a thread is about to show: menus cannot be read from another
// process, so the spy reads them where they live and leaves the result in
// its shared section for the test.
#ifndef KOV_MENUSPY_H
#define KOV_MENUSPY_H

#include <windows.h>

#define SPY_MAX_ITEMS 64
#define SPY_TEXT_SIZE 128

struct SpyItem {
    UINT id;
    UINT type;    // MFT_ bits
    UINT state;   // MFS_ bits
    char text[SPY_TEXT_SIZE];
    RECT rect;    // on the screen, once the menu shows (else empty)
};

struct SpyMenu {
    LONG serial;  // counts the menus recorded
    LONG shown;   // the serial of the last menu whose item rectangles are known
    int count;
    int defaultId;
    SpyItem items[SPY_MAX_ITEMS];
};

extern "C" {
typedef HHOOK(SpyOnThreadFn)(DWORD threadId);
typedef const volatile SpyMenu *(SpyLastMenuFn)(void);
}

#endif
