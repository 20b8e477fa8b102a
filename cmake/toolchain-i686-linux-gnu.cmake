# 32-bit Linux (g++ -m32 from g++-multilib): the portable code and its native
# tests as i686 code, run under qemu-i386 because the kernel here runs no
# 32-bit programs. The float flags are those of the shipping i686 control.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
include(${CMAKE_CURRENT_LIST_DIR}/x86-float.cmake)
string(JOIN " " CMAKE_C_FLAGS_INIT -m32 ${TAVRIK_X86_FLOAT_FLAGS})
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT}")
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)

# JsonCpp built for -m32 by scripts/setup; everything else comes from the system.
set(TAVRIK_LINUX_I686 ON)
get_filename_component(_tavrik_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(TAVRIK_DEPS_PREFIX "${_tavrik_root}/.deps/install/i686-linux-gnu")
list(APPEND CMAKE_PREFIX_PATH ${TAVRIK_DEPS_PREFIX})
