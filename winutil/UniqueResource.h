#pragma once
// One owner for every kind of Windows handle the product, the tools and the tests hold:
// kernel objects, files, registry keys, service manager handles, device information sets
// and event-log sources. The traits name the "no handle" value and the release function.

#include <windows.h>
#include <setupapi.h>

#include <utility>

namespace vyx::win {

template <typename T, typename Traits>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(T value) : m_value(value) {}
    ~UniqueResource() { Reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : m_value(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    T Get() const { return m_value; }
    explicit operator bool() const { return m_value != Traits::Invalid(); }

    // For out-parameters of creating functions; releases what was held.
    T* Put()
    {
        Reset();
        return &m_value;
    }

    T Release() { return std::exchange(m_value, Traits::Invalid()); }

    void Reset(T value = Traits::Invalid())
    {
        T old = std::exchange(m_value, value);
        if (old != Traits::Invalid()) {
            Traits::Close(old);
        }
    }

private:
    T m_value = Traits::Invalid();
};

struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};

// CreateFileW reports failure as INVALID_HANDLE_VALUE rather than null.
struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};

struct RegKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY h) { ::RegCloseKey(h); }
};

struct ScHandleTraits {
    static SC_HANDLE Invalid() { return nullptr; }
    static void Close(SC_HANDLE h) { ::CloseServiceHandle(h); }
};

struct DevInfoTraits {
    static HDEVINFO Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HDEVINFO h) { ::SetupDiDestroyDeviceInfoList(h); }
};

struct EventSourceTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { ::DeregisterEventSource(h); }
};

struct GdiObjectTraits {
    static HGDIOBJ Invalid() { return nullptr; }
    static void Close(HGDIOBJ h) { ::DeleteObject(h); }
};

using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;
using UniqueFile = UniqueResource<HANDLE, FileHandleTraits>;
using UniqueRegKey = UniqueResource<HKEY, RegKeyTraits>;
using UniqueScHandle = UniqueResource<SC_HANDLE, ScHandleTraits>;
using UniqueDevInfo = UniqueResource<HDEVINFO, DevInfoTraits>;
using UniqueEventSource = UniqueResource<HANDLE, EventSourceTraits>;
using UniqueGdiObject = UniqueResource<HGDIOBJ, GdiObjectTraits>;

}  // namespace vyx::win
