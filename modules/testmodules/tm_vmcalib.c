/* A stand-in for the iris algorithm module with its sixteen exports f0...f15.
   f0 writes a version text, f1 accepts initialisation, every other entry
   returns its own number. WITHOUT_F7 leaves f7 out, for the binding's
   failure path. */
#include <windows.h>

#define EXPORT __declspec(dllexport)

EXPORT int f0(char* text, int size) {
    static const char version[] = "tavrik-test 1.0";
    int i = 0;
    for (; i + 1 < size && version[i]; ++i) text[i] = version[i];
    if (size > 0) text[i] = 0;
    return 0;
}
EXPORT int f1(const char* text, int a, int b) { return 1; }
EXPORT int f2(void) { return 2; }
EXPORT int f3(int a, int b, int c, int d, int e, int f, int g) { return 3; }
EXPORT int f4(int a, void* input, void* output) { return 4; }
EXPORT int f5(void) { return 5; }
EXPORT int f6(void) { return 6; }
#ifndef WITHOUT_F7
EXPORT int f7(void) { return 7; }
#endif
EXPORT int f8(void) { return 8; }
EXPORT int f9(void) { return 9; }
EXPORT int f10(void) { return 10; }
EXPORT int f11(void) { return 11; }
EXPORT int f12(void) { return 12; }
EXPORT int f13(void) { return 13; }
EXPORT int f14(void) { return 14; }
EXPORT int f15(void) { return 15; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) { return TRUE; }
