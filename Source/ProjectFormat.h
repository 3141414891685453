// Byte-level pieces shared by the project reader and writer. Every integer is little-endian.
//
// String: u16 P (padded byte length: 2n rounded up to a multiple of 4), u16 T (text byte length 2n),
// T bytes of UTF-16LE text without terminator, P - T zero bytes. Readers pass a limit L in
// characters: text of L or more characters keeps its first L - 1 and the reader still moves past
// all P bytes. A string with P < T or an odd T is malformed and refuses the file.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace projectfile {

constexpr size_t kMagicSize = 16;
constexpr int kNewestVersion = 10;
// Magic of versions 1 to 10, indexed by version - 1.
extern const char* const kMagic[kNewestVersion];

constexpr size_t kStringLimit = 512;     // every string of the format ...
constexpr size_t kOldPathLimit = 260;    // ... but the root entry paths of versions 1 and 2
constexpr uint32_t kPlacementSize = 44;  // the Win32 window placement record
constexpr size_t kReservedStrings = 10;  // header strings of version 9 and later
constexpr size_t kReservedHeaderBytes = 248;
constexpr size_t kReservedFilerBytes = 64;
constexpr size_t kOldEntryTrailer = 40;  // version 2: colour byte and 39 unused bytes
// The longest text a string can hold: its padded length must still fit 16 bits.
constexpr size_t kMaxEncodableChars = 32766;

// Bounds-checked reading of an in-memory file. The first read that would run past the end marks
// the reader failed; every later read then fails too and yields zeros.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }
    size_t Remaining() const { return ok_ ? size_ - pos_ : 0; }
    void Fail() { ok_ = false; }

    bool Skip(size_t count) {
        if (!ok_ || count > size_ - pos_) {
            ok_ = false;
            return false;
        }
        pos_ += count;
        return true;
    }
    bool Bytes(void* out, size_t count) {
        if (!ok_ || count > size_ - pos_) {
            ok_ = false;
            return false;
        }
        std::memcpy(out, data_ + pos_, count);
        pos_ += count;
        return true;
    }
    uint8_t U8() {
        uint8_t v = 0;
        Bytes(&v, 1);
        return v;
    }
    uint16_t U16() {
        uint8_t b[2] = {};
        Bytes(b, 2);
        return static_cast<uint16_t>(b[0] | (b[1] << 8));
    }
    uint32_t U32() {
        uint8_t b[4] = {};
        Bytes(b, 4);
        return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
               (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }

    // Reads one string with a limit of `limit` characters (see the layout above).
    std::wstring String(size_t limit) {
        std::wstring text;
        const uint16_t padded = U16();
        const uint16_t textBytes = U16();
        if (!ok_ || padded < textBytes || (textBytes & 1) != 0 || padded > size_ - pos_) {
            Fail();
            return text;
        }
        size_t chars = textBytes / 2u;
        if (chars >= limit) chars = limit - 1;
        text.resize(chars);
        for (size_t i = 0; i < chars; ++i)
            text[i] = static_cast<wchar_t>(data_[pos_ + 2 * i] | (data_[pos_ + 2 * i + 1] << 8));
        pos_ += padded;
        return text;
    }

    // True when `count` records of at least `minSize` bytes each can still follow.
    bool CanHold(uint32_t count, size_t minSize) const {
        return ok_ && static_cast<uint64_t>(count) * minSize <= size_ - pos_;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// Appends little-endian fields to a growing buffer.
class ByteWriter {
public:
    std::vector<uint8_t>& Buffer() { return buffer_; }

    void Bytes(const void* data, size_t count) {
        if (count == 0) return;
        const size_t start = buffer_.size();
        buffer_.resize(start + count);
        std::memcpy(&buffer_[start], data, count);
    }
    void Zeros(size_t count) { buffer_.resize(buffer_.size() + count, 0); }
    void U8(uint8_t v) { buffer_.push_back(v); }
    void U16(uint16_t v) {
        buffer_.push_back(static_cast<uint8_t>(v));
        buffer_.push_back(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8) buffer_.push_back(static_cast<uint8_t>(v >> shift));
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }

    // Text beyond kMaxEncodableChars is not written (no reader keeps more than 511 characters).
    void String(const std::wstring& text) {
        const size_t chars = text.size() < kMaxEncodableChars ? text.size() : kMaxEncodableChars;
        const size_t textBytes = chars * 2;
        const size_t padded = (textBytes + 3) & ~static_cast<size_t>(3);
        U16(static_cast<uint16_t>(padded));
        U16(static_cast<uint16_t>(textBytes));
        const size_t start = buffer_.size();
        buffer_.resize(start + padded, 0);
        for (size_t i = 0; i < chars; ++i) {
            const uint16_t c = static_cast<uint16_t>(text[i]);
            buffer_[start + 2 * i] = static_cast<uint8_t>(c);
            buffer_[start + 2 * i + 1] = static_cast<uint8_t>(c >> 8);
        }
    }

private:
    std::vector<uint8_t> buffer_;
};

// The 44-byte placement record: length, flags, showCmd, ptMinPosition, ptMaxPosition,
// rcNormalPosition, each field a 32-bit integer.
void ReadPlacement(ByteReader& reader, WINDOWPLACEMENT& placement);
void WritePlacement(ByteWriter& writer, const WINDOWPLACEMENT& placement);

}  // namespace projectfile
