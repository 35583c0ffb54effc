#include "PngWriter.h"

#include <array>
#include <new>

#include "UniqueResource.h"

namespace vyx::png {
namespace {

constexpr std::size_t kStoredBlockMax = 65535;
// Keeps every length field of the file inside 32 bits with room to spare.
constexpr std::uint64_t kMaxImageBytes = 0x70000000ull;

const std::array<std::uint32_t, 256>& CrcTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void PutChunk(std::vector<std::uint8_t>& out, const char type[5], const std::vector<std::uint8_t>& data) {
    PutBig32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBig32(out, Crc32(out.data() + typeAt, 4 + data.size()));
}

// The zlib stream of the filtered scanlines (filter type 0 on every row).
std::vector<std::uint8_t> ZlibStored(const ImageView& image, std::size_t rowBytes) {
    const std::size_t raw = (rowBytes + 1) * static_cast<std::size_t>(image.height);
    std::vector<std::uint8_t> out;
    out.reserve(raw + raw / kStoredBlockMax * 5 + 16);
    out.push_back(0x78);  // deflate, 32K window
    out.push_back(0x01);  // no preset dictionary, check bits
    std::uint32_t adler = 1;
    std::size_t blockLeft = 0;
    std::size_t remaining = raw;
    auto put = [&](const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            if (blockLeft == 0) {
                blockLeft = remaining < kStoredBlockMax ? remaining : kStoredBlockMax;
                remaining -= blockLeft;
                out.push_back(remaining == 0 ? 1 : 0);  // BFINAL on the last block, BTYPE 00
                const auto len = static_cast<std::uint16_t>(blockLeft);
                out.push_back(static_cast<std::uint8_t>(len & 0xFF));
                out.push_back(static_cast<std::uint8_t>(len >> 8));
                out.push_back(static_cast<std::uint8_t>(~len & 0xFF));
                out.push_back(static_cast<std::uint8_t>((~len >> 8) & 0xFF));
            }
            const std::size_t n = size < blockLeft ? size : blockLeft;
            out.insert(out.end(), data, data + n);
            adler = Adler32(data, n, adler);
            data += n;
            size -= n;
            blockLeft -= n;
        }
    };
    const std::uint8_t filterNone = 0;
    for (int y = 0; y < image.height; ++y) {
        put(&filterNone, 1);
        put(image.pixels + static_cast<std::size_t>(y) * image.stride, rowBytes);
    }
    PutBig32(out, adler);
    return out;
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
    const auto& table = CrcTable();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t Adler32(const std::uint8_t* data, std::size_t size, std::uint32_t adler) {
    std::uint32_t a = adler & 0xFFFF;
    std::uint32_t b = adler >> 16;
    while (size > 0) {
        // 5552 bytes keep the sums below 2^32 before the reduction.
        const std::size_t n = size < 5552 ? size : 5552;
        for (std::size_t i = 0; i < n; ++i) {
            a += data[i];
            b += a;
        }
        a %= 65521;
        b %= 65521;
        data += n;
        size -= n;
    }
    return (b << 16) | a;
}

std::vector<std::uint8_t> Encode(const ImageView& image) {
    const int channels = image.format == PixelFormat::kRgb24 ? 3 : 1;
    if (!image.pixels || image.width < 1 || image.height < 1) return {};
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(image.width) * channels;
    if (image.stride < rowBytes || (rowBytes + 1) * static_cast<std::uint64_t>(image.height) > kMaxImageBytes)
        return {};

    std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBig32(header, static_cast<std::uint32_t>(image.width));
    PutBig32(header, static_cast<std::uint32_t>(image.height));
    header.push_back(8);                    // bit depth
    header.push_back(channels == 3 ? 2 : 0);  // colour type: truecolour or greyscale
    header.push_back(0);                    // deflate
    header.push_back(0);                    // adaptive filtering
    header.push_back(0);                    // no interlace
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", ZlibStored(image, static_cast<std::size_t>(rowBytes)));
    PutChunk(file, "IEND", {});
    return file;
}

DWORD WriteFile(const std::wstring& path, const ImageView& image) {
    if (path.empty()) return ERROR_INVALID_PARAMETER;
    std::vector<std::uint8_t> bytes;
    try {
        bytes = Encode(image);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (bytes.empty()) return ERROR_INVALID_PARAMETER;

    const std::wstring temporary = path + L".partial";
    DWORD error = ERROR_SUCCESS;
    {
        const vyx::win::UniqueFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return GetLastError();
        DWORD written = 0;
        if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            error = GetLastError();
        else if (written != bytes.size())
            error = ERROR_WRITE_FAULT;
    }
    if (error == ERROR_SUCCESS && !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        error = GetLastError();
    if (error != ERROR_SUCCESS) DeleteFileW(temporary.c_str());
    return error;
}

}  // namespace vyx::png
