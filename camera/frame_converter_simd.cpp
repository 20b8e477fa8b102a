// The conversion loops with SSE2 (every build target has it) and, for the
// triple expansion, SSSE3's byte shuffle when the CPU reports it; the plain
// loops finish every run's remainder and stand in for SSSE3 on older CPUs.
#include "camera/frame_kernels.h"

#include <cpuid.h>
#include <emmintrin.h>
#include <tmmintrin.h>

#include <cstring>

// The 32-bit streaming threads may enter with a 4-byte aligned stack; the
// vector code realigns it before it spills a register.
#if defined(__i386__)
#define TAVRIK_VECTOR_ENTRY __attribute__((force_align_arg_pointer))
#else
#define TAVRIK_VECTOR_ENTRY
#endif

namespace camera::kernels {
namespace {

bool CpuHasSsse3() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_SSSE3) != 0;
}

// Sixteen luma samples from 32 YUY2 bytes: the even bytes, packed.
inline __m128i Luma16(const uint8_t* yuy2) {
    const __m128i even = _mm_set1_epi16(0x00FF);
    const __m128i a = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(yuy2)), even);
    const __m128i b = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(yuy2 + 16)), even);
    return _mm_packus_epi16(a, b);
}

inline __m128i ReverseBytes(__m128i x) {
    x = _mm_shuffle_epi32(x, _MM_SHUFFLE(0, 1, 2, 3));
    x = _mm_shufflelo_epi16(x, _MM_SHUFFLE(2, 3, 0, 1));
    x = _mm_shufflehi_epi16(x, _MM_SHUFFLE(2, 3, 0, 1));
    return _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
}

// Byte k of the 48 output bytes of sixteen pixels takes luma k / 3 (forwards)
// or 15 - k / 3 (mirrored); three shuffle masks of 16 bytes each.
struct ExpandMasks {
    alignas(16) uint8_t forward[48];
    alignas(16) uint8_t mirrored[48];
    ExpandMasks() {
        for (int k = 0; k < 48; ++k) {
            forward[k] = static_cast<uint8_t>(k / 3);
            mirrored[k] = static_cast<uint8_t>(15 - k / 3);
        }
    }
};
const ExpandMasks kMasks;

__attribute__((target("ssse3"))) inline void Store48(__m128i luma, const uint8_t* masks, uint8_t* out) {
    for (int r = 0; r < 3; ++r) {
        const __m128i mask = _mm_load_si128(reinterpret_cast<const __m128i*>(masks + 16 * r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * r), _mm_shuffle_epi8(luma, mask));
    }
}

__attribute__((target("ssse3"))) TAVRIK_VECTOR_ENTRY size_t ExpandSsse3(const uint8_t* luma, size_t count,
                                                                        uint8_t* out, bool mirrored) {
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + i));
        if (mirrored) Store48(v, kMasks.mirrored, out - 3 * i - 48);
        else Store48(v, kMasks.forward, out + 3 * i);
    }
    return i;
}

size_t ExpandVector(const uint8_t* luma, size_t count, uint8_t* out, bool mirrored) {
    static const bool ssse3 = CpuHasSsse3();
    return ssse3 ? ExpandSsse3(luma, count, out, mirrored) : 0;
}

}  // namespace

TAVRIK_VECTOR_ENTRY void GatherLuma(const uint8_t* yuy2, size_t count, uint8_t* out) {
    size_t i = 0;
    for (; i + 16 <= count; i += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), Luma16(yuy2 + 2 * i));
    for (; i < count; ++i) out[i] = yuy2[2 * i];
}

TAVRIK_VECTOR_ENTRY void GatherLumaMirrored(const uint8_t* yuy2, size_t count, uint8_t* end) {
    size_t i = 0;
    for (; i + 16 <= count; i += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(end - i - 16), ReverseBytes(Luma16(yuy2 + 2 * i)));
    for (; i < count; ++i) end[-1 - static_cast<ptrdiff_t>(i)] = yuy2[2 * i];
}

void ExpandGray(const uint8_t* luma, size_t count, uint8_t* out) {
    for (size_t i = ExpandVector(luma, count, out, false); i < count; ++i)
        std::memset(out + 3 * i, luma[i], 3);
}

void ExpandGrayMirrored(const uint8_t* luma, size_t count, uint8_t* end) {
    for (size_t i = ExpandVector(luma, count, end, true); i < count; ++i)
        std::memset(end - 3 * (i + 1), luma[i], 3);
}

}  // namespace camera::kernels
