# 64-bit Windows with the -posix thread-model mingw-w64 compilers.
set(TAVRIK_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
