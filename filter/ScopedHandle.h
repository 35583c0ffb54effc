#pragma once
// Owner of a kernel handle (file, mutex): closed exactly once, movable, never copied.
// Both INVALID_HANDLE_VALUE (files) and null (most other objects) mean "no handle".
#include <windows.h>

#include <utility>

class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(HANDLE handle) : m_handle(handle) {}
    ~ScopedHandle() { Close(); }

    ScopedHandle(ScopedHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) {
            Close();
            m_handle = std::exchange(other.m_handle, nullptr);
        }
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    bool IsValid() const { return m_handle && m_handle != INVALID_HANDLE_VALUE; }

    void Close() {
        if (IsValid()) CloseHandle(m_handle);
        m_handle = nullptr;
    }

private:
    HANDLE m_handle = nullptr;
};
