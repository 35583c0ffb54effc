#include "MemoryPeSource.h"

#include <algorithm>
#include <cstring>

namespace vyx::service::test {

DWORD MemoryPeSource::Seek(LONGLONG offset)
{
    if (offset < 0) {
        return ERROR_NEGATIVE_SEEK;
    }
    m_position = offset;
    return ERROR_SUCCESS;
}

bool MemoryPeSource::Read(void* buffer, DWORD size, DWORD& read)
{
    const LONGLONG available = std::max<LONGLONG>(0, static_cast<LONGLONG>(m_bytes.size()) - m_position);
    read = static_cast<DWORD>(std::min<LONGLONG>(size, available));
    if (read > 0) {
        std::memcpy(buffer, m_bytes.data() + m_position, read);
    }
    m_position += read;
    return true;
}

std::vector<std::uint8_t> MinimalPeImage(WORD machine)
{
    std::vector<std::uint8_t> image(512, 0);
    IMAGE_DOS_HEADER dos = {};
    dos.e_magic = IMAGE_DOS_SIGNATURE;
    dos.e_lfanew = 0x80;
    std::memcpy(image.data(), &dos, sizeof(dos));
    const DWORD signature = IMAGE_NT_SIGNATURE;
    std::memcpy(image.data() + 0x80, &signature, sizeof(signature));
    IMAGE_FILE_HEADER header = {};
    header.Machine = machine;
    header.Characteristics = IMAGE_FILE_DLL | IMAGE_FILE_EXECUTABLE_IMAGE;
    std::memcpy(image.data() + 0x84, &header, sizeof(header));
    return image;
}

}  // namespace vyx::service::test
