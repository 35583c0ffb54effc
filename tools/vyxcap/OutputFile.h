#pragma once
// A file being recorded: appended to at its end and patched in place (headers, counts),
// with 64-bit positions, since recordings pass 4 GB. Every failure throws ToolError naming
// the file and the system's reason.
//
// Threads: one thread at a time (the recording sink's streaming thread, or the main thread
// once the graph has stopped).
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "UniqueResource.h"

namespace vyx::vyxcap {

class OutputFile {
public:
    // Creates the file, replacing one of the same name.
    explicit OutputFile(const std::wstring& path);

    const std::wstring& Path() const { return m_path; }
    std::uint64_t Size() const { return m_size; }

    void Append(const void* data, std::size_t length);
    // Overwrites bytes already written; the file does not grow.
    void WriteAt(std::uint64_t offset, const void* data, std::size_t length);

private:
    void WriteRange(std::uint64_t offset, const void* data, std::size_t length);

    std::wstring m_path;
    vyx::win::UniqueFile m_file;
    std::uint64_t m_size = 0;
};

}  // namespace vyx::vyxcap
