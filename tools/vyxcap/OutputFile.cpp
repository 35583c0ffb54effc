#include "OutputFile.h"

#include <algorithm>

#include "Text.h"
#include "ToolError.h"

namespace vyx::vyxcap {
namespace {

[[noreturn]] void Fail(const char* what, const std::wstring& path, DWORD error) {
    throw ToolError(std::string(what) + " \"" + Narrow(path) + "\" failed: " + vyx::tools::Win32ErrorText(error));
}

}  // namespace

OutputFile::OutputFile(const std::wstring& path)
    : m_path(path),
      m_file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr)) {
    if (!m_file) Fail("creating", path, GetLastError());
}

void OutputFile::Append(const void* data, std::size_t length) {
    WriteRange(m_size, data, length);
    m_size += length;
}

void OutputFile::WriteAt(std::uint64_t offset, const void* data, std::size_t length) {
    if (offset + length > m_size) throw ToolError("internal error: a patch past the end of \"" + Narrow(m_path) + "\"");
    WriteRange(offset, data, length);
}

// Positions travel in the OVERLAPPED of each call, so no seek can be forgotten.
void OutputFile::WriteRange(std::uint64_t offset, const void* data, std::size_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (length > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length, 1u << 30));
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD written = 0;
        if (!WriteFile(m_file.Get(), bytes, chunk, &written, &at)) Fail("writing", m_path, GetLastError());
        if (written != chunk) Fail("writing", m_path, ERROR_DISK_FULL);
        bytes += chunk;
        offset += chunk;
        length -= chunk;
    }
}

}  // namespace vyx::vyxcap
