#include "ServiceTimings.h"

#include "UniqueResource.h"

#include <cstdio>
#include <string>

namespace vyx::service {

bool ParseTimings(const char* text, ServiceTimings& timings)
{
    unsigned long values[5] = {};
    if (std::sscanf(text, "%lu %lu %lu %lu %lu", &values[0], &values[1], &values[2], &values[3], &values[4]) != 5) {
        return false;
    }
    timings = {values[0], values[1], values[2], values[3], values[4]};
    return true;
}

void LoadTimingsBesideExecutable()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    std::wstring file(path, length);
    file.replace(file.find_last_of(L'.'), std::wstring::npos, L".timings");
    win::UniqueFile handle(
        ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!handle) {
        return;
    }
    char text[128] = {};
    DWORD read = 0;
    ServiceTimings timings = kShippedTimings;
    if (::ReadFile(handle.Get(), text, sizeof(text) - 1, &read, nullptr) && ParseTimings(text, timings)) {
        SetTimingsForTesting(timings);
    }
}

}  // namespace vyx::service
