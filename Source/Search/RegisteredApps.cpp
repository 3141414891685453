// The registered applications of the system, read from the registry.
#include "Search/RegisteredApps.h"

#include <windows.h>

#include <set>
#include <vector>

#include "Shell/OpenWith.h"
#include "Shell/ShellRegistry.h"

namespace {

// Subkey names of `key` in registry order (names are at most 255 characters).
std::vector<std::wstring> SubkeyNames(HKEY key) {
    std::vector<std::wstring> names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        const LONG status = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) {
            names.emplace_back(name, length);
        } else if (status != ERROR_MORE_DATA) {
            break;  // the end, or a key deleted or unreadable meanwhile
        }
    }
    return names;
}

}  // namespace

void ListRegisteredApps(const std::atomic<bool>& stop, const std::function<void(const std::wstring&)>& report) {
    RegKey applications;
    if (!applications.Open(HKEY_CLASSES_ROOT, L"Applications")) return;
    std::set<std::wstring> listed;
    for (const std::wstring& app : SubkeyNames(applications.get())) {
        RegKey shell;
        if (shell.Open(applications.get(), app + L"\\shell")) {
            for (const std::wstring& verb : SubkeyNames(shell.get())) {
                RegKey command;
                std::wstring text;
                if (!command.Open(shell.get(), verb + L"\\command") || !ReadDefaultString(command.get(), text)) continue;
                const std::wstring program = ProgramOfCommand(text);
                if (program.empty() || !listed.insert(program).second) continue;
                report(program);
            }
        }
        if (stop.load(std::memory_order_relaxed)) return;
    }
}
