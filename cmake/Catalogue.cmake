# Reads catalogue/models.csv, the one source of model facts, and generates:
#  - ${VYX_GENERATED_DIR}/vyx_catalogue.h: every row, for the camera library stand-in,
#    the service's model table, the tools and the tests;
#  - one model descriptor source per filter build (vyx_generate_model_descriptor).
# Sets VYX_MODEL_COUNT and, per row i, VYX_MODEL_<i>_NAME / _DLL / _PID.

set(VYX_CATALOGUE_FILE ${CMAKE_SOURCE_DIR}/catalogue/models.csv)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VYX_CATALOGUE_FILE})
set(VYX_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)

# {6C0AA1DB-3D13-4D7F-ACAD-D3064520CA19} -> C aggregate initialiser of a GUID.
function(vyx_guid_initializer text out)
    # CMake's regular expressions have no {n} counts: check the shape, then the length.
    string(LENGTH "${text}" length)
    if(NOT length EQUAL 38 OR NOT text MATCHES "^[{][0-9A-F]+-[0-9A-F]+-[0-9A-F]+-[0-9A-F]+-[0-9A-F]+[}]$"
       OR NOT text MATCHES "^.........-....-....-....-.............$")
        message(FATAL_ERROR "catalogue: malformed GUID '${text}' (upper-case, braces)")
    endif()
    string(SUBSTRING "${text}" 1 8 d1)
    string(SUBSTRING "${text}" 10 4 d2)
    string(SUBSTRING "${text}" 15 4 d3)
    set(bytes "")
    foreach(pos 20 22 25 27 29 31 33 35)
        string(SUBSTRING "${text}" ${pos} 2 b)
        list(APPEND bytes "0x${b}")
    endforeach()
    list(JOIN bytes ", " bytes)
    set(${out} "{0x${d1}, 0x${d2}, 0x${d3}, {${bytes}}}" PARENT_SCOPE)
endfunction()

function(vyx_bool_literal value out)
    if(value STREQUAL "1")
        set(${out} true PARENT_SCOPE)
    elseif(value STREQUAL "0")
        set(${out} false PARENT_SCOPE)
    else()
        message(FATAL_ERROR "catalogue: '${value}' is not 0 or 1")
    endif()
endfunction()

file(READ ${VYX_CATALOGUE_FILE} _csv)
# Fields hold ';'-separated lists, which CMake would take for list separators.
string(REPLACE ";" "|" _csv "${_csv}")
string(REPLACE "\n" ";" _lines "${_csv}")

set(VYX_VENDOR_ID "")
set(_rows "")
set(_index 0)
set(_header_seen FALSE)
foreach(_line IN LISTS _lines)
    string(STRIP "${_line}" _line)
    if(_line STREQUAL "" OR _line MATCHES "^#")
        continue()
    endif()
    string(REPLACE "," ";" _f "${_line}")
    list(GET _f 0 _first)
    if(_first STREQUAL "vendor_id")
        list(GET _f 1 VYX_VENDOR_ID)
        continue()
    endif()
    if(_first STREQUAL "name")
        set(_header_seen TRUE)
        continue()
    endif()
    list(LENGTH _f _n)
    if(NOT _n EQUAL 24)
        message(FATAL_ERROR "catalogue: row '${_first}' has ${_n} fields, expected 24")
    endif()
    list(GET _f 0 name)
    list(GET _f 1 pid)
    list(GET _f 2 dll)
    list(GET _f 3 width)
    list(GET _f 4 height)
    list(GET _f 5 color)
    list(GET _f 6 bins)
    list(GET _f 7 formats)
    list(GET _f 8 st4)
    list(GET _f 9 cooler)
    list(GET _f 10 usb3)
    list(GET _f 11 hwbin)
    list(GET _f 12 modes)
    if(NOT pid MATCHES "^[0-9A-F][0-9A-F][0-9A-F][0-9A-F]$")
        message(FATAL_ERROR "catalogue: product ID '${pid}' of '${name}' is not four upper-case hex digits")
    endif()
    if(NOT dll MATCHES "^[A-Za-z0-9_.-]+\\.dll$")
        message(FATAL_ERROR "catalogue: file name '${dll}' of '${name}' is not a bare .dll name")
    endif()

    if(name MATCHES "^VYX")
        set(friendly "${name} Camera")
    else()
        set(friendly "VYX ${name} Camera")
    endif()

    set(guid_inits "")
    set(guid_texts "")
    foreach(col RANGE 13 23)
        list(GET _f ${col} g)
        vyx_guid_initializer("${g}" gi)
        list(APPEND guid_inits "${gi}")
        list(APPEND guid_texts "${g}")
    endforeach()
    list(GET guid_inits 0 filter_init)
    list(GET guid_texts 0 filter_text)
    list(SUBLIST guid_inits 1 8 page_inits)
    list(GET guid_inits 9 iid_init)
    list(GET guid_inits 10 source_init)
    list(GET guid_texts 10 source_text)
    list(JOIN page_inits ", " page_inits)

    string(REPLACE "|" ", " bins_c "${bins}")
    string(REPLACE "|" ";" bins_l "${bins}")
    list(LENGTH bins_l bins_n)
    string(REPLACE "|" ", " formats_c "${formats}")
    string(REPLACE "|" ";" formats_l "${formats}")
    list(LENGTH formats_l formats_n)
    if(modes STREQUAL "")
        set(modes_c "")
        set(modes_n 0)
    else()
        string(REPLACE "|" "\", \"" modes_c "\"${modes}\"")
        string(REPLACE "|" ";" modes_l "${modes}")
        list(LENGTH modes_l modes_n)
    endif()
    vyx_bool_literal(${color} color_b)
    vyx_bool_literal(${st4} st4_b)
    vyx_bool_literal(${cooler} cooler_b)
    vyx_bool_literal(${usb3} usb3_b)
    vyx_bool_literal(${hwbin} hwbin_b)

    string(APPEND _rows
"    {\"${name}\", L\"${name}\", L\"${friendly}\", 0x${pid}, L\"VID_${VYX_VENDOR_ID}&PID_${pid}\",
     \"${dll}\", L\"${dll}\", ${width}, ${height}, ${color_b},
     {${bins_c}}, ${bins_n}, {${formats_c}}, ${formats_n},
     ${st4_b}, ${cooler_b}, ${usb3_b}, ${hwbin_b}, {${modes_c}}, ${modes_n},
     ${filter_init}, L\"${filter_text}\", {${page_inits}}, ${iid_init},
     ${source_init}, L\"${source_text}\"},
")
    set(VYX_MODEL_${_index}_NAME "${name}")
    set(VYX_MODEL_${_index}_FRIENDLY "${friendly}")
    set(VYX_MODEL_${_index}_PID "${pid}")
    set(VYX_MODEL_${_index}_DLL "${dll}")
    set(VYX_MODEL_${_index}_WIDTH "${width}")
    set(VYX_MODEL_${_index}_HEIGHT "${height}")
    set(VYX_MODEL_${_index}_FILTER_INIT "${filter_init}")
    set(VYX_MODEL_${_index}_PAGES_INIT "${page_inits}")
    set(VYX_MODEL_${_index}_IID_INIT "${iid_init}")
    set(VYX_MODEL_${_index}_SOURCE_INIT "${source_init}")
    math(EXPR _index "${_index} + 1")
endforeach()

if(NOT _header_seen OR NOT VYX_VENDOR_ID MATCHES "^[0-9A-F][0-9A-F][0-9A-F][0-9A-F]$")
    message(FATAL_ERROR "catalogue: missing column header or vendor_id line")
endif()
set(VYX_MODEL_COUNT ${_index})

file(MAKE_DIRECTORY ${VYX_GENERATED_DIR})
file(CONFIGURE OUTPUT ${VYX_GENERATED_DIR}/vyx_catalogue.h CONTENT
"#pragma once
// Generated from catalogue/models.csv. Do not edit.
#include <guiddef.h>

#include <cstddef>
#include <cstdint>

namespace vyx::catalogue {

inline constexpr std::uint16_t kVendorId = 0x${VYX_VENDOR_ID};
// \"USB\\\\VID_vvvv&PID_\": how every device instance of the maker begins.
inline constexpr wchar_t kVendorPrefix[] = L\"USB\\\\VID_${VYX_VENDOR_ID}&PID_\";

struct ModelRow {
    const char* displayName;
    const wchar_t* displayNameW;
    const wchar_t* friendlyName;
    std::uint16_t productId;
    const wchar_t* hardwareId;      // VID_vvvv&PID_pppp, upper-case hex
    const char* dllFileName;
    const wchar_t* dllFileNameW;
    std::int32_t sensorWidth;
    std::int32_t sensorHeight;
    bool color;
    std::int32_t binFactors[4];
    std::int32_t binFactorCount;
    std::int32_t imageFormats[5];   // ImageFormat values the camera produces
    std::int32_t imageFormatCount;
    bool st4Port;
    bool cooler;
    bool usb3;
    bool hardwareBin;
    const char* sensorModes[3];
    std::int32_t sensorModeCount;
    GUID filterClsid;
    const wchar_t* filterClsidText; // registry string form, upper-case
    GUID pageClsids[8];
    GUID cameraInstanceIid;
    GUID mediaSourceClsid;          // the Media Foundation media source of the model's build
    const wchar_t* mediaSourceClsidText;
};

inline constexpr std::size_t kModelCount = ${VYX_MODEL_COUNT};

inline constexpr ModelRow kModels[kModelCount] = {
${_rows}};

}  // namespace vyx::catalogue
" @ONLY)

add_library(vyx_catalogue INTERFACE)
target_include_directories(vyx_catalogue INTERFACE ${VYX_GENERATED_DIR})

# Writes the descriptor source of catalogue row INDEX to OUT_FILE.
function(vyx_generate_model_descriptor index out_file)
    set(VYX_NAME "${VYX_MODEL_${index}_NAME}")
    set(VYX_FRIENDLY "${VYX_MODEL_${index}_FRIENDLY}")
    set(VYX_VID "${VYX_VENDOR_ID}")
    set(VYX_PID "${VYX_MODEL_${index}_PID}")
    set(VYX_WIDTH "${VYX_MODEL_${index}_WIDTH}")
    set(VYX_HEIGHT "${VYX_MODEL_${index}_HEIGHT}")
    set(VYX_FILTER_CLSID_INIT "${VYX_MODEL_${index}_FILTER_INIT}")
    set(VYX_PAGE_CLSIDS_INIT "${VYX_MODEL_${index}_PAGES_INIT}")
    set(VYX_ICAMERA_IID_INIT "${VYX_MODEL_${index}_IID_INIT}")
    set(VYX_MEDIA_SOURCE_CLSID_INIT "${VYX_MODEL_${index}_SOURCE_INIT}")
    configure_file(${CMAKE_SOURCE_DIR}/filter/model/ModelDescriptor.cpp.in ${out_file} @ONLY)
endfunction()

# Index of the catalogue row whose display name is NAME.
function(vyx_model_index name out)
    math(EXPR last "${VYX_MODEL_COUNT} - 1")
    foreach(i RANGE ${last})
        if(VYX_MODEL_${i}_NAME STREQUAL name)
            set(${out} ${i} PARENT_SCOPE)
            return()
        endif()
    endforeach()
    message(FATAL_ERROR "catalogue: no model named '${name}'")
endfunction()
