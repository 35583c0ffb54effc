#pragma once
// Text helpers of the tool: conversions for console output and strict number parsing.
#include <optional>
#include <string>

#include "ToolText.h"

namespace vyx::vyxcap {

using vyx::tools::Narrow;  // UTF-8
bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b);

// Whole-string parses: no sign-only, no trailing characters, no overflow.
std::optional<long> ParseLong(const std::wstring& text);
std::optional<double> ParseDouble(const std::wstring& text);

}  // namespace vyx::vyxcap
