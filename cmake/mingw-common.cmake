# Shared part of the two mingw-w64 toolchain files; TAVRIK_MINGW_TRIPLE is set by the caller.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)
if(TAVRIK_MINGW_TRIPLE MATCHES "^x86_64")
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
else()
  set(CMAKE_SYSTEM_PROCESSOR x86)
endif()

set(CMAKE_C_COMPILER   ${TAVRIK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVRIK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${TAVRIK_MINGW_TRIPLE}-windres)
set(TAVRIK_WIDL        ${TAVRIK_MINGW_TRIPLE}-widl)

get_filename_component(_tavrik_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(TAVRIK_DEPS_PREFIX "${_tavrik_root}/.deps/install/${TAVRIK_MINGW_TRIPLE}")

set(CMAKE_FIND_ROOT_PATH /usr/${TAVRIK_MINGW_TRIPLE} ${TAVRIK_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static: the OCX and the test programs need no DLL that Windows lacks.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
