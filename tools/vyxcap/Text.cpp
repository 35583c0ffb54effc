#include "Text.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cwchar>
#include <cwctype>

namespace vyx::vyxcap {

bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

std::optional<long> ParseLong(const std::wstring& text) {
    if (text.empty() || std::iswspace(text[0])) return std::nullopt;
    wchar_t* end = nullptr;
    errno = 0;
    const long long value = std::wcstoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != L'\0') return std::nullopt;
    if (value < LONG_MIN || value > LONG_MAX) return std::nullopt;
    return static_cast<long>(value);
}

std::optional<double> ParseDouble(const std::wstring& text) {
    if (text.empty() || std::iswspace(text[0])) return std::nullopt;
    wchar_t* end = nullptr;
    errno = 0;
    const double value = std::wcstod(text.c_str(), &end);
    if (errno != 0 || end == text.c_str() || *end != L'\0' || !std::isfinite(value))
        return std::nullopt;
    return value;
}

}  // namespace vyx::vyxcap
