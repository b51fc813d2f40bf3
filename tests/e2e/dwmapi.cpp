// The DWM as the programs in its folder see it: composition on, and a window cloaked while it has the probes'
// property. Wine's own answers nothing.
#include <windows.h>

#include "probe.h"

extern "C" __declspec(dllexport) HRESULT WINAPI DwmIsCompositionEnabled(BOOL *on) { return *on = TRUE, S_OK; }

extern "C" __declspec(dllexport) HRESULT WINAPI DwmGetWindowAttribute(HWND hwnd, DWORD attribute, void *value, DWORD size)
{
    if (attribute != 14 /* DWMWA_CLOAKED */ || size != sizeof(DWORD))
        return E_NOTIMPL;
    return *(DWORD *)value = GetPropA(hwnd, PROBE_CLOAKED) ? 1 : 0, S_OK;
}
