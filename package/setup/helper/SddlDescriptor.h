#pragma once
// A security descriptor written as SDDL text, owned until this object goes. Any thread.

#include <windows.h>

#include <string>

namespace vyx::setup {

class SddlDescriptor {
public:
    explicit SddlDescriptor(const std::wstring& sddl);
    ~SddlDescriptor();
    SddlDescriptor(const SddlDescriptor&) = delete;
    SddlDescriptor& operator=(const SddlDescriptor&) = delete;

    // Null when the text was not valid SDDL (Error() says why).
    PSECURITY_DESCRIPTOR Get() const { return m_descriptor; }
    DWORD Error() const { return m_error; }

private:
    PSECURITY_DESCRIPTOR m_descriptor = nullptr;
    DWORD m_error = ERROR_SUCCESS;
};

}  // namespace vyx::setup
