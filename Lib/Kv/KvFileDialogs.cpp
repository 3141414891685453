// Folder browser and open-file dialog wrappers.
#include "Kv/KvFileDialogs.h"

#include "Kv/KvHandles.h"

#include <commdlg.h>
#include <shlobj.h>

namespace {

constexpr size_t kFolderPathChars = MAX_PATH;  // 259 characters and the NUL
constexpr size_t kExecutablePathChars = 512;   // 511 characters and the NUL

wchar_t g_executablePath[kExecutablePathChars];

// Selects the starting folder once the browser reports that it is ready; lpData is that path.
int CALLBACK BrowseCallback(HWND hwnd, UINT msg, LPARAM, LPARAM lpData) {
    if (msg == BFFM_INITIALIZED) SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, lpData);
    return 0;
}

}  // namespace

bool KvBrowseForFolder(std::wstring& path, HWND owner, const wchar_t* title) {
    wchar_t start[kFolderPathChars] = {};
    path.copy(start, kFolderPathChars - 1);
    wchar_t displayName[kFolderPathChars] = {};

    BROWSEINFOW bi{};
    bi.hwndOwner = owner;
    bi.pidlRoot = nullptr;
    bi.pszDisplayName = displayName;
    bi.lpszTitle = title;
    bi.ulFlags = 0;
    bi.lpfn = &BrowseCallback;
    bi.lParam = reinterpret_cast<LPARAM>(start);
    kv::CoTaskMem<ITEMIDLIST> chosen(SHBrowseForFolderW(&bi));
    if (!chosen) return false;
    wchar_t result[kFolderPathChars] = {};
    if (!SHGetPathFromIDListW(chosen.get(), result)) return false;
    path = result;
    return true;
}

std::wstring KvMakeExtensionFilter(const wchar_t* extension) {
    const std::wstring ext = extension ? extension : L"";
    std::wstring filter = ext + L" {*." + ext + L"}#*." + ext + L"#すべてのファイル {*.*}#*.*##";
    for (wchar_t& c : filter)
        if (c == L'#') c = L'\0';
    return filter;
}

const wchar_t* KvChooseExecutable(HWND owner) {
    const std::wstring filter = KvMakeExtensionFilter(L"exe");
    g_executablePath[0] = L'\0';
    OPENFILENAMEW ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = g_executablePath;
    ofn.nMaxFile = static_cast<DWORD>(kExecutablePathChars);
    // The program finds files of its own through the current directory, so the dialog keeps it.
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&ofn)) return nullptr;
    return g_executablePath;
}
