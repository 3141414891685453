#include "App/ProjectPlaces.h"

#include <windows.h>
#include <shlobj.h>

#include "Config/ModulePath.h"
#include "Kv/KvHandles.h"

const wchar_t kUninstallerName[] = L"Uninstall.exe";

namespace {

const wchar_t kDefaultProjectName[] = L"default.tfolder";
const wchar_t kDocumentsFolderName[] = L"TessaraFolder";
const wchar_t kProgramKey[] = L"Software\\TessaraFolder";
const wchar_t kRecentProjectValue[] = L"RecentProject";

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether a file can be made in `dir`: a temporary file is created there and goes again on close.
bool DirectoryWritable(const std::wstring& dir) {
    const std::wstring probe = dir + L"~tf" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    kv::UniqueFile file(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return static_cast<bool>(file);
}

std::wstring DocumentsProjectFolder() {
    PWSTR documents = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_CREATE, nullptr, &documents))) return std::wstring();
    std::wstring folder = documents;
    CoTaskMemFree(documents);
    if (folder.empty()) return folder;
    if (folder.back() != L'\\') folder += L'\\';
    return folder + kDocumentsFolderName + L'\\';
}

}  // namespace

DefaultProjectPlace FindDefaultProject() {
    const std::wstring programDir = ExecutableDirectory();
    const std::wstring beside = programDir.empty() ? std::wstring() : programDir + kDefaultProjectName;
    if (!beside.empty() && Exists(beside)) return {beside, true};
    if (!beside.empty() && !Exists(programDir + kUninstallerName) && DirectoryWritable(programDir))
        return {beside, false};
    const std::wstring documents = DocumentsProjectFolder();
    if (documents.empty()) return {beside, false};
    const std::wstring path = documents + kDefaultProjectName;
    return {path, Exists(path)};
}

bool CreateEmptyProject(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos) {
        const std::wstring dir = path.substr(0, slash);
        const int made = SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
        if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) return false;
    }
    kv::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file) || GetLastError() == ERROR_FILE_EXISTS;
}

void RememberRecentProject(const std::wstring& projectPath) {
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(projectPath.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return;
    const DWORD bytes = (length + 1) * sizeof(wchar_t);
    RegSetKeyValueW(HKEY_CURRENT_USER, kProgramKey, kRecentProjectValue, REG_SZ, full, bytes);
}

std::wstring RecentProject() {
    wchar_t path[MAX_PATH] = {};
    DWORD bytes = sizeof(path) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, kProgramKey, kRecentProjectValue, RRF_RT_REG_SZ, nullptr, path, &bytes) !=
        ERROR_SUCCESS)
        return std::wstring();
    const std::wstring recent = path;
    return !recent.empty() && Exists(recent) ? recent : std::wstring();
}
