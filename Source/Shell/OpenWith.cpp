// Registry readers of the programs registered to open files.
//
// Keys read (all for reading only):
//   <root>\<name>\shell\<verb>\command            default value: the verb's command line
//   HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.<ext>\OpenWithList
//                                                  string values: executable file names
//   HKCU\...\Explorer\FileExts\.<ext>\OpenWithProgids
//                                                  value names: programmatic identifiers
//   HKCR\Applications\<exe>                        one key per registered application
#include "Shell/OpenWith.h"

#include "Shell/ShellRegistry.h"

#include <shlwapi.h>

#include <algorithm>
#include <utility>

namespace {

constexpr const wchar_t* kFileExtsKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
constexpr DWORD kKeyNameChars = 260;        // subkey names (verbs, applications)
constexpr DWORD kValueNameChars = 256;      // value names of the open-with lists
constexpr DWORD kValueDataBytes = 512;      // an OpenWithList value: one executable file name
constexpr DWORD kExpandedChars = MAX_PATH;  // a program path after expanding variables, with NUL

void AppendOnce(std::vector<std::wstring>& list, std::wstring path) {
    if (std::find(list.begin(), list.end(), path) == list.end()) list.push_back(std::move(path));
}

// Calls `visit` with the name of every subkey of `key` in the registry's order. A name that does
// not fit the buffer is skipped; any other failure ends the enumeration.
template <typename Visit>
void ForEachSubkey(HKEY key, Visit visit) {
    wchar_t name[kKeyNameChars];
    for (DWORD index = 0;; ++index) {
        DWORD chars = kKeyNameChars;
        const LONG r = RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_MORE_DATA) continue;
        if (r != ERROR_SUCCESS) return;
        visit(std::wstring(name, chars));
    }
}

// Calls `visit` with the name, type and data of every value of `key` in the registry's order;
// with `withData` false only the names are read. A value whose name or data does not fit the
// buffers is skipped (a cut name would name another program); any other failure ends it.
template <typename Visit>
void ForEachValue(HKEY key, bool withData, Visit visit) {
    wchar_t name[kValueNameChars];
    wchar_t data[kValueDataBytes / sizeof(wchar_t)];
    for (DWORD index = 0;; ++index) {
        DWORD nameChars = kValueNameChars;
        DWORD dataBytes = kValueDataBytes;
        DWORD type = REG_NONE;
        const LONG r =
            RegEnumValueW(key, index, name, &nameChars, nullptr, &type,
                          withData ? reinterpret_cast<BYTE*>(data) : nullptr, withData ? &dataBytes : nullptr);
        if (r == ERROR_MORE_DATA) continue;
        if (r != ERROR_SUCCESS) return;
        visit(std::wstring(name, nameChars), type, withData ? StringFromData(data, dataBytes) : std::wstring());
    }
}

std::wstring FileExtsKey(const wchar_t* extension, const wchar_t* list) {
    return std::wstring(kFileExtsKey) + L"." + extension + L"\\" + list;
}

}  // namespace

std::wstring ProgramOfCommand(std::wstring command) {
    command.push_back(L'\0');  // the path functions work in place on a NUL-terminated buffer
    PathRemoveArgsW(&command[0]);
    PathUnquoteSpacesW(&command[0]);
    command.resize(command.find(L'\0'));
    if (command.empty() || command.size() > kMaxOpenWithPathChars) return std::wstring();
    wchar_t expanded[kExpandedChars];
    const DWORD needed = ExpandEnvironmentStringsW(command.c_str(), expanded, kExpandedChars);
    if (needed == 0 || needed > kExpandedChars) return std::wstring();
    return expanded;
}

bool CollectVerbCommands(HKEY root, const wchar_t* name, std::vector<std::wstring>& list) {
    if (!name || !*name) return false;
    RegKey shell;
    if (!shell.Open(root, std::wstring(name) + L"\\shell")) return false;
    ForEachSubkey(shell.get(), [&](const std::wstring& verb) {
        RegKey command;
        std::wstring line;
        if (!command.Open(shell.get(), verb + L"\\command") || !ReadDefaultString(command.get(), line)) return;
        std::wstring program = ProgramOfCommand(std::move(line));
        if (!program.empty()) AppendOnce(list, std::move(program));
    });
    return true;
}

bool CollectOpenWithApps(std::vector<std::wstring>& list, const wchar_t* extension) {
    if (!extension || !*extension) return false;
    RegKey openWith;
    if (!openWith.Open(HKEY_CURRENT_USER, FileExtsKey(extension, L"OpenWithList"))) return false;
    ForEachValue(openWith.get(), true, [&](const std::wstring&, DWORD type, const std::wstring& exe) {
        if (type == REG_SZ && !exe.empty())
            CollectVerbCommands(HKEY_CLASSES_ROOT, (L"Applications\\" + exe).c_str(), list);
    });
    RegKey progids;
    if (progids.Open(HKEY_CURRENT_USER, FileExtsKey(extension, L"OpenWithProgids"))) {
        ForEachValue(progids.get(), false, [&](const std::wstring& progid, DWORD, const std::wstring&) {
            CollectVerbCommands(HKEY_CLASSES_ROOT, progid.c_str(), list);
        });
    }
    return true;
}

bool CollectAllApps(std::vector<std::wstring>& list) {
    RegKey apps;
    if (!apps.Open(HKEY_CLASSES_ROOT, L"Applications")) return false;
    ForEachSubkey(apps.get(), [&](const std::wstring& app) { CollectVerbCommands(apps.get(), app.c_str(), list); });
    return true;
}
