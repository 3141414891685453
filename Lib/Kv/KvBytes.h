// Little-endian byte layouts of the program's small binary files (the sidecars beside a project):
// a writer that appends, a reader over a bounded range whose every read fails past its end, and
// the FNV-1a checksum the files end with. Strings are a 32-bit count of UTF-16 units, then the units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

inline uint32_t KvFnv1a(const unsigned char* data, size_t size) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

class KvByteWriter {
public:
    void U32(uint32_t value) { Put(value, 4); }
    void U64(uint64_t value) { Put(value, 8); }
    void Raw(const void* data, size_t count) {
        const auto* at = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < count; ++i) bytes.push_back(at[i]);
    }
    void String(const std::wstring& text) {
        U32(static_cast<uint32_t>(text.size()));
        for (wchar_t unit : text) Put(static_cast<uint16_t>(unit), 2);
    }
    std::vector<unsigned char> bytes;

private:
    void Put(uint64_t value, int count) {
        for (int i = 0; i < count; ++i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
};

class KvByteReader {
public:
    KvByteReader(const unsigned char* data, size_t size) : data_(data), size_(size) {}
    bool U32(uint32_t& value) {
        uint64_t wide = 0;
        if (!Get(4, wide)) return false;
        value = static_cast<uint32_t>(wide);
        return true;
    }
    bool U64(uint64_t& value) { return Get(8, value); }
    bool Raw(void* out, size_t count) {
        if (size_ - pos_ < count) return false;
        std::memcpy(out, data_ + pos_, count);
        pos_ += count;
        return true;
    }
    // A string of 1 to maxUnits units; an empty or longer one fails.
    bool String(std::wstring& text, uint32_t maxUnits) {
        uint32_t units = 0;
        if (!U32(units) || units == 0 || units > maxUnits || size_ - pos_ < units * 2ull) return false;
        text.resize(units);
        for (uint32_t i = 0; i < units; ++i, pos_ += 2)
            text[i] = static_cast<wchar_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        return true;
    }
    bool AtEnd() const { return pos_ == size_; }

private:
    bool Get(size_t count, uint64_t& value) {
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
