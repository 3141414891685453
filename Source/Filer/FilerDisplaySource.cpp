// The filer's display data from the shell and the file system, with the per-extension and
// per-directory caches described in FilerDisplaySource.h.
#include "Filer/FilerDisplaySource.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cwctype>

#include "Shell/ShellRegistry.h"
#include "Kv/KvFiles.h"
#include "Kv/KvSlowPaths.h"

namespace {

// A directory is listed as a whole once this many of its files have been asked for one by one: a
// folder holding one file of a huge directory never pays for listing all of it.
constexpr int kSightingsBeforeListing = 3;

// File name without directory and extension: the label of a missing entry.
std::wstring BareFileName(const std::wstring& path) {
    size_t start = path.find_last_of(L"\\/");
    start = (start == std::wstring::npos) ? 0 : start + 1;
    std::wstring name = path.substr(start);
    size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) name.erase(dot);
    return name;
}

// True when `path` names a file-system object that is certainly not there. The shell cannot parse
// such a path either, but it takes far longer to fail than the file system does, which matters for
// folders full of entries on a drive that is gone.
bool CertainlyAbsent(const std::wstring& path) {
    const bool drivePath = path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    const bool uncPath = path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
    if (!drivePath && !uncPath) return false;
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

// A drive or network path of a file inside a directory, spelled plainly: backslashes only, no "."
// or ".." components, no stream or device syntax. Only such paths may be answered from a listing.
bool IsPlainFilePath(const std::wstring& path) {
    const bool drivePath = path.size() > 3 && path[1] == L':' && path[2] == L'\\' && iswalpha(path[0]);
    const bool uncPath = path.size() > 2 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'?' && path[2] != L'.';
    if (!drivePath && !uncPath) return false;
    if (path.find_first_of(L"/*?\"<>|", 0) != std::wstring::npos) return false;
    if (path.find(L':', 2) != std::wstring::npos) return false;
    const wchar_t last = path.back();
    if (last == L'\\' || last == L'.' || last == L' ') return false;
    return path.find(L"\\.\\") == std::wstring::npos && path.find(L"\\..\\") == std::wstring::npos;
}

// From the directory entry, so a file another program holds open without sharing shows its size
// and date too (and reads the same as the live view's check of it).
void ReadSizeAndDate(const std::wstring& path, PathDisplay& out) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return;
    out.hasSizeAndDate = true;
    out.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    out.written = data.ftLastWriteTime;
}

}  // namespace

int32_t FilerSizeValue(uint64_t bytes) {
    return static_cast<int32_t>((bytes + 1023) / 1024);
}

std::wstring FilerDateText(const FILETIME& written) {
    SYSTEMTIME when{};
    if (!FileTimeToSystemTime(&written, &when)) return {};
    return std::to_wstring(when.wYear) + L'/' + std::to_wstring(when.wMonth) + L'/' + std::to_wstring(when.wDay) +
           L' ' + std::to_wstring(when.wHour) + L':' + std::to_wstring(when.wMinute);
}

bool FilerDisplaySource::DescribeInFull(const std::wstring& resolved, PathDisplay& out) {
    out = PathDisplay{};
    if (resolved.empty()) return false;
    KvPathCallGate(resolved);
    PIDLIST_ABSOLUTE pidl = nullptr;
    if (CertainlyAbsent(resolved) || FAILED(SHParseDisplayName(resolved.c_str(), nullptr, &pidl, 0, nullptr)) ||
        !pidl) {
        out.missing = true;
        out.name = BareFileName(resolved);
        out.typeText = L"Unknown";
        return true;
    }
    SHFILEINFOW info{};
    info.dwAttributes = SFGAO_FOLDER | SFGAO_STREAM;
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &info, sizeof(info),
                   SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_TYPENAME | SHGFI_ATTRIBUTES | SHGFI_ATTR_SPECIFIED |
                       SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    CoTaskMemFree(pidl);
    out.name = info.szDisplayName;
    out.typeText = info.szTypeName;
    out.icon = info.iIcon;
    // Archives the shell browses as folders are still files with a size.
    out.directory = (info.dwAttributes & SFGAO_FOLDER) && !(info.dwAttributes & SFGAO_STREAM);
    if (!out.directory) ReadSizeAndDate(resolved, out);
    return true;
}

namespace {

// A plain path whose file name does not start with its only dot: Describe reads it from the
// directory entry.
bool ListedAsIs(const std::wstring& resolved) {
    if (!IsPlainFilePath(resolved)) return false;
    const std::wstring fileName = resolved.substr(resolved.rfind(L'\\') + 1);
    return fileName.rfind(L'.') != 0;
}

}  // namespace

bool FilerDisplaySource::ReadFacts(const std::wstring& resolved, WIN32_FILE_ATTRIBUTE_DATA& out) {
    out = WIN32_FILE_ATTRIBUTE_DATA{};
    KvPathCallGate(resolved);
    WIN32_FIND_DATAW data{};
    HANDLE find = ListedAsIs(resolved) ? FindFirstFileExW(resolved.c_str(), FindExInfoBasic, &data,
                                                          FindExSearchNameMatch, nullptr, 0)
                                       : INVALID_HANDLE_VALUE;
    // What Describe asks in full (a path it does not list) is asked of the file here too.
    if (find == INVALID_HANDLE_VALUE) return GetFileAttributesExW(resolved.c_str(), GetFileExInfoStandard, &out) != FALSE;
    FindClose(find);
    out.dwFileAttributes = data.dwFileAttributes;
    out.ftLastWriteTime = data.ftLastWriteTime;
    out.nFileSizeHigh = data.nFileSizeHigh;
    out.nFileSizeLow = data.nFileSizeLow;
    return true;
}

bool FilerDisplaySource::Describe(const std::wstring& resolved, PathDisplay& out) {
    if (!IsPlainFilePath(resolved)) return DescribeInFull(resolved, out);
    const size_t slash = resolved.rfind(L'\\');
    const std::wstring fileName = resolved.substr(slash + 1);
    const size_t dot = fileName.rfind(L'.');
    // A name that starts with its only dot has no extension the shell could hide.
    if (dot == 0) return DescribeInFull(resolved, out);
    KvPathCallGate(resolved);

    FileFacts single;
    const FileFacts* facts = nullptr;
    if (const Listing* listing = ListingOf(resolved.substr(0, slash))) {
        auto found = listing->find(KvUpperPath(fileName));
        if (found != listing->end()) facts = &found->second;
    } else {
        WIN32_FIND_DATAW data{};
        HANDLE find = FindFirstFileExW(resolved.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
        if (find != INVALID_HANDLE_VALUE) {
            FindClose(find);
            single.attributes = data.dwFileAttributes;
            single.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            single.written = data.ftLastWriteTime;
            single.name = data.cFileName;
            facts = &single;
        }
    }
    // Not listed (missing, or spelled by a short name): asked in full.
    if (!facts) return DescribeInFull(resolved, out);
    if (facts->attributes & FILE_ATTRIBUTE_DIRECTORY) return DescribeDirectory(resolved, *facts, out);

    const std::wstring extension = dot == std::wstring::npos ? std::wstring() : fileName.substr(dot);
    const std::wstring key = KvUpperPath(extension);
    auto known = types_.find(key);
    if (known == types_.end()) {
        if (!DescribeInFull(resolved, out) || out.missing || out.directory) return true;
        TypeFacts learned;
        learned.typeText = out.typeText;
        learned.icon = out.icon;
        learned.ownIcon = FilesHaveOwnIcons(extension);
        if (out.name == facts->name)
            learned.rule = NameRule::kKeep;
        else if (!extension.empty() && out.name == facts->name.substr(0, facts->name.size() - extension.size()))
            learned.rule = NameRule::kStripExtension;
        types_.emplace(key, std::move(learned));
        return true;
    }
    const TypeFacts& type = known->second;
    if (type.ownIcon || type.rule == NameRule::kAskEachFile) return DescribeInFull(resolved, out);

    out = PathDisplay{};
    out.name = facts->name;
    if (type.rule == NameRule::kStripExtension) out.name.resize(out.name.size() - extension.size());
    out.typeText = type.typeText;
    out.icon = type.icon;
    out.hasSizeAndDate = true;
    out.size = facts->size;
    out.written = facts->written;
    return true;
}

bool FilerDisplaySource::DescribeDirectory(const std::wstring& resolved, const FileFacts& facts, PathDisplay& out) {
    // Only a read-only or system directory can carry a desktop.ini of its own (and a link points
    // elsewhere); every other directory shows its own name with the type and icon of all of them.
    constexpr DWORD kCustomisable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT;
    if ((facts.attributes & kCustomisable) || !plainDirectoryKnown_) {
        if (!DescribeInFull(resolved, out)) return false;
        if (!(facts.attributes & kCustomisable) && out.directory && out.name == facts.name) {
            plainDirectory_.typeText = out.typeText;
            plainDirectory_.icon = out.icon;
            plainDirectoryKnown_ = true;
        }
        return true;
    }
    out = PathDisplay{};
    out.directory = true;
    out.name = facts.name;
    out.typeText = plainDirectory_.typeText;
    out.icon = plainDirectory_.icon;
    return true;
}

const FilerDisplaySource::Listing* FilerDisplaySource::ListingOf(const std::wstring& directory) {
    const std::wstring key = KvUpperPath(directory);
    auto known = directories_.find(key);
    if (known != directories_.end()) return &known->second;
    if (++sightings_[key] < kSightingsBeforeListing) return nullptr;

    Listing& listing = directories_[key];
    KvPathCallGate(directory);
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileExW((directory + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return &listing;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        FileFacts& facts = listing[KvUpperPath(name)];
        facts.attributes = data.dwFileAttributes;
        facts.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        facts.written = data.ftLastWriteTime;
        facts.name = name;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return &listing;
}

int FilerDisplaySource::ProgramIcon(const std::wstring& program) {
    auto known = programIcons_.find(program);
    if (known != programIcons_.end()) return known->second;
    SHFILEINFOW info{};
    int icon = -1;
    KvPathCallGate(program);
    if (SHGetFileInfoW(program.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
        icon = info.iIcon;
    programIcons_.emplace(program, icon);
    return icon;
}

void FilerDisplaySource::ForgetListings() {
    directories_.clear();
    sightings_.clear();
}

void FilerDisplaySource::ForgetAll() {
    ForgetListings();
    types_.clear();
    plainDirectoryKnown_ = false;
    programIcons_.clear();
}
