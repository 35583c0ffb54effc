# The settings file and the control interfaces of the pin, compiled into the filter's core
# library (traced and untraced alike) and into their tests. Users link vyx_simpleini and
# shell32 as well.
set(VYX_FILTER_SETTINGS_CONTROLS_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CameraSettings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CCameraControlPart.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControlMapping.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CVideoProcAmpPart.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsFileIo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsFileLock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsNumbers.cpp
)
