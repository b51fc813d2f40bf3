// Bounded string helpers: every buffer is a limit. Each copies as much as
// fits, always terminates (for size > 0) and returns the resulting length.
#ifndef KOV_STRUTIL_H
#define KOV_STRUTIL_H

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

inline int CopyString(char *dst, int size, const char *src)
{
    if (size <= 0)
        return 0;
    int n = 0;
    while (n < size - 1 && src[n]) {
        dst[n] = src[n];
        n++;
    }
    dst[n] = 0;
    return n;
}

inline int AppendString(char *dst, int size, const char *src)
{
    int used = (int)strnlen(dst, size);
    if (used >= size)
        return used;
    return used + CopyString(dst + used, size - used, src);
}

inline int FormatString(char *dst, int size, const char *format, ...)
    __attribute__((format(ms_printf, 3, 4)));

inline int FormatString(char *dst, int size, const char *format, ...)
{
    if (size <= 0)
        return 0;
    va_list args;
    va_start(args, format);
    int n = _vsnprintf(dst, size - 1, format, args);
    va_end(args);
    dst[size - 1] = 0;
    return (n < 0 || n > size - 1) ? size - 1 : n;
}

#endif
