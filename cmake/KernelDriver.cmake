# A kernel-mode driver (.sys) built from C sources. It links against the
# kernel and the HAL alone, so none of the project's usual options apply;
# the folder that calls this must also clear CMAKE_C_STANDARD_LIBRARIES
# (the user-mode default libraries).
function(tessarin_kernel_driver name)
  cmake_parse_arguments(D "" "OUTPUT_NAME" "SOURCES" ${ARGN})
  add_executable(${name} ${D_SOURCES})
  set_target_properties(${name} PROPERTIES OUTPUT_NAME ${D_OUTPUT_NAME} SUFFIX .sys C_STANDARD 99)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_include_directories(${name} SYSTEM PRIVATE /usr/${TESSARIN_TARGET}/include/ddk)
  target_compile_options(${name} PRIVATE -Wall -Wextra -ffreestanding -fno-stack-protector -mno-stack-arg-probe)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_compile_options(${name} PRIVATE -mno-red-zone)
    set(entry DriverEntry)
  else()
    set(entry _DriverEntry@8)
  endif()
  target_link_options(${name} PRIVATE
    -nostdlib -nostartfiles -Wl,--subsystem,native -Wl,--dynamicbase -Wl,--nxcompat -Wl,--entry,${entry})
  target_link_libraries(${name} PRIVATE ntoskrnl hal gcc)
endfunction()
