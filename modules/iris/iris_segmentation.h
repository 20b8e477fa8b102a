/* Pupil and iris segmentation of an 8-bit gray eye image of any size,
   shared by the iris algorithm module (720 x 720 windows) and the
   image-judge module (640 x 480 views). Plain C interface, deterministic,
   no allocation: the caller hands over a workspace of IrisWorkspaceBytes. */
#ifndef TAVRIK_IRIS_SEGMENTATION_H
#define TAVRIK_IRIS_SEGMENTATION_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct IrisImage {
    const uint8_t* pixels; /* top row first */
    int width, height, stride;
} IrisImage;

typedef struct IrisSegmentation {
    int found;                        /* 1 when a pupil and an iris were found */
    int partial;                      /* not found, but a pupil with weak edges was: a covered eye */
    float pupilX, pupilY, pupilRadius;
    float irisX, irisY, irisRadius;   /* limbus circle */
    int openingPercent;   /* visible iris height along the centre column / diameter, 0..100 */
    int upperLidY, lowerLidY;         /* lid margin rows on the iris centre's column, -1 none */
    int upperCoveredPermille;         /* iris disc above the centre hidden by the upper lid */
    int lowerCoveredPermille;         /* iris disc below the centre hidden by the lower lid */
    int glarePermille;                /* reflections over the visible iris ring (far above its level) */
    int saturatedPermille;            /* pixels at 250 or more on the iris ring (pupil left out) */
    int irisMean;                     /* mean gray of the visible iris ring */
    int pupilMean;                    /* mean gray inside the pupil */
    int scleraMean;                   /* mean gray just outside the limbus, left and right */
    int sharpness;                    /* focus figure of the iris ring, 0..1000 */
    int edgeFocus;                    /* steepness of the pupil edge, 0..1000 */
    int pupilSupport;                 /* edge points on the pupil circle, of 128 rays */
    int limbusSupport;                /* rays with an edge on the limbus, of the 48 lateral rays */
    int limbusEvidence;               /* mean saturated step across the limbus, x 10 */
    /* Whole-image figures, written even when nothing was found. */
    int imageMean;                    /* mean gray of the image */
    int imageSaturatedPermille;       /* pixels at 250 or more */
} IrisSegmentation;

typedef struct IrisHints {
    float minIrisRadius, maxIrisRadius; /* 0, 0: the default range for the image size */
} IrisHints;

/* Bytes of workspace for images up to width x height. */
size_t IrisWorkspaceBytes(int width, int height);

/* Segments `image` into `out` (always fully written). Returns 1 when found,
   0 when no iris was found, -1 for bad arguments or too small a workspace.
   `hints` may be null. */
int IrisSegment(const IrisImage* image, const IrisHints* hints, void* workspace,
                size_t workspaceBytes, IrisSegmentation* out);

/* Steepness of the pupil edge of the circle (x, y, r): on 128 rays, the
   largest one-pixel rise across the edge over the whole step, median x 1000
   (0..1000); rays through a reflection or without a 20-level step are left
   out, 0 when fewer than 16 remain. A focused edge rises over 1 to 3 px;
   defocus, and a streak across most of the edge, spread it over many. */
int IrisPupilEdgeSteepness(const IrisImage* image, float x, float y, float r);

/* Unwraps the ring between pupil and limbus into `out` (side x side bytes):
   row r = radius from the pupil edge (row 0) to the limbus (row side-1),
   column a = angle a * 360 / side degrees, counter-clockwise from +x with y
   up (image rows grow down). Pixels outside the image are 0. */
void IrisUnwrap(const IrisImage* image, const IrisSegmentation* seg, uint8_t* out, int side);

#ifdef __cplusplus
}
#endif

#endif
