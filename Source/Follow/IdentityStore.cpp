// The sidecar of file identities (layout in IdentityStore.h).
#include "Follow/IdentityStore.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "Document/Folder.h"
#include "Document/ProjectFile.h"
#include "Follow/PathRoot.h"
#include "Kv/KvFiles.h"
#include "Kv/KvHandles.h"

namespace {

const unsigned char kMagic[8] = {'T', 'F', 'I', 'D', 'S', 1, 0, 0};
constexpr uint32_t kMaxPathUnits = 32767;
// A sidecar larger than this is not one this program wrote.
constexpr uint64_t kMaxSidecarBytes = 256ull * 1024 * 1024;

uint32_t Fnv1a(const unsigned char* data, size_t size) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

void PutU32(std::vector<unsigned char>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}
void PutU64(std::vector<unsigned char>& out, uint64_t value) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// Reads from a bounded byte range; every read fails past the end.
class Reader {
public:
    Reader(const unsigned char* data, size_t size) : data_(data), size_(size) {}
    bool U32(uint32_t& value) {
        uint64_t wide = 0;
        if (!Bytes(4, wide)) return false;
        value = static_cast<uint32_t>(wide);
        return true;
    }
    bool U64(uint64_t& value) { return Bytes(8, value); }
    bool Raw(void* out, size_t count) {
        if (size_ - pos_ < count) return false;
        std::memcpy(out, data_ + pos_, count);
        pos_ += count;
        return true;
    }
    size_t Left() const { return size_ - pos_; }

private:
    bool Bytes(size_t count, uint64_t& value) {
        if (size_ - pos_ < count) return false;
        value = 0;
        for (size_t i = 0; i < count; ++i) value |= static_cast<uint64_t>(data_[pos_ + i]) << (8 * i);
        pos_ += count;
        return true;
    }
    const unsigned char* data_;
    size_t size_;
    size_t pos_ = 0;
};

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
    Reader tail(bytes.data() + body, 4);
    uint32_t checksum = 0;
    if (!tail.U32(checksum) || checksum != Fnv1a(bytes.data(), body)) return false;
    if (std::memcmp(bytes.data(), kMagic, sizeof(kMagic)) != 0) return false;

    Reader in(bytes.data() + sizeof(kMagic), body - sizeof(kMagic));
    uint32_t count = 0;
    if (!in.U32(count)) return false;
    std::unordered_map<std::wstring, Record> records;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t units = 0;
        if (!in.U32(units) || units == 0 || units > kMaxPathUnits || in.Left() < units * 2ull) return false;
        Record record;
        record.path.resize(units);
        if (!in.Raw(&record.path[0], units * 2u)) return false;
        if (!in.U64(record.identity.volume) || !in.Raw(record.identity.id.data(), record.identity.id.size()) ||
            !in.U64(record.identity.size) || !in.U64(record.identity.written))
            return false;
        std::wstring key = KvUpperPath(record.path);
        records[std::move(key)] = std::move(record);
    }
    if (in.Left() != 0) return false;
    records_ = std::move(records);
    return true;
}

bool IdentityStore::Save(const std::wstring& file) const {
    std::vector<unsigned char> bytes(kMagic, kMagic + sizeof(kMagic));
    PutU32(bytes, static_cast<uint32_t>(records_.size()));
    for (const auto& item : records_) {
        const Record& record = item.second;
        PutU32(bytes, static_cast<uint32_t>(record.path.size()));
        for (size_t i = 0; i < record.path.size(); ++i) {
            const wchar_t unit = record.path[i];
            bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
            bytes.push_back(static_cast<unsigned char>((unit >> 8) & 0xFF));
        }
        PutU64(bytes, record.identity.volume);
        bytes.insert(bytes.end(), record.identity.id.begin(), record.identity.id.end());
        PutU64(bytes, record.identity.size);
        PutU64(bytes, record.identity.written);
    }
    PutU32(bytes, Fnv1a(bytes.data(), bytes.size()));
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
        if (!roots.Offline(path) && ReadFileIdentity(path, identity)) {
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
