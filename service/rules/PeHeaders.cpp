#include "PeHeaders.h"

namespace vyx::service {

DWORD FilePeSource::Seek(LONGLONG offset)
{
    LARGE_INTEGER position = {};
    position.QuadPart = offset;
    return ::SetFilePointerEx(m_file, position, nullptr, FILE_BEGIN) ? ERROR_SUCCESS : ::GetLastError();
}

bool FilePeSource::Read(void* buffer, DWORD size, DWORD& read)
{
    read = 0;
    return ::ReadFile(m_file, buffer, size, &read, nullptr) != FALSE;
}

DWORD ValidatePeHeaders(PeSource& source, WORD machine)
{
    IMAGE_DOS_HEADER dos = {};
    DWORD read = 0;
    if (!source.Read(&dos, sizeof(dos), read) || read != sizeof(dos) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
        dos.e_lfanew <= 0) {
        return ERROR_BAD_EXE_FORMAT;
    }
    const DWORD seek = source.Seek(dos.e_lfanew);
    if (seek != ERROR_SUCCESS) {
        return seek;
    }
    DWORD signature = 0;
    IMAGE_FILE_HEADER header = {};
    DWORD headerRead = 0;
    if (!source.Read(&signature, sizeof(signature), read) || read != sizeof(signature) ||
        !source.Read(&header, sizeof(header), headerRead) || headerRead != sizeof(header) ||
        signature != IMAGE_NT_SIGNATURE) {
        return ERROR_BAD_EXE_FORMAT;
    }
    return header.Machine == machine ? ERROR_SUCCESS : ERROR_EXE_MACHINE_TYPE_MISMATCH;
}

}  // namespace vyx::service
