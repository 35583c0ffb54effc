#pragma once
// COM for the tool's main thread. The multithreaded apartment, because the sample
// grabber calls back on the graph's streaming thread.
#include <windows.h>
#include <objbase.h>

#include "ToolError.h"

namespace vyxcap {

class ComApartment {
public:
    ComApartment() { ThrowIfFailed(CoInitializeEx(nullptr, COINIT_MULTITHREADED), "CoInitializeEx"); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() { CoUninitialize(); }
};

}  // namespace vyxcap
