#include "ToolError.h"

#include <vfwmsgs.h>

#include <cstdio>

namespace vyx::vyxcap {

ToolError::ToolError(const std::string& message, int exitCode)
    : std::runtime_error(message), m_exitCode(exitCode) {}

std::string DescribeHResult(HRESULT hr) {
    struct Name {
        HRESULT code;
        const char* text;
    };
    static constexpr Name kNames[] = {
        {E_FAIL, "E_FAIL"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {E_POINTER, "E_POINTER"},
        {E_NOINTERFACE, "E_NOINTERFACE"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_UNEXPECTED, "E_UNEXPECTED"},
        {E_HANDLE, "E_HANDLE"},
        {E_ACCESSDENIED, "E_ACCESSDENIED"},
        {E_PROP_ID_UNSUPPORTED, "E_PROP_ID_UNSUPPORTED"},
        {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
        {CLASS_E_CLASSNOTAVAILABLE, "CLASS_E_CLASSNOTAVAILABLE"},
        {VFW_E_INVALIDMEDIATYPE, "VFW_E_INVALIDMEDIATYPE"},
        {VFW_E_INVALIDSUBTYPE, "VFW_E_INVALIDSUBTYPE"},
        {VFW_E_NOT_CONNECTED, "VFW_E_NOT_CONNECTED"},
        {VFW_E_NOT_STOPPED, "VFW_E_NOT_STOPPED"},
        {VFW_E_CANNOT_CONNECT, "VFW_E_CANNOT_CONNECT"},
        {VFW_E_CANNOT_RENDER, "VFW_E_CANNOT_RENDER"},
        {VFW_E_NO_ACCEPTABLE_TYPES, "VFW_E_NO_ACCEPTABLE_TYPES"},
        {VFW_E_TYPE_NOT_ACCEPTED, "VFW_E_TYPE_NOT_ACCEPTED"},
        {VFW_E_ALREADY_CONNECTED, "VFW_E_ALREADY_CONNECTED"},
        {VFW_E_SIZENOTSET, "VFW_E_SIZENOTSET"},
        {VFW_E_BUFFER_OVERFLOW, "VFW_E_BUFFER_OVERFLOW"},
        {VFW_E_WRONG_STATE, "VFW_E_WRONG_STATE"},
        {VFW_E_NOT_FOUND, "VFW_E_NOT_FOUND"},
    };
    char number[16];
    std::snprintf(number, sizeof number, "0x%08lX", static_cast<unsigned long>(hr));
    for (const Name& name : kNames)
        if (name.code == hr) return std::string(name.text) + " (" + number + ")";
    return number;
}

void ThrowIfFailed(HRESULT hr, const std::string& what) {
    if (FAILED(hr)) throw ToolError(what + " failed: " + DescribeHResult(hr));
}

}  // namespace vyx::vyxcap
