// Where a frame's own caption boxes are, as the frame itself reports them
// (caption.cpp). The deciding steps take the answers as values, so that
// they can be tried with answers no system here gives.
#ifndef KOV_CAPTION_H
#define KOV_CAPTION_H

#include <windows.h>
#include "sysapi.h"

enum CaptionSource {
    CAPTION_CLASSIC,        // nothing answered: the metrics decide, as always
    CAPTION_TITLEBARINFO,   // WM_GETTITLEBARINFOEX
    CAPTION_DWM,            // the composited frame's caption-button bounds
    CAPTION_HITTEST,        // WM_NCHITTEST along the caption
};

// The leftmost box a frame names, in screen coordinates; a frame that
// answers but names no box gets an empty box at its caption band's right end.
struct CaptionReport {
    int  source;
    RECT box;
};

// A value no answer puts into the record: what is still there was not
// answered.
#define TITLEBAR_UNANSWERED ((LONG)0x80000001)
void PrefillTitleBarInfo(TitleBarInfoEx *info);
bool BoxesFromTitleBarInfo(const TitleBarInfoEx &info, const RECT &window, RECT *box);
// bounds: DWMWA_CAPTION_BUTTON_BOUNDS, relative to the window rectangle.
bool BoxesFromDwm(const RECT &bounds, const RECT &window, RECT *box);

// One hit-test answer at a screen point.
typedef LRESULT (*HitTestFn)(void *context, int x, int y);
// Walks the caption's row from the window's right edge to the left: the
// first box must start within reach of the edge; the walk ends gap pixels
// past the last box. The box found last is measured up and down.
bool BoxesFromHitTests(HitTestFn hitTest, void *context, const RECT &window, int row, int reach,
                       int gap, RECT *box);

// Whether boxes found by hit-testing are the classic ones, which the metrics
// place well: not left of the classic place by more than a quarter button
// (hit-testing may count a box's edge in) and of the classic height, give or
// take a quarter. A box further right is one the hit-test does not report
// (the help box on some systems): the classic place stands there too.
bool IsClassicPlace(const RECT &box, int classicLeft, int cxClassic, int cyClassic);

// Asks the frame (from its own thread) in the order above, the first that
// answers. row, reach, gap: for hit-testing (see BoxesFromHitTests).
CaptionReport MeasureCaption(HWND hwnd, const RECT &window, int row, int reach, int gap);

// A group kept within the work area of its maximized frame's monitor, whose
// frame reaches past it by its border.
RECT KeepInArea(RECT group, const RECT &area);

#endif
