// Stands in for the user's browser and mail program in the page tests: registered as the
// open command of the http, https and mailto schemes, it appends the link it was given,
// one line each, to the file named by VYX_LINK_LOG.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    wchar_t log[MAX_PATH] = {};
    if (argc < 2 || !GetEnvironmentVariableW(L"VYX_LINK_LOG", log, MAX_PATH)) return 2;
    FILE* file = _wfopen(log, L"a");
    if (!file) return 1;
    std::fprintf(file, "%ls\n", argv[1]);
    std::fclose(file);
    return 0;
}
