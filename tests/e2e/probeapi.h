// Messages the probe programs' windows answer (see probe.cpp).
#ifndef KOV_PROBEAPI_H
#define KOV_PROBEAPI_H

#define PROBE_QUERY_MSG   "KovProbeQuery"
#define PROBE_PING_MSG    "KovProbePing"
#define PROBE_FREEZE_MSG  "KovProbeFreeze"
#define PROBE_PONG_EVENT  "KovProbePong%u"

// Query wParam: 1 when the window's procedure is no longer the probe's own.
#define PROBE_QUERY_SUBCLASSED 1
// Query wParam: how many of these messages the window's own procedure saw.
#define PROBE_QUERY_SIZES       2   // WM_SIZE
#define PROBE_QUERY_MENUPOPUPS  3   // WM_INITMENUPOPUP
#define PROBE_QUERY_COMMANDS    4   // WM_COMMAND
#define PROBE_QUERY_RIGHTCLICKS 5   // WM_RBUTTONDOWN
#define PROBE_QUERY_MIDDLECLICKS 6  // WM_MBUTTONDOWN
#define PROBE_QUERY_NULLS       7   // the library's spent message (0x6F00)
#define PROBE_QUERY_ACTIONS    10   // of those, the spent actions (their wParam
                                    // is still the action code)
#define PROBE_QUERY_LASTHEIGHT  8   // height in the last WM_SIZE
#define PROBE_QUERY_SHIFT       9   // whether Shift is down, as the probe sees it
#define PROBE_QUERY_CTRL       11   // whether Ctrl is down, as the probe sees it

#endif
