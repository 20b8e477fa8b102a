// Sharpening of the 720x720 working image before iris detection.
#pragma once

#include <cstdint>

// dst = src, then every pixel off the outer border becomes
// clamp(2 * centre - (sum of its 8 neighbours >> 3), 0, 255).
// src and dst are distinct 720x720 buffers.
void Sharpen(const uint8_t* src, uint8_t* dst);
