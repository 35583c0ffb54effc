# Precompiled headers, one set per kind of code, reused by every C++ target of the tree.
# A source's own lines cost a second to compile; the 200,000 lines of windows.h, DirectShow
# and the standard library in front of them cost five. Built once, they cost that once.
#
# GCC takes a precompiled header only where the flags that shape it match its own, so there
# are two hosts: the product's, at the product's optimisation, and the tests', at the tests'
# with GoogleTest's header (tests/CMakeLists.txt makes it). A source that sets its own
# Windows version (the media source) compiles without one. VYX_PRECOMPILED_HEADERS=OFF
# builds every source on its own, which shows a missing #include.
option(VYX_PRECOMPILED_HEADERS "Reuse one precompiled header set per kind of target" ON)

set(VYX_PRECOMPILED_DIR ${CMAKE_SOURCE_DIR}/cmake/precompiled)

# vyx_add_precompiled_host(NAME HEADER [LIBS ...]): a target that only builds HEADER, for
# the others to reuse.
function(vyx_add_precompiled_host name header)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    if(NOT VYX_PRECOMPILED_HEADERS)
        return()
    endif()
    add_library(${name} OBJECT ${VYX_PRECOMPILED_DIR}/Host.cpp)
    target_precompile_headers(${name} PRIVATE ${header})
    if(ARG_LIBS)
        target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    endif()
endfunction()

# GCC 12 loses, for library code inlined from a precompiled header, the system-header mark
# that hides its warnings: every std::wstring made from a short literal then warns that
# mingw's inline wmemcpy reads or writes out of bounds. Those three warnings are left to the
# build without precompiled headers.
if(VYX_PRECOMPILED_HEADERS)
    add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wno-array-bounds$<SEMICOLON>-Wno-stringop-overread$<SEMICOLON>-Wno-stringop-overflow>)
endif()

# vyx_reuse_precompiled_headers(DIR HOST [USES LIB]): every C++ target under DIR (and its
# subdirectories) reuses HOST's headers; with USES, also LIB's include folders and
# definitions, which the headers were built with, so targets that do not link LIB can too.
function(vyx_reuse_precompiled_headers dir host)
    cmake_parse_arguments(ARG "" "USES" "" ${ARGN})
    if(NOT VYX_PRECOMPILED_HEADERS)
        return()
    endif()
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(target STREQUAL host OR NOT type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY|STATIC_LIBRARY|OBJECT_LIBRARY)$")
            continue()
        endif()
        get_target_property(sources ${target} SOURCES)
        if(NOT sources MATCHES "\\.cpp(;|$)")
            continue()
        endif()
        target_precompile_headers(${target} REUSE_FROM ${host})
        if(ARG_USES)
            target_include_directories(${target} SYSTEM PRIVATE
                $<TARGET_PROPERTY:${ARG_USES},INTERFACE_INCLUDE_DIRECTORIES>)
            target_compile_definitions(${target} PRIVATE
                $<TARGET_PROPERTY:${ARG_USES},INTERFACE_COMPILE_DEFINITIONS>)
            target_compile_options(${target} PRIVATE
                $<TARGET_PROPERTY:${ARG_USES},INTERFACE_COMPILE_OPTIONS>)
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir ${subdirs})
        vyx_reuse_precompiled_headers(${subdir} ${host} ${ARGN})
    endforeach()
endfunction()
