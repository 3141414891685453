#include "Config/ModulePath.h"

#include <windows.h>

std::wstring ExecutablePath() {
    // GetModuleFileNameW truncates silently when the buffer is too small, so grow until the
    // whole path fits (the system limit for a path is 32767 characters).
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return std::wstring();
        path.resize(path.size() * 2);
    }
}

std::wstring ExecutableDirectory() {
    const std::wstring path = ExecutablePath();
    size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return std::wstring();
    return path.substr(0, slash + 1);
}
