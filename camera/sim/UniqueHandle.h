// Owner of a kernel object handle.
#pragma once

#include <windows.h>

namespace vyxcam {

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_handle(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    HANDLE Release() {
        HANDLE handle = m_handle;
        m_handle = nullptr;
        return handle;
    }
    void Reset(HANDLE handle = nullptr) {
        if (m_handle) CloseHandle(m_handle);
        m_handle = handle;
    }

private:
    HANDLE m_handle = nullptr;
};

}  // namespace vyxcam
