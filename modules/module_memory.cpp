// The memory routines the compiler may call in our algorithm module DLLs,
// which link no C runtime. Compiled into each DLL, never into the control;
// built with -fno-tree-loop-distribute-patterns, so these loops stay loops.
#include <stddef.h>

extern "C" void* memset(void* dst, int value, size_t n) {
    unsigned char* d = static_cast<unsigned char*>(dst);
    while (n--) *d++ = static_cast<unsigned char>(value);
    return dst;
}

extern "C" void* memcpy(void* dst, const void* src, size_t n) {
    unsigned char* d = static_cast<unsigned char*>(dst);
    const unsigned char* s = static_cast<const unsigned char*>(src);
    while (n--) *d++ = *s++;
    return dst;
}

extern "C" void* memmove(void* dst, const void* src, size_t n) {
    unsigned char* d = static_cast<unsigned char*>(dst);
    const unsigned char* s = static_cast<const unsigned char*>(src);
    if (d < s) {
        while (n--) *d++ = *s++;
    } else {
        while (n--) d[n] = s[n];
    }
    return dst;
}
