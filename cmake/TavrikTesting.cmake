# tavrik_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>] [NATIVE_ONLY] [WINDOWS_ONLY])
#
# Builds one GoogleTest program. Natively every test case becomes its own CTest
# test. In a Windows build the whole program is one CTest test run under Wine
# (through CMAKE_CROSSCOMPILING_EMULATOR) and writes a GoogleTest XML report
# into ${TAVRIK_TEST_REPORT_DIR}, from which scripts/test counts the cases.
enable_testing()
include(GoogleTest)
set(TAVRIK_TEST_REPORT_DIR ${CMAKE_BINARY_DIR}/test-reports)
file(MAKE_DIRECTORY ${TAVRIK_TEST_REPORT_DIR})

function(tavrik_add_test name)
  cmake_parse_arguments(T "NATIVE_ONLY;WINDOWS_ONLY" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if((T_NATIVE_ONLY AND WIN32) OR (T_WINDOWS_ONLY AND NOT WIN32))
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main Threads::Threads)
  # GCC 12 reports false maybe-uninitialized warnings inside std::regex and std::function.
  target_compile_options(${name} PRIVATE -Wno-maybe-uninitialized)
  if(name IN_LIST TAVRIK_SKIP_TESTS)
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)  # the target stays for later settings
    return()
  endif()
  if(WIN32)
    add_test(NAME ${name}
             COMMAND ${name} --gtest_output=xml:Z:${TAVRIK_TEST_REPORT_DIR}/${name}.xml)  # Wine maps / to Z:
    set_tests_properties(${name} PROPERTIES LABELS "wine;${T_LABELS}" TIMEOUT 600)
  else()
    set(properties TIMEOUT 300)
    if(T_LABELS)
      list(APPEND properties LABELS "${T_LABELS}")
    endif()
    set(filter)
    if(TAVRIK_SKIP_TEST_CASES)
      set(filter TEST_FILTER "-${TAVRIK_SKIP_TEST_CASES}")
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 ${filter} PROPERTIES ${properties})
  endif()
endfunction()

# tavrik_add_script_test(<name> COMMAND <command...>): a test that is not a
# GoogleTest program (a script host, an inspection of a built file); counts once.
function(tavrik_add_script_test name)
  cmake_parse_arguments(T "" "" "COMMAND;LABELS" ${ARGN})
  add_test(NAME ${name} COMMAND ${T_COMMAND})
  set_tests_properties(${name} PROPERTIES LABELS "script;${T_LABELS}" TIMEOUT 600)
endfunction()
