// Window handles in records that other processes read, of either
// architecture: kept as 32-bit values, which is all a handle carries between
// 32- and 64-bit programs. In, the low half; out, sign-extended, as the
// system's own conversions do (a zero-extended 0xFFFFxxxx is another handle).
#ifndef KOV_HANDLES_H
#define KOV_HANDLES_H

#include <windows.h>
#include <stdint.h>

inline uint32_t HandleTo32(const void *handle) { return (uint32_t)HandleToLong(handle); }
inline HWND HwndFrom32(uint32_t value) { return (HWND)LongToHandle((LONG)value); }

#endif
