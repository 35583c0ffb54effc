// Owner of an open registry key handle.
#pragma once

#include <windows.h>

namespace vyxsim {

class RegKey {
public:
    RegKey() = default;
    explicit RegKey(HKEY key) : m_key(key) {}
    ~RegKey() { Reset(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept : m_key(other.m_key) { other.m_key = nullptr; }
    RegKey& operator=(RegKey&& other) noexcept {
        if (this != &other) {
            Reset();
            m_key = other.m_key;
            other.m_key = nullptr;
        }
        return *this;
    }

    HKEY Get() const { return m_key; }
    HKEY* Put() {
        Reset();
        return &m_key;
    }
    explicit operator bool() const { return m_key != nullptr; }
    void Reset() {
        if (m_key) RegCloseKey(m_key);
        m_key = nullptr;
    }

private:
    HKEY m_key = nullptr;
};

}  // namespace vyxsim
