// Byte-level pieces shared by the project reader and writer. Every integer is little-endian.
//
// String: u16 P (padded byte length: 2n rounded up to a multiple of 4), u16 T (text byte length 2n),
// T bytes of UTF-16LE text without terminator, P - T zero bytes. Readers pass a limit L in
// characters: text of L or more characters keeps its first L - 1 and the reader still moves past
// all P bytes. A string with P < T or an odd T is malformed and refuses the file.
//
// Files are streamed through a small window rather than held whole: fresh memory is costly to
// touch, and the window bounds what a save or load needs beside the tree itself.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "Document/EntryText.h"

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
// Streaming window: larger than the largest single string (4 + 65535 bytes).
constexpr size_t kWindowSize = 256 * 1024;

static_assert(sizeof(wchar_t) == 2, "wchar_t must be a UTF-16 code unit");

// Bounds-checked reading, from memory or streamed from a file of known size. The first read that
// would run past the end (or a read error) marks the reader failed; every later read then fails
// too and yields zeros.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size);
    // Reads `file` from its current position; `size` is the number of bytes that follow.
    ByteReader(HANDLE file, uint64_t size);

    bool ok() const { return ok_; }
    uint64_t Remaining() const { return ok_ ? total_ - offset_ - pos_ : 0; }
    void Fail() { ok_ = false; }

    bool Skip(uint64_t count);
    bool Bytes(void* out, size_t count);
    uint8_t U8() {
        const uint8_t* p = Take(1);
        return p ? p[0] : 0;
    }
    uint16_t U16() {
        const uint8_t* p = Take(2);
        return p ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : 0;
    }
    uint32_t U32() {
        const uint8_t* p = Take(4);
        if (!p) return 0;
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
               (static_cast<uint32_t>(p[3]) << 24);
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    // One string with a limit of `limit` characters (see the layout above).
    std::wstring String(size_t limit);
    void String(size_t limit, EntryText& out);

    // True when `count` records of at least `minSize` bytes each can still follow.
    bool CanHold(uint32_t count, size_t minSize) const {
        return ok_ && static_cast<uint64_t>(count) * minSize <= Remaining();
    }

private:
    // `count` (at most kWindowSize) contiguous bytes at the read position, then moves past them;
    // null past the end.
    const uint8_t* Take(size_t count) {
        if (ok_ && count <= size_ - pos_) {
            const uint8_t* p = data_ + pos_;
            pos_ += count;
            return p;
        }
        return TakeSlow(count);
    }
    const uint8_t* TakeSlow(size_t count);
    // The kept characters of the next string (`chars` of them at the result, unaligned), moving
    // past the whole string; null when the string is empty, malformed or runs past the end.
    const uint8_t* StringText(size_t limit, size_t& chars);

    const uint8_t* data_;  // the window (or the whole memory file)
    size_t size_;          // bytes in the window
    size_t pos_ = 0;       // read position in the window
    uint64_t offset_ = 0;  // file offset of the window's first byte
    uint64_t total_;       // bytes in the file from where reading began
    HANDLE file_ = nullptr;
    std::unique_ptr<uint8_t[]> window_;
    bool ok_ = true;
};

// Writes little-endian fields to a file through a window, in order. A failed write marks the
// writer failed; later fields are dropped.
class ByteWriter {
public:
    explicit ByteWriter(HANDLE file);

    // Writes what is still in the window. True when every write succeeded.
    bool Finish();

    void Bytes(const void* data, size_t count) {
        if (count != 0) std::memcpy(Put(count), data, count);
    }
    void Zeros(size_t count) {
        if (count != 0) std::memset(Put(count), 0, count);
    }
    void U8(uint8_t v) { *Put(1) = v; }
    void U16(uint16_t v) {
        uint8_t* p = Put(2);
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
    }
    void U32(uint32_t v) {
        uint8_t* p = Put(4);
        for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    // Text beyond kMaxEncodableChars is not written (no reader keeps more than 511 characters).
    void String(std::wstring_view text);

private:
    // Room for `count` (at most kWindowSize) bytes at the end of the window.
    uint8_t* Put(size_t count) {
        if (count > kWindowSize - used_) Drain();
        uint8_t* p = window_.get() + used_;
        used_ += count;
        return p;
    }
    void Drain();

    HANDLE file_;
    std::unique_ptr<uint8_t[]> window_;
    size_t used_ = 0;
    bool ok_ = true;
};

// The 44-byte placement record: length, flags, showCmd, ptMinPosition, ptMaxPosition,
// rcNormalPosition, each field a 32-bit integer.
void ReadPlacement(ByteReader& reader, WINDOWPLACEMENT& placement);
void WritePlacement(ByteWriter& writer, const WINDOWPLACEMENT& placement);

}  // namespace projectfile
