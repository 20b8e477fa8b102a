# 32-bit Windows (the shipping target) with the -posix thread-model compilers.
set(TAVRIK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/x86-float.cmake)
string(JOIN " " CMAKE_C_FLAGS_INIT ${TAVRIK_X86_FLOAT_FLAGS})
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT}")
