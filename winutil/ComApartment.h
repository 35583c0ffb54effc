#pragma once
// COM for the current thread for the holder's lifetime. Uninitialises only what its own
// call initialised: a thread already in the other apartment model keeps its COM.
#include <windows.h>
#include <objbase.h>

namespace vyx::win {

class ComApartment {
public:
    // The multithreaded apartment by default: graphs call back on their streaming threads.
    explicit ComApartment(DWORD model = COINIT_MULTITHREADED) : m_result(::CoInitializeEx(nullptr, model)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(m_result)) {
            ::CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // S_OK, S_FALSE (already initialised, still balanced), or the failure, for example
    // RPC_E_CHANGED_MODE.
    HRESULT Result() const { return m_result; }

private:
    HRESULT m_result;
};

}  // namespace vyx::win
