#include "Shell/ShellRun.h"

#include <shellapi.h>

namespace {
ShellOpenHook& Hook() {
    static ShellOpenHook hook;
    return hook;
}
}  // namespace

bool ShellOpen(HWND owner, const std::wstring& file, const std::wstring& parameters) {
    if (Hook()) return Hook()(file, parameters);
    HINSTANCE result = ShellExecuteW(owner, L"open", file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                                     nullptr, SW_SHOWNORMAL);
    // ShellExecuteW reports success as a value above 32.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

void SetShellOpenHook(ShellOpenHook hook) {
    Hook() = std::move(hook);
}
