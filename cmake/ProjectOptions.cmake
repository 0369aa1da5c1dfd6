# Compile and link settings every target of the project shares.
add_library(tessarin_options INTERFACE)
target_compile_definitions(tessarin_options INTERFACE
  UNICODE _UNICODE
  _WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600
  WIN32_LEAN_AND_MEAN NOMINMAX
  # mingw's own printf family everywhere: C99 format semantics, so wide
  # strings in wide formats are written "%ls".
  __USE_MINGW_ANSI_STDIO=1)
target_compile_options(tessarin_options INTERFACE
  -Wall -Wextra -Wno-unknown-pragmas
  $<$<CONFIG:Release>:-O2>)
target_link_options(tessarin_options INTERFACE -static)

# Boost comes from Debian's headers. Only a folder holding a "boost" link
# goes on the include path: /usr/include itself would pull in glibc headers.
set(TESSARIN_BOOST_ROOT ${CMAKE_BINARY_DIR}/boost-include)
file(MAKE_DIRECTORY ${TESSARIN_BOOST_ROOT})
if(NOT EXISTS ${TESSARIN_BOOST_ROOT}/boost)
  file(CREATE_LINK /usr/include/boost ${TESSARIN_BOOST_ROOT}/boost SYMBOLIC)
endif()
target_include_directories(tessarin_options SYSTEM INTERFACE ${TESSARIN_BOOST_ROOT})
target_include_directories(tessarin_options INTERFACE ${PROJECT_SOURCE_DIR})

# A library of one subsystem: every .cpp file of the folder. It links only
# libraries of its own layer or below (scripts/include-graph checks the
# includes).
function(tessarin_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC tessarin_options ${ARGN})
endfunction()

# A console program with a wide-character entry point.
function(tessarin_console_program name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  target_link_libraries(${name} PRIVATE tessarin_options ${P_LIBS})
  target_link_options(${name} PRIVATE -municode)
endfunction()
