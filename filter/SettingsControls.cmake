# The settings file, the camera's controls and the pin's two control interfaces, in the
# filter's core library, which their tests link.
set(VYX_FILTER_SETTINGS_CONTROLS_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/settings/CameraSettings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/controls/CameraControls.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pin/CameraControlAdapter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pin/ControlCalls.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pin/VideoProcAmpAdapter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/SettingsFileIo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/SettingsFileLock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings/SettingsNumbers.cpp
)
# The filter's folders, each a part of its picture (filter/README.md); sources include
# each other's headers by name.
set(VYX_FILTER_INCLUDE_DIRS
    ${CMAKE_CURRENT_LIST_DIR}
    ${CMAKE_CURRENT_LIST_DIR}/controls
    ${CMAKE_CURRENT_LIST_DIR}/core
    ${CMAKE_CURRENT_LIST_DIR}/formats
    ${CMAKE_CURRENT_LIST_DIR}/mediasource
    ${CMAKE_CURRENT_LIST_DIR}/module
    ${CMAKE_CURRENT_LIST_DIR}/pages
    ${CMAKE_CURRENT_LIST_DIR}/pin
    ${CMAKE_CURRENT_LIST_DIR}/resources
    ${CMAKE_CURRENT_LIST_DIR}/settings
)
