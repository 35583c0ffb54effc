// The digest that tells the setup's own camera library from an administrator's, computed by
// the platform's hash provider: checked against the standard's test vectors.
#include "FileDigest.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace vyx::setup {
namespace {

std::wstring WriteTemporaryFile(const char* contents)
{
    wchar_t folder[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, L"dig", 0, path);
    FILE* file = _wfopen(path, L"wb");
    std::fputs(contents, file);
    std::fclose(file);
    return path;
}

TEST(FileDigestTest, Sha256OfAFileIsTheStandardsAndAMissingFileSaysSo)
{
    for (const auto& [contents, expected] :
         {std::pair<const char*, const wchar_t*>{"abc", L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
          {"", L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"}}) {
        const std::wstring path = WriteTemporaryFile(contents);
        std::wstring digest;
        EXPECT_EQ(Sha256OfFile(path, digest), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(digest, expected);
        ::DeleteFileW(path.c_str());
    }
    std::wstring digest;
    EXPECT_EQ(Sha256OfFile(L"C:\\no such folder\\VyxonCamera.dll", digest), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

}  // namespace
}  // namespace vyx::setup
