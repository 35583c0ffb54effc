#include "RecordedLinks.h"

#include <cstdio>
#include <cstring>

namespace vyx::pages::test {
namespace {

const wchar_t* const kSchemes[] = {L"http", L"https", L"mailto"};
constexpr wchar_t kBackupRoot[] = L"Software\\VyxPageTestSchemes";

std::wstring ClassesKey(const wchar_t* scheme) {
    return std::wstring(L"Software\\Classes\\") + scheme;
}

std::wstring BackupKey(const wchar_t* scheme) {
    return std::wstring(kBackupRoot) + L"\\" + scheme;
}

std::wstring BesideThisProgram(const wchar_t* file) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + file;
}

bool CopyKey(const std::wstring& from, const std::wstring& to) {
    HKEY source = nullptr, target = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, from.c_str(), 0, KEY_READ, &source) != ERROR_SUCCESS) return false;
    bool copied = false;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr) ==
        ERROR_SUCCESS) {
        copied = RegCopyTreeW(source, nullptr, target) == ERROR_SUCCESS;
        RegCloseKey(target);
    }
    RegCloseKey(source);
    return copied;
}

// The scheme's key, replaced by one whose only verb runs the recorder (no DDE, which
// the prefix's browser registration asks for).
bool RegisterRecorder(const wchar_t* scheme, const std::wstring& recorder) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, ClassesKey(scheme).c_str());
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (ClassesKey(scheme) + L"\\shell\\open\\command").c_str(), 0, nullptr, 0,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const std::wstring command = L"\"" + recorder + L"\" \"%1\"";
    const LONG set = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                    static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    HKEY schemeKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ClassesKey(scheme).c_str(), 0, KEY_WRITE, &schemeKey) == ERROR_SUCCESS) {
        RegSetValueExW(schemeKey, L"URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
        RegCloseKey(schemeKey);
    }
    return set == ERROR_SUCCESS;
}

}  // namespace

RecordedLinks::RecordedLinks() : m_log(BesideThisProgram(L"opened-links.txt")) {
    DeleteFileW(m_log.c_str());
    SetEnvironmentVariableW(L"VYX_LINK_LOG", m_log.c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kBackupRoot);
    const std::wstring recorder = BesideThisProgram(L"page_link_recorder.exe");
    m_ready = true;
    for (const wchar_t* scheme : kSchemes) {
        CopyKey(ClassesKey(scheme), BackupKey(scheme));  // a scheme the prefix lacks has nothing to keep
        m_ready = RegisterRecorder(scheme, recorder) && m_ready;
    }
}

RecordedLinks::~RecordedLinks() {
    for (const wchar_t* scheme : kSchemes) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, ClassesKey(scheme).c_str());
        CopyKey(BackupKey(scheme), ClassesKey(scheme));
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kBackupRoot);
    SetEnvironmentVariableW(L"VYX_LINK_LOG", nullptr);
    DeleteFileW(m_log.c_str());
}

std::vector<std::string> RecordedLinks::Opened() const {
    std::vector<std::string> links;
    FILE* file = _wfopen(m_log.c_str(), L"r");
    if (!file) return links;
    char line[1024];
    while (std::fgets(line, sizeof line, file)) {
        line[std::strcspn(line, "\r\n")] = '\0';
        if (*line) links.push_back(line);
    }
    std::fclose(file);
    return links;
}

std::vector<std::string> RecordedLinks::WaitFor(size_t count, DWORD timeoutMs) const {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    std::vector<std::string> links = Opened();
    while (links.size() < count && GetTickCount64() < end) {
        Sleep(50);
        links = Opened();
    }
    return links;
}

}  // namespace vyx::pages::test
