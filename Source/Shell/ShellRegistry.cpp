// Registry readers shared by the shell units (see ShellRegistry.h).
#include "Shell/ShellRegistry.h"

#include <cwchar>

std::wstring StringFromData(const wchar_t* data, DWORD bytes) {
    std::wstring text(data, bytes / sizeof(wchar_t));
    const size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    return text;
}

bool ReadDefaultString(HKEY key, std::wstring& text) {
    DWORD type = 0;
    DWORD bytes = 0;
    // The value can change between asking its size and reading it, so the read is retried.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return false;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
        std::wstring buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const LONG r = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]), &got);
        if (r == ERROR_MORE_DATA) continue;
        if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
        text = StringFromData(buffer.c_str(), got);
        return true;
    }
    return false;
}

bool FilesHaveOwnIcons(const std::wstring& extension) {
    static const wchar_t* const kOwn[] = {L".exe", L".ico", L".lnk", L".url", L".cur",
                                          L".ani", L".scr", L".pif", L".cpl"};
    for (const wchar_t* own : kOwn)
        if (_wcsicmp(extension.c_str(), own) == 0) return true;
    RegKey handler;
    if (handler.Open(HKEY_CLASSES_ROOT, extension + L"\\shellex\\IconHandler")) return true;
    RegKey type;
    std::wstring progId;
    if (!type.Open(HKEY_CLASSES_ROOT, extension) || !ReadDefaultString(type.get(), progId) || progId.empty())
        return false;
    RegKey classHandler;
    if (classHandler.Open(HKEY_CLASSES_ROOT, progId + L"\\shellex\\IconHandler")) return true;
    RegKey defaultIcon;
    std::wstring icon;
    if (!defaultIcon.Open(HKEY_CLASSES_ROOT, progId + L"\\DefaultIcon") || !ReadDefaultString(defaultIcon.get(), icon))
        return false;
    return icon.rfind(L"%1", 0) == 0 || icon.rfind(L"\"%1\"", 0) == 0;
}
