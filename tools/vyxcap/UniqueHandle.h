#pragma once
// Owner of a kernel handle.
#include <windows.h>

namespace vyxcap {

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_handle(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() {
        if (m_handle) CloseHandle(m_handle);
    }
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle = nullptr;
};

}  // namespace vyxcap
