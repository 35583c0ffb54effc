#include "SddlDescriptor.h"

#include <sddl.h>

namespace vyx::setup {

SddlDescriptor::SddlDescriptor(const std::wstring& sddl)
{
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &m_descriptor,
                                                                nullptr)) {
        m_error = ::GetLastError();
        m_descriptor = nullptr;
    }
}

SddlDescriptor::~SddlDescriptor() { ::LocalFree(m_descriptor); }

}  // namespace vyx::setup
