// Writers and queries of the per-user file association (layout in Associations.h).
#include "Associations/Associations.h"

#include <windows.h>
#include <shlobj.h>

#include "Shell/ShellRegistry.h"

const wchar_t* const kProjectExtensions[3] = {L"tfolder", L"fol", L"tf"};

namespace {

const wchar_t kClasses[] = L"Software\\Classes\\";
const wchar_t kTypeName[] = L"テッサラフォルダ";
const wchar_t kNullFile[] = L"NullFile";
constexpr DWORD kModulePathChars = 512;

std::wstring ClassesPath(const std::wstring& key) {
    return kClasses + key;
}

std::wstring ExecutablePath() {
    wchar_t path[kModulePathChars];
    const DWORD length = GetModuleFileNameW(nullptr, path, kModulePathChars);
    if (length == 0 || length >= kModulePathChars) return std::wstring();
    return std::wstring(path, length);
}

bool SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}

// Creates (or opens) the user's class key `key` and sets its default value; names the key in
// `failed` when either step fails.
void WriteDefault(const std::wstring& key, const std::wstring& value, std::vector<std::wstring>& failed) {
    HKEY created = nullptr;
    const std::wstring path = ClassesPath(key);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, &created, nullptr) != ERROR_SUCCESS) {
        failed.push_back(L"HKEY_CURRENT_USER\\" + path);
        return;
    }
    if (!SetString(created, nullptr, value)) failed.push_back(L"HKEY_CURRENT_USER\\" + path);
    RegCloseKey(created);
}

bool ReadDefault(const std::wstring& key, std::wstring& value) {
    RegKey open;
    return open.Open(HKEY_CURRENT_USER, ClassesPath(key)) && ReadDefaultString(open.get(), value);
}

// Deletes the values `names` (null: the default value) of the user's class key `key` (when
// `onlyIf` is not null, the default value only when it equals *onlyIf), then the key itself when it
// holds neither values nor subkeys. A key that does not exist is no failure.
void RemoveValues(const std::wstring& key, std::initializer_list<const wchar_t*> names, const std::wstring* onlyIf,
                  std::vector<std::wstring>& failed) {
    const std::wstring path = ClassesPath(key);
    HKEY open = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &open);
    if (opened == ERROR_FILE_NOT_FOUND) return;
    if (opened != ERROR_SUCCESS) {
        failed.push_back(L"HKEY_CURRENT_USER\\" + path);
        return;
    }
    bool ok = true;
    for (const wchar_t* name : names) {
        if (!name && onlyIf) {
            std::wstring current;
            if (!ReadDefaultString(open, current) || current != *onlyIf) continue;
        }
        const LONG r = RegDeleteValueW(open, name);
        if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) ok = false;
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    const bool counted = RegQueryInfoKeyW(open, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                          nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(open);
    if (counted && subkeys == 0 && values == 0 && RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str()) != ERROR_SUCCESS)
        ok = false;
    if (!ok) failed.push_back(L"HKEY_CURRENT_USER\\" + path);
}

std::wstring ClassName(const std::wstring& extension) {
    return extension + L"file";
}

}  // namespace

std::wstring AssociationOpenCommand(const std::wstring& exe) {
    return L"\"" + exe + L"\" \"%1\"";
}

std::wstring AssociationDefaultIcon(const std::wstring& exe) {
    return L"\"" + exe + L"\",0";
}

void RegisterAssociation(const std::wstring& extension, std::vector<std::wstring>& failed) {
    const std::wstring exe = ExecutablePath();
    const std::wstring cls = ClassName(extension);
    WriteDefault(L"." + extension, cls, failed);
    WriteDefault(cls, kTypeName, failed);
    WriteDefault(cls + L"\\DefaultIcon", AssociationDefaultIcon(exe), failed);
    WriteDefault(cls + L"\\Shell", L"Open", failed);
    WriteDefault(cls + L"\\Shell\\Open", L"Open", failed);
    WriteDefault(cls + L"\\Shell\\Open\\Command", AssociationOpenCommand(exe), failed);
}

void DeleteAssociation(const std::wstring& extension, std::vector<std::wstring>& failed) {
    const std::wstring cls = ClassName(extension);
    const std::wstring dot = L"." + extension;
    // A class of that name that this program did not write (its type name is another) stays whole.
    std::wstring typeName;
    if (ReadDefault(cls, typeName) && typeName == kTypeName) {
        RemoveValues(cls + L"\\Shell\\Open\\Command", {nullptr}, nullptr, failed);
        RemoveValues(cls + L"\\Shell\\Open", {nullptr}, nullptr, failed);
        RemoveValues(cls + L"\\Shell", {nullptr}, nullptr, failed);
        RemoveValues(cls + L"\\DefaultIcon", {nullptr}, nullptr, failed);
        RemoveValues(cls, {nullptr}, nullptr, failed);
    }
    // An extension that another program has taken over keeps its owner and that owner's template.
    if (!IsAssociated(extension)) return;
    RemoveValues(dot + L"\\ShellNew", {nullptr, kNullFile}, nullptr, failed);
    RemoveValues(dot, {nullptr}, &cls, failed);
}

bool IsAssociated(const std::wstring& extension) {
    std::wstring cls;
    return ReadDefault(L"." + extension, cls) && _wcsicmp(cls.c_str(), ClassName(extension).c_str()) == 0;
}

bool AddShellNew(const std::wstring& extension, std::vector<std::wstring>& failed) {
    RegKey dot;
    if (!dot.Open(HKEY_CURRENT_USER, ClassesPath(L"." + extension))) return false;
    const std::wstring key = L"." + extension + L"\\ShellNew";
    const size_t before = failed.size();
    WriteDefault(key, L"", failed);
    if (failed.size() != before) return true;
    HKEY open = nullptr;
    const std::wstring path = ClassesPath(key);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &open) != ERROR_SUCCESS) {
        failed.push_back(L"HKEY_CURRENT_USER\\" + path);
        return true;
    }
    if (!SetString(open, kNullFile, L"")) failed.push_back(L"HKEY_CURRENT_USER\\" + path + L" (NullFile)");
    RegCloseKey(open);
    return true;
}

bool HasShellNew(const std::wstring& extension) {
    RegKey shellNew;
    if (!shellNew.Open(HKEY_CURRENT_USER, ClassesPath(L"." + extension + L"\\ShellNew"))) return false;
    return RegQueryValueExW(shellNew.get(), kNullFile, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool IsAssociatedWith(const std::wstring& extension, const std::wstring& exe) {
    std::wstring command;
    return ReadDefault(ClassName(extension) + L"\\Shell\\Open\\Command", command) &&
           _wcsicmp(command.c_str(), AssociationOpenCommand(exe).c_str()) == 0;
}

void AssociateProjectFiles(std::vector<std::wstring>& failed) {
    RegisterAssociation(kProjectExtensions[0], failed);
    AddShellNew(kProjectExtensions[0], failed);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

void RemoveOwnAssociations(std::vector<std::wstring>& failed) {
    const std::wstring exe = ExecutablePath();
    bool removed = false;
    for (const wchar_t* extension : kProjectExtensions) {
        if (exe.empty() || !IsAssociatedWith(extension, exe)) continue;
        DeleteAssociation(extension, failed);
        removed = true;
    }
    if (removed) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}
