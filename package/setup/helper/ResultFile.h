#pragma once
// What a command of the helper tells the setup: four lines of UTF-16 text without a byte
// order mark (a word, a path, a detail, one more value), which the setup reads with
// FileReadUTF16LE. One thread.

#include <windows.h>

#include <string>

namespace vyx::setup {

struct Result {
    std::wstring word{};
    std::wstring path{};
    std::wstring detail{};
    std::wstring extra{};
};

// 0, or the error of writing the file.
DWORD WriteResultFile(const std::wstring& file, const Result& result);

}  // namespace vyx::setup
