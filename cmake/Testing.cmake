# GoogleTest from Debian's sources, built with the cross compiler; every test program
# runs under Wine through the crosscompiling emulator (cmake/wine-run), in this tree's own
# Wine prefix, so the x64 and x86 trees can run their tests at the same time.
enable_testing()
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# The framework's own code takes microseconds of a test's time, and at -O1 half the compile.
target_compile_options(gtest PRIVATE -O1)

# What tests of one prefix share, and so must not use at the same time. Tests of the
# other tree never collide with these: their prefix holds its own copy of everything.
#   bus       the simulated USB devices (registry Enum keys and the simulator's switches)
#   filters   filter class keys and video-capture category entries (regsvr32)
#   settings  the filter's settings file in the user's local application data
#   scm       the service control manager and the service's event-log source
#   layout    the DX_x86 and DX_x64 folders the service test programs share
set(VYX_TEST_LOCKS bus filters settings scm layout)
set(VYX_TEST_LABELS unit component app service slow)

# vyx_register_test(NAME LABELS ... [LOCKS ...] [TIMEOUT s] [PREFIX name] [WAITS]): properties
# of one CTest entry. The time-out is about twice the program's usual time, so a hang is
# reported in minutes and never retried into a pass. The test runs in the tree's Wine prefix
# unless PREFIX names another one (made by vyx_add_named_prefix_setup); its locks are that
# prefix's.
# Every test takes one of the machine's cores (CTest resource "cores", which ./run test
# declares, one slot per core) except one marked WAITS, which spends most of its time waiting
# on a timer (the service's start-up wait) and so runs beside the tests that use the cores.
function(vyx_register_test test)
    cmake_parse_arguments(ARG "WAITS" "TIMEOUT;PREFIX" "LABELS;LOCKS" ${ARGN})
    if(NOT ARG_PREFIX)
        set(ARG_PREFIX ${VYX_ARCH})
    endif()
    if(NOT ARG_LABELS)
        message(FATAL_ERROR "${test}: give it one or more LABELS (${VYX_TEST_LABELS})")
    endif()
    foreach(label ${ARG_LABELS})
        if(NOT label IN_LIST VYX_TEST_LABELS)
            message(FATAL_ERROR "${test}: unknown label ${label} (${VYX_TEST_LABELS})")
        endif()
    endforeach()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 60)
    endif()
    if(ARG_TIMEOUT GREATER 180)
        message(FATAL_ERROR "${test}: a time-out above 180 s hides a hang")
    endif()
    set(locks)
    foreach(lock ${ARG_LOCKS})
        if(NOT lock IN_LIST VYX_TEST_LOCKS)
            message(FATAL_ERROR "${test}: unknown lock ${lock} (${VYX_TEST_LOCKS})")
        endif()
        list(APPEND locks ${ARG_PREFIX}_${lock})
    endforeach()
    # cmake/wine-run exits with 77 where the host cannot run the program at all (a 32-bit
    # program on a kernel without 32-bit support): CTest reports that as skipped.
    set_tests_properties(${test} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT}
        FIXTURES_REQUIRED wine_prefix_${ARG_PREFIX} SKIP_RETURN_CODE 77)
    if(locks)
        set_tests_properties(${test} PROPERTIES RESOURCE_LOCK "${locks}")
    endif()
    if(NOT ARG_WAITS)
        set_tests_properties(${test} PROPERTIES RESOURCE_GROUPS cores:1)
    endif()
    # CTest starts the costliest tests first, by their times in earlier runs. A test given a
    # time-out above the usual minute is a long one: half of it, about its usual time, is its
    # cost, so even a tree's first run starts it early instead of ending on it.
    if(ARG_TIMEOUT GREATER 60)
        math(EXPR cost "${ARG_TIMEOUT} / 2")
        set_tests_properties(${test} PROPERTIES COST ${cost})
    endif()
endfunction()

# vyx_add_test(NAME SOURCES... [LIBS ...] LABELS ... [LOCKS ...] [TIMEOUT s]): one test
# program, one CTest entry per arch.
function(vyx_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;LOCKS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${ARG_LIBS})
    add_test(NAME ${name}_${VYX_ARCH} COMMAND ${name})
    set(timeout)
    if(ARG_TIMEOUT)
        set(timeout TIMEOUT ${ARG_TIMEOUT})
    endif()
    vyx_register_test(${name}_${VYX_ARCH} LABELS ${ARG_LABELS} LOCKS ${ARG_LOCKS} ${timeout})
endfunction()

# The tree's Wine prefix, made before any test of the tree starts, so no test's time-out pays
# for it: a copy of the build root's first booted prefix (cmake/wine-run), a few seconds, and
# for the first prefix of the build root the boot itself, 15 to 45 s on a busy machine. CTest
# adds it to any selection.
function(vyx_add_prefix_setup)
    add_test(NAME wine_prefix_${VYX_ARCH} COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} cmd.exe /c exit 0)
    set_tests_properties(wine_prefix_${VYX_ARCH} PROPERTIES
        LABELS unit TIMEOUT 120 FIXTURES_SETUP wine_prefix_${VYX_ARCH} RESOURCE_GROUPS cores:1)
endfunction()

# vyx_add_named_prefix_setup(NAME LABEL): a Wine prefix of its own, build/wineprefix-NAME,
# for tests that would otherwise hold the tree's shared devices and registrations for long
# while they mostly wait. Its tests say PREFIX NAME and run with VYX_WINEPREFIX set to it.
function(vyx_add_named_prefix_setup name label)
    add_test(NAME wine_prefix_${name}
        COMMAND env VYX_BUILD_ROOT=${VYX_BUILD_ROOT} VYX_WINEPREFIX=${VYX_BUILD_ROOT}/wineprefix-${name}
                ${CMAKE_SOURCE_DIR}/cmake/wine-run cmd.exe /c exit 0)
    set_tests_properties(wine_prefix_${name} PROPERTIES
        LABELS ${label} TIMEOUT 120 FIXTURES_SETUP wine_prefix_${name} RESOURCE_GROUPS cores:1)
endfunction()
