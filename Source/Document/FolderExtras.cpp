// The sidecar of per-folder extras (layout in FolderExtras.h).
#include "Document/FolderExtras.h"

#include <windows.h>

#include <cstring>

#include "Document/Folder.h"
#include "Document/ProjectFile.h"
#include "Kv/KvBytes.h"
#include "Kv/KvHandles.h"

namespace {

const unsigned char kMagic[8] = {'T', 'F', 'M', 'O', 'R', 'E', 1, 0};
constexpr uint32_t kMaxStringUnits = 32767;
// A sidecar larger than this is not one this program wrote.
constexpr uint64_t kMaxSidecarBytes = 64ull * 1024 * 1024;

// The size and last write of the project file, which tie a sidecar to one save of it.
bool ProjectStamp(const std::wstring& projectPath, uint64_t& size, uint64_t& written) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(projectPath.c_str(), GetFileExInfoStandard, &data)) return false;
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    written = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool ReadAll(const std::wstring& file, std::vector<unsigned char>& bytes) {
    kv::UniqueFile handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle.get(), &size) || size.QuadPart < 32 ||
        static_cast<uint64_t>(size.QuadPart) > kMaxSidecarBytes)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return ReadFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
           read == bytes.size();
}

bool Parse(const std::vector<unsigned char>& bytes, uint64_t size, uint64_t written, FolderExtras& out) {
    const size_t body = bytes.size() - 4;
    KvByteReader tail(bytes.data() + body, 4);
    uint32_t checksum = 0;
    if (!tail.U32(checksum) || checksum != KvFnv1a(bytes.data(), body)) return false;
    if (std::memcmp(bytes.data(), kMagic, sizeof(kMagic)) != 0) return false;
    KvByteReader in(bytes.data() + sizeof(kMagic), body - sizeof(kMagic));
    uint64_t savedSize = 0, savedWritten = 0;
    if (!in.U64(savedSize) || !in.U64(savedWritten) || savedSize != size || savedWritten != written) return false;
    uint32_t count = 0;
    if (!in.U32(count)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        FolderExtras::Exclusion record;
        if (!in.U32(record.folderId) || !in.String(record.text, kMaxStringUnits)) return false;
        out.exclusions.push_back(std::move(record));
    }
    if (!in.U32(count)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        FolderExtras::Declined record;
        if (!in.U32(record.folderId) || !in.U32(record.index) || !in.String(record.path, kMaxStringUnits)) return false;
        out.declined.push_back(std::move(record));
    }
    return in.AtEnd();
}

}  // namespace

std::wstring FolderExtrasPathFor(const std::wstring& projectPath) {
    return projectPath + L".more";
}

FolderExtras GatherFolderExtras(const CFolder& root) {
    FolderExtras extras;
    ForEachFolder(root, [&](const CFolder& folder) {
        const std::wstring& text = folder.search.exclusionText;
        if (!text.empty() && text.size() <= kMaxStringUnits) extras.exclusions.push_back({folder.id, text});
        uint32_t index = 0;
        for (const CEntry& entry : folder.entries) {
            if (entry.relinkDeclined && !entry.subfolder && !entry.path.empty() && entry.path.size() <= kMaxStringUnits)
                extras.declined.push_back({folder.id, index, entry.path});
            ++index;
        }
    });
    return extras;
}

void ApplyFolderExtras(const FolderExtras& extras, CFolder& root) {
    for (const FolderExtras::Exclusion& record : extras.exclusions)
        if (CFolder* folder = root.FindById(record.folderId)) folder->search.exclusionText = record.text;
    for (const FolderExtras::Declined& record : extras.declined) {
        CFolder* folder = root.FindById(record.folderId);
        if (!folder) continue;
        auto entry = folder->EntryAt(record.index);
        if (entry != folder->End() && !entry->subfolder && entry->path == record.path) entry->relinkDeclined = 1;
    }
}

bool ReadFolderExtras(const std::wstring& projectPath, FolderExtras& out) {
    out = FolderExtras{};
    uint64_t size = 0, written = 0;
    std::vector<unsigned char> bytes;
    if (!ProjectStamp(projectPath, size, written) || !ReadAll(FolderExtrasPathFor(projectPath), bytes)) return false;
    FolderExtras parsed;
    if (!Parse(bytes, size, written, parsed)) return false;
    out = std::move(parsed);
    return true;
}

bool WriteFolderExtras(const std::wstring& projectPath, const FolderExtras& extras) {
    const std::wstring file = FolderExtrasPathFor(projectPath);
    if (extras.Empty()) return DeleteFileW(file.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
    uint64_t size = 0, written = 0;
    if (!ProjectStamp(projectPath, size, written)) return false;
    KvByteWriter out;
    out.Raw(kMagic, sizeof(kMagic));
    out.U64(size);
    out.U64(written);
    out.U32(static_cast<uint32_t>(extras.exclusions.size()));
    for (const auto& record : extras.exclusions) {
        out.U32(record.folderId);
        out.String(record.text);
    }
    out.U32(static_cast<uint32_t>(extras.declined.size()));
    for (const auto& record : extras.declined) {
        out.U32(record.folderId);
        out.U32(record.index);
        out.String(record.path);
    }
    out.U32(KvFnv1a(out.bytes.data(), out.bytes.size()));
    return SaveFileSafely(file, [&](HANDLE handle) {
        DWORD count = 0;
        return WriteFile(handle, out.bytes.data(), static_cast<DWORD>(out.bytes.size()), &count, nullptr) &&
               count == out.bytes.size();
    });
}
