#include "ResultFile.h"

#include "UniqueResource.h"

namespace vyx::setup {

DWORD WriteResultFile(const std::wstring& file, const Result& result)
{
    win::UniqueFile handle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!handle) {
        return ::GetLastError();
    }
    const std::wstring text =
        result.word + L"\r\n" + result.path + L"\r\n" + result.detail + L"\r\n" + result.extra + L"\r\n";
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    if (!::WriteFile(handle.Get(), text.data(), bytes, &written, nullptr)) {
        return ::GetLastError();
    }
    return written == bytes ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

}  // namespace vyx::setup
