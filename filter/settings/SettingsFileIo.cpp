#include "SettingsFileIo.h"

#include "UniqueResource.h"

namespace vyx {

FileRead ReadSettingsFile(const std::wstring& path, std::string& contents) {
    contents.clear();
    vyx::win::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::Missing : FileRead::Failed;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > kMaxSettingsFileBytes)
        return FileRead::Failed;

    contents.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < contents.size()) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), contents.data() + done, static_cast<DWORD>(contents.size() - done), &read, nullptr))
            return FileRead::Failed;
        if (read == 0) break;  // shrunk while reading: keep what is there
        done += read;
    }
    contents.resize(done);
    return FileRead::Ok;
}

DWORD ReplaceSettingsFile(const std::wstring& path, const std::string& contents) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return ERROR_ACCESS_DENIED;

    // Beside the target, so the rename stays on one volume; the process ID keeps two
    // sessions of one user apart, the lock keeps the threads of one process apart.
    const std::wstring temporary = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    {
        vyx::win::UniqueFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return GetLastError();
        std::size_t done = 0;
        DWORD error = ERROR_SUCCESS;
        while (done < contents.size() && error == ERROR_SUCCESS) {
            DWORD written = 0;
            if (!WriteFile(file.Get(), contents.data() + done, static_cast<DWORD>(contents.size() - done), &written,
                           nullptr))
                error = GetLastError();
            else if (written == 0)
                error = ERROR_WRITE_FAULT;
            done += written;
        }
        if (error == ERROR_SUCCESS && !FlushFileBuffers(file.Get())) error = GetLastError();
        if (error != ERROR_SUCCESS) {
            file.Reset();
            DeleteFileW(temporary.c_str());
            return error;
        }
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(temporary.c_str());
        return error;
    }
    return ERROR_SUCCESS;
}

}  // namespace vyx
