#pragma once
// Whether a file's headers make it a PE image of one machine type: the DOS header with
// "MZ" and a positive offset of the PE header, then "PE\0\0" and the file header whose
// machine field must match. Reads through PeSource, so the same rule judges an open file
// and bytes in memory. Pure apart from the source: any thread.

#include <windows.h>

namespace vyx::service {

class PeSource {
public:
    virtual ~PeSource() = default;
    // ERROR_SUCCESS, or the Windows error of moving to `offset` from the start.
    virtual DWORD Seek(LONGLONG offset) = 0;
    // False when reading failed; a short read at the end is not a failure.
    virtual bool Read(void* buffer, DWORD size, DWORD& read) = 0;
};

// An open file, read from where Seek put it.
class FilePeSource : public PeSource {
public:
    explicit FilePeSource(HANDLE file) : m_file(file) {}
    DWORD Seek(LONGLONG offset) override;
    bool Read(void* buffer, DWORD size, DWORD& read) override;

private:
    HANDLE m_file;
};

// 0 for a PE image of `machine`; ERROR_BAD_EXE_FORMAT (193) for anything that is not a
// PE image; ERROR_EXE_MACHINE_TYPE_MISMATCH (216) for another machine; a seek's error.
DWORD ValidatePeHeaders(PeSource& source, WORD machine);

}  // namespace vyx::service
