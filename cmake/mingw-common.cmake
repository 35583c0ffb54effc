set(CMAKE_C_COMPILER   ${VYX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VYX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${VYX_MINGW_TRIPLE}-windres)
set(CMAKE_MC_COMPILER  ${VYX_MINGW_TRIPLE}-windmc)
set(CMAKE_FIND_ROOT_PATH /usr/${VYX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# A Windows machine must need no MinGW runtime DLL beside our binaries.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine through this wrapper (private prefix, Xvfb on demand).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
