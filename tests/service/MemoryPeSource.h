#pragma once
// Bytes in memory read as a file would be: a seek past the end succeeds, a read there
// returns nothing.

#include "PeHeaders.h"

#include <cstdint>
#include <vector>

namespace vyx::service::test {

class MemoryPeSource : public PeSource {
public:
    explicit MemoryPeSource(const std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}
    DWORD Seek(LONGLONG offset) override;
    bool Read(void* buffer, DWORD size, DWORD& read) override;

private:
    const std::vector<std::uint8_t>& m_bytes;
    LONGLONG m_position = 0;
};

// A minimal PE image of the machine: DOS header, "PE\0\0" at 0x80, file header.
std::vector<std::uint8_t> MinimalPeImage(WORD machine);

}  // namespace vyx::service::test
