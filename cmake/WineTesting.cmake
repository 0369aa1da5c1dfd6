# Test programs run under Wine in the project's own prefix. One Wine server is
# kept alive for the whole ctest run (fixture "wine"), so a test program starts
# in milliseconds instead of waiting for Wine's background processes.
find_package(Threads REQUIRED)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(TESSARIN_WINE_PREFIX "${PROJECT_SOURCE_DIR}/.cache/wineprefix" CACHE PATH "Wine prefix the tests run in")
set(TESSARIN_SHIP_X86_DIR "${PROJECT_SOURCE_DIR}/build/ship-x86" CACHE PATH "Shipped 32-bit build checked for Windows XP imports")

# The 32-bit test programs run in the same 64-bit prefix through the 32-bit
# loader, started by a script that reports them skipped (exit code 77) where
# this machine cannot start 32-bit programs.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TESSARIN_WINE_LOADER /usr/lib/wine/wine)
  set(TESSARIN_TEST_LAUNCHER ${PROJECT_SOURCE_DIR}/scripts/wine32-test)
else()
  set(TESSARIN_WINE_LOADER /usr/lib/wine/wine64)
  set(TESSARIN_TEST_LAUNCHER ${TESSARIN_WINE_LOADER})
endif()
set(TESSARIN_SKIP_EXIT_CODE 77)
# The 32-bit programs' tests are told apart by name in ctest's report.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TESSARIN_TEST_SUFFIX _x86)
else()
  set(TESSARIN_TEST_SUFFIX "")
endif()

set(TESSARIN_WINE_ENV
  /usr/bin/env -u http_proxy -u HTTP_PROXY -u https_proxy -u HTTPS_PROXY
  WINEPREFIX=${TESSARIN_WINE_PREFIX} WINEDEBUG=-all WINELOADER=${TESSARIN_WINE_LOADER})
set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSARIN_WINE_ENV} ${TESSARIN_TEST_LAUNCHER})

enable_testing()
# Wine's background processes (services, devices, desktop) inherit the
# output streams of the program that starts them, and ctest waits until a
# test's streams close. So the fixture starts the server and those processes
# with streams of their own; every test program then finds them running.
# A server already running for the prefix is used as it is.
add_test(NAME wine_server_start COMMAND ${TESSARIN_WINE_ENV} /bin/sh -c
  "/usr/lib/wine/wineserver64 -p >/dev/null 2>&1 </dev/null; /usr/lib/wine/wine64 wineboot >/dev/null 2>&1 </dev/null; exit 0")
add_test(NAME wine_server_stop COMMAND ${TESSARIN_WINE_ENV} /bin/sh -c
  "/usr/lib/wine/wineserver64 -k >/dev/null 2>&1; exit 0")
set_tests_properties(wine_server_start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_server_stop PROPERTIES FIXTURES_CLEANUP wine)

# One test program per subsystem; every gtest case runs inside it.
# NEEDS_32BIT: a 64-bit test program that starts 32-bit programs, reported
# skipped where the machine cannot start them.
function(tessarin_test_program name)
  cmake_parse_arguments(P "NEEDS_32BIT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  target_link_libraries(${name} PRIVATE tessarin_options ${P_LIBS} file_bytes GTest::gtest_main)
  if(P_NEEDS_32BIT)
    add_test(NAME ${name}${TESSARIN_TEST_SUFFIX} COMMAND ${PROJECT_SOURCE_DIR}/scripts/needs-wine32
      ${TESSARIN_WINE_ENV} ${TESSARIN_WINE_LOADER} $<TARGET_FILE:${name}> --gtest_brief=1)
  else()
    add_test(NAME ${name}${TESSARIN_TEST_SUFFIX} COMMAND ${name} --gtest_brief=1)
  endif()
  set_tests_properties(${name}${TESSARIN_TEST_SUFFIX} PROPERTIES
    FIXTURES_REQUIRED wine SKIP_RETURN_CODE ${TESSARIN_SKIP_EXIT_CODE})
endfunction()
