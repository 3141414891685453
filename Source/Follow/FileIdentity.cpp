// Reading a file's identity through its handle.
#include "Follow/FileIdentity.h"

#include <windows.h>

#include <cstring>

#include "Kv/KvHandles.h"

namespace {

// FILE_ID_INFO and its class number, which the Windows 7 headers this program builds against lack.
struct FileIdInfo {
    ULONGLONG volumeSerialNumber;
    BYTE fileId[16];
};
constexpr int kFileIdInfoClass = 18;

}  // namespace

bool ReadFileIdentity(const std::wstring& path, FileIdentity& out) {
    out = FileIdentity{};
    kv::UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) return false;
    out.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    out.written = (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;

    FileIdInfo idInfo{};
    if (GetFileInformationByHandleEx(file.get(), static_cast<FILE_INFO_BY_HANDLE_CLASS>(kFileIdInfoClass), &idInfo,
                                     sizeof(idInfo))) {
        out.volume = idInfo.volumeSerialNumber;
        std::memcpy(out.id.data(), idInfo.fileId, out.id.size());
    } else {
        out.volume = info.dwVolumeSerialNumber;
        const uint64_t index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        std::memcpy(out.id.data(), &index, sizeof(index));
    }
    for (uint8_t byte : out.id)
        if (byte != 0) return true;
    return false;
}
