# The settings file and the control interfaces of the pin, in the filter's core library,
# which their tests link.
set(VYX_FILTER_SETTINGS_CONTROLS_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CameraSettings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CCameraControlPart.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CVideoProcAmpPart.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsFileIo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsFileLock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsNumbers.cpp
)
