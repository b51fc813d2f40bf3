// Messages the probe programs' windows answer (see probe.cpp).
#ifndef KOV_PROBEAPI_H
#define KOV_PROBEAPI_H

#define PROBE_QUERY_MSG   "KovProbeQuery"
#define PROBE_PING_MSG    "KovProbePing"
#define PROBE_FREEZE_MSG  "KovProbeFreeze"
#define PROBE_PONG_EVENT  "KovProbePong%u"

// Query wParam: 1 when the window's procedure is no longer the probe's own.
#define PROBE_QUERY_SUBCLASSED 1

#endif
