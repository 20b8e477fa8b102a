/* An image-judge test module: Qdr_ImageJudgeValue reads the BMP file it is
   given and scores it with the mean of its pixel bytes (everything after the
   1,078 bytes of headers and palette). It returns 0 for a file that starts
   with "BM", 2 for one that does not, 1 for one without pixels and -1 when the
   file cannot be opened, so tests choose the outcome through the pixels. */
#include <windows.h>

#define EXPORT __declspec(dllexport)
#define PIXEL_OFFSET 1078u

EXPORT int Qdr_ImageJudge(void) { return 0; }
EXPORT int Qdr_ImageJudgeScore(void) { return 0; }
EXPORT int Qdr_ImageJudgeValueB(void) { return 0; }

EXPORT int Qdr_ImageJudgeValue(const char* path, int* value) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return -1;
    unsigned char chunk[1024];
    unsigned char signature[2] = {0, 0};
    DWORD got = 0;
    unsigned offset = 0, sum = 0, count = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, NULL) && got > 0) {
        for (DWORD i = 0; i < got; ++i, ++offset) {
            if (offset < 2) signature[offset] = chunk[i];
            if (offset >= PIXEL_OFFSET) {
                sum += chunk[i];
                ++count;
            }
        }
    }
    CloseHandle(file);
    if (count == 0) return 1;
    *value = (int)(sum / count);
    return (signature[0] == 'B' && signature[1] == 'M') ? 0 : 2;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) { return TRUE; }
