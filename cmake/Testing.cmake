# GoogleTest from Debian's sources, built with the cross compiler; every test program
# runs under Wine through the crosscompiling emulator (cmake/wine-run).
enable_testing()
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# vyx_add_test(NAME SOURCES... [LIBS ...]): one test program, one CTest entry per arch.
# Tests share one Wine prefix (registry, simulated devices), so they never run in parallel.
function(vyx_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${ARG_LIBS})
    add_test(NAME ${name}_${VYX_ARCH} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name}_${VYX_ARCH} PROPERTIES RUN_SERIAL TRUE TIMEOUT ${ARG_TIMEOUT})
endfunction()
