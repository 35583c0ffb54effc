# The Media Foundation media source, compiled into the filter's core library beside the
# filter. IMFMediaSourceEx is declared for Windows 8 and later only, so these sources (and
# whatever includes their headers) see the Windows 10 declarations; the module's class
# table reaches them through MediaSourceFactory.h and keeps the filter's Windows version.
set(VYX_MEDIA_SOURCE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CameraMediaSource.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CameraMediaStream.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CoreCamera.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FrameConversion.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FramePump.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KsProperties.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MfPlatform.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SamplePool.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SourceFormats.cpp
)
set(VYX_MEDIA_SOURCE_COMPILE_OPTIONS -U_WIN32_WINNT -D_WIN32_WINNT=0x0A00)
# The precompiled headers hold the Windows 7 declarations, so these sources parse their own.
set_source_files_properties(${VYX_MEDIA_SOURCE_SOURCES} PROPERTIES COMPILE_OPTIONS "${VYX_MEDIA_SOURCE_COMPILE_OPTIONS}"
    SKIP_PRECOMPILE_HEADERS ON)
