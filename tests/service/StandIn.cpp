#include "StandIn.h"

#include "TestLayout.h"
#include "UniqueResource.h"

namespace vyx::service::test {

namespace {

constexpr wchar_t kStartedEvent[] = L"VyxStandInStarted";

}  // namespace

std::wstring StandIn::ProgramPath() { return ExecutableDirectory() + L"\\regsvr32_standin.exe"; }

StandIn::StandIn(const wchar_t* mode)
    : m_logPath(ExecutableDirectory() + L"\\standin.log"),
      m_started(::CreateEventW(nullptr, FALSE, FALSE, kStartedEvent))
{
    ::DeleteFileW(m_logPath.c_str());
    ::SetEnvironmentVariableW(L"VYX_STANDIN_MODE", mode);
    ::SetEnvironmentVariableW(L"VYX_STANDIN_LOG", m_logPath.c_str());
    ::SetEnvironmentVariableW(L"VYX_STANDIN_EVENT", kStartedEvent);
    m_hooks->regsvr32 = ProgramPath();
}

StandIn::~StandIn()
{
    ::SetEnvironmentVariableW(L"VYX_STANDIN_MODE", nullptr);
    ::SetEnvironmentVariableW(L"VYX_STANDIN_LOG", nullptr);
    ::SetEnvironmentVariableW(L"VYX_STANDIN_EVENT", nullptr);
}

std::vector<std::wstring> StandIn::LogLines() const
{
    std::vector<std::wstring> lines;
    win::UniqueFile file(::CreateFileW(m_logPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return lines;
    }
    std::wstring text;
    wchar_t buffer[512];
    DWORD read = 0;
    while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        text.append(buffer, read / sizeof(wchar_t));
    }
    std::size_t start = 0;
    for (std::size_t end = text.find(L'\n'); end != std::wstring::npos; end = text.find(L'\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<ULONGLONG> StandIn::StartTicks() const
{
    std::vector<ULONGLONG> ticks;
    for (const std::wstring& line : LogLines()) {
        ticks.push_back(std::wcstoull(line.c_str(), nullptr, 10));
    }
    return ticks;
}

std::vector<std::wstring> StandIn::CommandLines() const
{
    std::vector<std::wstring> commands;
    for (const std::wstring& line : LogLines()) {
        commands.push_back(line.substr(line.find(L' ') + 1));
    }
    return commands;
}

bool StandInStillRunning()
{
    win::UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, kStandInAliveMutex));
    return static_cast<bool>(mutex);
}

}  // namespace vyx::service::test
