#pragma once
// The one way a vyxcap command fails: a single line for the user and the exit code.
#include <windows.h>

#include <stdexcept>
#include <string>

namespace vyx::vyxcap {

inline constexpr int kExitFailure = 1;  // no such device, format not offered, graph failure
inline constexpr int kExitUsage = 2;    // the command line itself is wrong
inline constexpr int kExitInterrupted = 130;  // Ctrl+C ended a capture early, its report printed

class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string& message, int exitCode = kExitFailure);
    int ExitCode() const { return m_exitCode; }

private:
    int m_exitCode;
};

// "VFW_E_NOT_CONNECTED (0x80040209)"; codes without a name here give the number alone.
std::string DescribeHResult(HRESULT hr);

// Throws "<what> failed: <description>" for a failure code; success codes pass.
void ThrowIfFailed(HRESULT hr, const std::string& what);

}  // namespace vyx::vyxcap
