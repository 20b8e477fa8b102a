/* The sixteen entries of the iris algorithm module, C calling convention.
   The DLL exports them as f0...f15; the static build links them directly. */
#ifndef TAVRIK_VMCALIB_ENTRIES_H
#define TAVRIK_VMCALIB_ENTRIES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VMCALIB_VERSION "VmCaLib 1.0.0"

int32_t VmCaLib_f0(char* text, int32_t size);              /* version text */
int32_t VmCaLib_f1(const char* text, int32_t, int32_t);    /* initialise: 1 */
int32_t VmCaLib_f2(void);                                  /* release: 1 */
int32_t VmCaLib_f3(int32_t eye, int32_t mode, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e);
int32_t VmCaLib_f4(int32_t kind, void* input, void* output); /* detect the iris */
int32_t VmCaLib_f5(void);
int32_t VmCaLib_f6(void);
int32_t VmCaLib_f7(void);
int32_t VmCaLib_f8(void);
int32_t VmCaLib_f9(void);
int32_t VmCaLib_f10(void);
int32_t VmCaLib_f11(void);
int32_t VmCaLib_f12(void);
int32_t VmCaLib_f13(void);
int32_t VmCaLib_f14(void);
int32_t VmCaLib_f15(void);

#ifdef __cplusplus
}
#endif

#endif
