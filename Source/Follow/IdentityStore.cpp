// The sidecar of file identities (layout in IdentityStore.h).
#include "Follow/IdentityStore.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "Document/Folder.h"
#include "Document/ProjectFile.h"
#include "Follow/PathRoot.h"
#include "Kv/KvBytes.h"
#include "Kv/KvFiles.h"
#include "Kv/KvSlowPaths.h"
#include "Kv/KvHandles.h"

namespace {

const unsigned char kMagic[8] = {'T', 'F', 'I', 'D', 'S', 1, 0, 0};
constexpr uint32_t kMaxPathUnits = 32767;
// A sidecar larger than this is not one this program wrote.
constexpr uint64_t kMaxSidecarBytes = 256ull * 1024 * 1024;

}  // namespace

const FileIdentity* IdentityStore::Find(const std::wstring& path) const {
    auto found = records_.find(KvUpperPath(path));
    return found == records_.end() ? nullptr : &found->second.identity;
}

void IdentityStore::Remember(const std::wstring& path, const FileIdentity& identity) {
    if (path.empty() || path.size() > kMaxPathUnits) return;
    records_[KvUpperPath(path)] = Record{path, identity};
}

void IdentityStore::Forget(const std::wstring& path) {
    records_.erase(KvUpperPath(path));
}

bool IdentityStore::Load(const std::wstring& file) {
    records_.clear();
    kv::UniqueFile handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle.get(), &size) || size.QuadPart < 16 ||
        static_cast<uint64_t>(size.QuadPart) > kMaxSidecarBytes)
        return false;
    std::vector<unsigned char> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size())
        return false;

    const size_t body = bytes.size() - 4;
    KvByteReader tail(bytes.data() + body, 4);
    uint32_t checksum = 0;
    if (!tail.U32(checksum) || checksum != KvFnv1a(bytes.data(), body)) return false;
    if (std::memcmp(bytes.data(), kMagic, sizeof(kMagic)) != 0) return false;

    KvByteReader in(bytes.data() + sizeof(kMagic), body - sizeof(kMagic));
    uint32_t count = 0;
    if (!in.U32(count)) return false;
    std::unordered_map<std::wstring, Record> records;
    for (uint32_t i = 0; i < count; ++i) {
        Record record;
        if (!in.String(record.path, kMaxPathUnits)) return false;
        if (!in.U64(record.identity.volume) || !in.Raw(record.identity.id.data(), record.identity.id.size()) ||
            !in.U64(record.identity.size) || !in.U64(record.identity.written))
            return false;
        std::wstring key = KvUpperPath(record.path);
        records[std::move(key)] = std::move(record);
    }
    if (!in.AtEnd()) return false;
    records_ = std::move(records);
    return true;
}

bool IdentityStore::Save(const std::wstring& file) const {
    KvByteWriter out;
    out.Raw(kMagic, sizeof(kMagic));
    out.U32(static_cast<uint32_t>(records_.size()));
    for (const auto& item : records_) {
        const Record& record = item.second;
        out.String(record.path);
        out.U64(record.identity.volume);
        out.Raw(record.identity.id.data(), record.identity.id.size());
        out.U64(record.identity.size);
        out.U64(record.identity.written);
    }
    out.U32(KvFnv1a(out.bytes.data(), out.bytes.size()));
    const std::vector<unsigned char>& bytes = out.bytes;
    return SaveFileSafely(file, [&](HANDLE handle) {
        DWORD written = 0;
        return WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    });
}

void IdentityStore::Refresh(const CFolder& root) {
    // A drive or share that is away is asked about once, not once per file on it.
    RootAvailability roots;
    std::unordered_map<std::wstring, Record> records;
    ForEachFileEntry(root, [&](const CFolder&, const CEntry& entry, int) {
        const std::wstring path = entry.ResolvedPath();
        if (path.empty() || path.size() > kMaxPathUnits) return;
        std::wstring key = KvUpperPath(path);
        if (records.count(key)) return;
        FileIdentity identity;
        // Shut-down waits for this: a file whose call may wait on a share keeps what was known.
        if (!KvMayBlock(path) && !roots.Offline(path) && ReadFileIdentity(path, identity)) {
            records[key] = Record{path, identity};
        } else if (const FileIdentity* known = Find(path)) {
            records[key] = Record{path, *known};
        }
    });
    records_ = std::move(records);
}

std::wstring IdentitiesPathFor(const std::wstring& projectPath) {
    return projectPath + L".ids";
}

IdentityStore& ProjectIdentities() {
    static IdentityStore store;
    return store;
}
