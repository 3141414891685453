// Reading the registry's class and association keys: one owner of an open key and the reader of a
// key's default string, shared by the open-with lists and the file icon question.
#pragma once

#include <windows.h>

#include <string>

// An open registry key, closed once.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() {
        if (key_) RegCloseKey(key_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    bool Open(HKEY parent, const std::wstring& path) {
        return RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key_) == ERROR_SUCCESS;
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// The string that `bytes` bytes of registry data hold, up to its first NUL (registry strings need
// not be NUL-terminated, and may hold an odd trailing byte, which is dropped).
std::wstring StringFromData(const wchar_t* data, DWORD bytes);

// The default value of `key` when it is a string (REG_SZ or REG_EXPAND_SZ) of any length.
bool ReadDefaultString(HKEY key, std::wstring& text);

// Whether files of `extension` (with its dot) draw their icon from each file itself: programs,
// icons, shortcuts and the like always do; other types when their class names "%1" as its default
// icon or has an icon handler of the shell, on the extension or its class.
bool FilesHaveOwnIcons(const std::wstring& extension);
