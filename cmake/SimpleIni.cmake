# SimpleIni from Debian's libsimpleini-dev, used as installed and never copied into the
# tree. The cross compiler must not see /usr/include itself (the host's C library headers
# would shadow MinGW's), so it gets a build-tree folder that holds only this header.
set(VYX_SIMPLEINI_HEADER /usr/include/SimpleIni.h CACHE FILEPATH "SimpleIni.h of libsimpleini-dev")
if(NOT EXISTS ${VYX_SIMPLEINI_HEADER})
    message(FATAL_ERROR "SimpleIni.h not found at ${VYX_SIMPLEINI_HEADER}: apt-get install libsimpleini-dev")
endif()
set(VYX_SIMPLEINI_DIR ${CMAKE_BINARY_DIR}/simpleini)
file(MAKE_DIRECTORY ${VYX_SIMPLEINI_DIR})
file(CREATE_LINK ${VYX_SIMPLEINI_HEADER} ${VYX_SIMPLEINI_DIR}/SimpleIni.h SYMBOLIC)

add_library(vyx_simpleini INTERFACE)
target_include_directories(vyx_simpleini SYSTEM INTERFACE ${VYX_SIMPLEINI_DIR})
# Debian's header keeps its template definitions behind SI_IMPLEMENTATION (its own shared
# library defines it); the cross build has no such library, so every user compiles them.
target_compile_definitions(vyx_simpleini INTERFACE SI_IMPLEMENTATION)
