# Floating point on 32-bit x86 in the SSE2 registers, never on the x87 stack:
# the x87 keeps intermediates in 80 bits, so a float or double comparison
# (7.0f / 10.0f against 0.7) could come out differently from the x86-64
# build that the tests run. Every supported host has SSE2. The 32-bit
# toolchain files add these flags to every compile; compiler commands that
# CMake does not drive (DLLs built by custom commands) add them themselves.
set(TAVRIK_X86_FLOAT_FLAGS -msse2 -mfpmath=sse)
