/* The records of the iris algorithm module's detection entry
   f4(0, input, output), shared by the module and its caller.

   A record word is pointer-sized: 32 bits in the i686 module (the layout the
   entry has always had), 64 bits in our own x86_64 build, at the same
   indices. Plain C so that a C module can include it too. */
#ifndef TAVRIK_VMCALIB_RECORDS_H
#define TAVRIK_VMCALIB_RECORDS_H

#include <stdint.h>

typedef intptr_t VmCaWord;

/* Input record: seven words 2, 0, image, 0, 0, ROI, 0. */
enum {
    kVmInWords = 7,
    kVmInKind = 0,   /* 2: one 720 x 720 8-bit gray image, rows top-down */
    kVmInImage = 2,  /* const uint8_t* */
    kVmInRoi = 5,    /* const int32_t[4] left, top, right, bottom: a scale hint only */
    kVmInKindGray720 = 2
};

/* Output record: 39 words, zeroed by the caller. */
enum {
    kVmOutWords = 39,
    kVmOutText = 1,       /* char[512]: a one-line description, NUL-terminated */
    kVmOutIris = 4,       /* uint8_t[360 * 360]: the unwrapped iris ring */
    /* The detection (copied by the caller, whatever the result). */
    kVmOutKey = 17,       /* focus figure of the iris ring, 0..1000; higher is sharper */
    kVmOutOpening = 18,   /* eyelid opening degree, 0..100 (% of the iris diameter visible) */
    kVmOutPupilX = 19,    /* pupil centre x, image pixels */
    kVmOutPupilY = 20,    /* pupil centre y */
    kVmOutIrisGray = 21,  /* mean gray level of the visible iris ring, 0..255 */
    kVmOutGlare = 22,     /* reflections over the iris ring, per mille of its area */
    /* The circle. */
    kVmOutCentreX = 23,   /* iris centre x, image pixels */
    kVmOutCentreY = 24,   /* iris centre y */
    kVmOutOuterRadius = 25, /* iris (limbus) radius */
    kVmOutInnerRadius = 26, /* pupil radius */
    /* Extra figures. */
    kVmOutUpperLid = 27,  /* upper lid margin row on the iris centre's column, -1 none found */
    kVmOutLowerLid = 28,  /* lower lid margin row, -1 none found */
    kVmOutSaturated = 29, /* saturated pixels in the iris neighbourhood, per mille */
    kVmOutResult = 30     /* the entry's result, repeated */
};

enum {
    kVmTextBytes = 512,
    kVmIrisOutSide = 360, /* rows = radius steps from pupil to limbus, columns = angle */
    kVmIrisOutBytes = 360 * 360,
    kVmVersionBytes = 20  /* f0's buffer, terminator included */
};

/* Results of f4. Grouped as the voice prompts use them:
   {-1,-2,-20} no prompt, {-3..-6} position, {-7,-9,-12,-13,-14} distance and
   light, {-11} open the eye, {-17,-18,-19} lids. The trigger of each code is
   documented in docs/vmcalib.md with its measured rates. */
enum VmCaResult {
    kVmFound = 1,
    kVmNoIris = -1,          /* no pupil-iris pair in the image */
    kVmUnusable = -2,        /* iris found but the ring is out of focus */
    kVmOffLeft = -3,         /* iris centre x < 200 */
    kVmOffRight = -4,        /* iris centre x > 520 */
    kVmOffUp = -5,           /* iris centre y < 200 */
    kVmOffDown = -6,         /* iris centre y > 520 */
    kVmTooSmall = -7,        /* iris radius below the usable range: too far */
    kVmTooLarge = -9,        /* iris radius above the usable range: too close */
    kVmEyeNotOpen = -11,     /* opening degree below 40 */
    kVmTooDark = -12,        /* iris ring too dark */
    kVmSaturated = -13,      /* too many saturated pixels around the iris */
    kVmReflections = -14,    /* reflections cover too much of the iris ring */
    kVmUpperOcclusion = -17, /* upper lid or lashes cover too much of the iris */
    kVmLowerOcclusion = -18, /* lower lid covers too much of the iris */
    kVmSlightOcclusion = -19,/* a little occluded but usable */
    kVmBadArguments = -20,   /* null record, image or area, or a wrong kind */
    kVmNotSupported = -99    /* f5...f15 */
};

#endif
