// The DWM as the programs in its folder see it: composition on, a window cloaked while it has the probes'
// property, and in dark mode as its other property says. Wine's own answers nothing.
#include <windows.h>

#include "probe.h"

extern "C" __declspec(dllexport) HRESULT WINAPI DwmIsCompositionEnabled(BOOL *on) { return *on = TRUE, S_OK; }

extern "C" __declspec(dllexport) HRESULT WINAPI DwmGetWindowAttribute(HWND hwnd, DWORD attribute, void *value, DWORD size)
{
    INT_PTR dark = (INT_PTR)GetPropA(hwnd, PROBE_DARK);
    if (attribute == 1 /* DWMWA_NCRENDERING_ENABLED */ && size == sizeof(BOOL))
        return *(BOOL *)value = !GetPropA(hwnd, PROBE_OLD_FRAME), S_OK;
    if (attribute == 20 /* DWMWA_USE_IMMERSIVE_DARK_MODE */ && size == sizeof(DWORD) && dark)
        return *(DWORD *)value = (DWORD)(dark - 1), S_OK;
    if (attribute != 14 /* DWMWA_CLOAKED */ || size != sizeof(DWORD))
        return E_NOTIMPL;
    return *(DWORD *)value = GetPropA(hwnd, PROBE_CLOAKED) ? 1 : 0, S_OK;
}
