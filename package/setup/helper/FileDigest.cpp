#include "FileDigest.h"

#include "UniqueResource.h"

#include <bcrypt.h>

#include <vector>

namespace vyx::setup {

namespace {

struct AlgorithmTraits {
    static BCRYPT_ALG_HANDLE Invalid() { return nullptr; }
    static void Close(BCRYPT_ALG_HANDLE h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashTraits {
    static BCRYPT_HASH_HANDLE Invalid() { return nullptr; }
    static void Close(BCRYPT_HASH_HANDLE h) { ::BCryptDestroyHash(h); }
};

DWORD FromStatus(NTSTATUS status) { return status >= 0 ? ERROR_SUCCESS : ERROR_INVALID_FUNCTION; }

}  // namespace

DWORD Sha256OfFile(const std::wstring& path, std::wstring& digest)
{
    win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        return ::GetLastError();
    }
    win::UniqueResource<BCRYPT_ALG_HANDLE, AlgorithmTraits> algorithm;
    DWORD error = FromStatus(::BCryptOpenAlgorithmProvider(algorithm.Put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0));
    if (error != ERROR_SUCCESS) {
        return error;
    }
    win::UniqueResource<BCRYPT_HASH_HANDLE, HashTraits> hash;
    error = FromStatus(::BCryptCreateHash(algorithm.Get(), hash.Put(), nullptr, 0, nullptr, 0, 0));
    if (error != ERROR_SUCCESS) {
        return error;
    }
    std::vector<BYTE> buffer(1 << 16);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
            return ::GetLastError();
        }
        if (read == 0) {
            break;
        }
        error = FromStatus(::BCryptHashData(hash.Get(), buffer.data(), read, 0));
        if (error != ERROR_SUCCESS) {
            return error;
        }
    }
    BYTE value[32] = {};
    error = FromStatus(::BCryptFinishHash(hash.Get(), value, sizeof(value), 0));
    if (error != ERROR_SUCCESS) {
        return error;
    }
    static const wchar_t kDigits[] = L"0123456789abcdef";
    digest.clear();
    for (BYTE byte : value) {
        digest += kDigits[byte >> 4];
        digest += kDigits[byte & 15];
    }
    return ERROR_SUCCESS;
}

}  // namespace vyx::setup
