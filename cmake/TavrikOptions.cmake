# Build options shared by every preset.
set(TAVRIK_SANITIZE "" CACHE STRING "Native sanitizers: empty, 'address' (with undefined) or 'thread'")
option(TAVRIK_BUILD_TESTS "Build the test programs" ON)
option(TAVRIK_BUILD_BENCHMARKS "Build the benchmarks (native only)" OFF)
option(TAVRIK_VIRTUAL_MCU "Link the control to the virtual K7Q microcontroller instead of hidapi" OFF)
# Test programs a tree builds on request only and never runs, and test cases
# it leaves out, for what cannot run there or takes too long there (the
# 32-bit tree under qemu-i386 lists a few).
set(TAVRIK_SKIP_TESTS "" CACHE STRING "Test programs this tree neither builds by default nor runs (a list)")
set(TAVRIK_SKIP_TEST_CASES "" CACHE STRING "GoogleTest patterns (a:b:c) of test cases this tree does not run")

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "" FORCE)
endif()

if(MSVC)
  message(FATAL_ERROR "Tavrik builds with g++ natively and mingw-w64 for Windows")
endif()
add_compile_options(-Wall -Wextra -Wno-unused-parameter)

if(WIN32)
  # Windows 7 API level, ANSI entry points as the control uses them.
  add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
elseif(TAVRIK_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(TAVRIK_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT TAVRIK_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TAVRIK_SANITIZE must be empty, 'address' or 'thread'")
endif()
