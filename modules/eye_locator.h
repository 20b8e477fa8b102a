// The built-in eye locator: finds one eye, or a pair of eyes, in an 8-bit gray
// camera frame and cuts a fixed-size window around a found eye. One
// process-wide instance; callers serialise every call (the device object holds
// ModuleLock). Rectangles are four 32-bit integers: left, top, right, bottom,
// in frame pixels.
#pragma once

#include <cstdint>

// EyeLocatorInit: 0; -1 already initialised; -2 size not supported or out of
// memory (nothing is kept).
int32_t EyeLocatorInit(int32_t width, int32_t height);

// frame: width x height bytes, top row first. result: 8 integers, two
// rectangles; with one eye the second is all 0.
// Returns 1 (one eye), 2 (two eyes), 0 (none), -1 not initialised, -2 null
// frame or length <= 0, -68 null result, -69 length != width x height, or a
// stage's own negative code.
int32_t EyeLocatorDetect(const uint8_t* frame, int32_t length, int32_t* result);

// Copies a windowWidth x windowHeight window centred on rect (clamped into
// the frame) from frame into window. 0; -71 null argument; -72 a negative
// coordinate, right < left, bottom < top or a window larger than the frame;
// -73 the rectangle is as wide or as high as the window, or more.
int32_t EyeLocatorCrop(const uint8_t* frame, int32_t frameWidth, int32_t frameHeight, const int32_t* rect,
                       uint8_t* window, int32_t windowWidth, int32_t windowHeight);

// Frees the instance; it can be initialised again afterwards.
void EyeLocatorRelease();
