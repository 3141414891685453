#include "App/AddForwarding.h"

#include "Commands/AddPathsMessage.h"

namespace {

const wchar_t kMainClass[] = L"MainWindow";
constexpr UINT kForwardTimeoutMs = 10000;
constexpr DWORD kPollMs = 100;

struct InstanceSearch {
    HWND best = nullptr;
    ULONG_PTR bestStamp = 0;
};

BOOL CALLBACK VisitTopWindow(HWND hwnd, LPARAM context) {
    InstanceSearch& search = *reinterpret_cast<InstanceSearch*>(context);
    wchar_t cls[32] = {};
    if (GetClassNameW(hwnd, cls, 32) == 0 || wcscmp(cls, kMainClass) != 0) return TRUE;
    const ULONG_PTR stamp = reinterpret_cast<ULONG_PTR>(GetPropW(hwnd, kInstanceActiveProperty));
    if (stamp != 0 && stamp > search.bestStamp) {
        search.best = hwnd;
        search.bestStamp = stamp;
    }
    return TRUE;
}

}  // namespace

std::vector<std::wstring> FullExistingPaths(const std::vector<std::wstring>& paths, std::vector<std::wstring>& missing) {
    std::vector<std::wstring> full;
    for (const std::wstring& path : paths) {
        const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
        std::wstring made(needed, L'\0');
        const DWORD length = needed ? GetFullPathNameW(path.c_str(), needed, &made[0], nullptr) : 0;
        if (length == 0 || length >= needed) {
            missing.push_back(path);
            continue;
        }
        made.resize(length);
        if (GetFileAttributesW(made.c_str()) == INVALID_FILE_ATTRIBUTES) {
            missing.push_back(made);
            continue;
        }
        full.push_back(made);
    }
    return full;
}

HWND FindRecentInstance() {
    InstanceSearch search;
    EnumWindows(VisitTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.best;
}

bool ForwardPaths(HWND mainWindow, const std::vector<std::wstring>& paths) {
    DWORD process = 0;
    GetWindowThreadProcessId(mainWindow, &process);
    // The instance may take the foreground only with this start's leave.
    if (process) AllowSetForegroundWindow(process);
    const std::wstring block = PackAddPaths(paths);
    COPYDATASTRUCT data{};
    data.dwData = kCopyDataAddPaths;
    data.cbData = static_cast<DWORD>(block.size() * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(block.data());
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(mainWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                             SMTO_ABORTIFHUNG | SMTO_NORMAL, kForwardTimeoutMs, &answer))
        return false;
    return static_cast<LRESULT>(answer) == kAddPathsAccepted;
}

bool ForwardToRunningInstance(const std::vector<std::wstring>& paths, DWORD waitMs) {
    const ULONGLONG end = GetTickCount64() + waitMs;
    for (;;) {
        HWND instance = FindRecentInstance();
        if (instance && ForwardPaths(instance, paths)) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(kPollMs);
    }
}
