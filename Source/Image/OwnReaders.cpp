// The own readers.
//
// TGA: an 18-byte header (byte 0 identification length, 1 colour-map type, 2 image type, 12-15
// width and height as 16-bit little-endian, 16 pixel depth), the identification field, then the
// pixels. Only colour-map type 0, image type 2 (uncompressed true colour) and depth 32 are read; the
// rows are taken in file order as the bitmap's bottom-up rows, each pixel blue, green, red, alpha.
//
// .argb (little-endian): "BGRA", four channel depths of 8, width and height as 32-bit unsigned, then
// width * height pixels of blue, green, red, alpha, rows from top to bottom.
//
// Both hand the picture to a PictureSink one row at a time.
#include "Image/OwnReaders.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "Image/DibImage.h"
#include "Kv/KvHandles.h"

namespace {

constexpr size_t kTgaHeaderSize = 18;
constexpr size_t kArgbHeaderSize = 16;

// The file's size and its first `count` bytes (fewer when the file is shorter).
bool ReadHead(HANDLE file, size_t count, std::vector<uint8_t>& bytes, uint64_t& fileSize) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) return false;
    fileSize = static_cast<uint64_t>(size.QuadPart);
    bytes.resize(static_cast<size_t>(std::min<uint64_t>(count, fileSize)));
    DWORD read = 0;
    if (bytes.empty()) return true;
    return ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
}

bool Seek(HANDLE file, uint64_t offset) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != FALSE;
}

// Fills `bytes` from the file's current position.
bool ReadExactly(HANDLE file, std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD read = 0;
        if (!ReadFile(file, bytes.data() + done, chunk, &read, nullptr) || read == 0) return false;
        done += read;
    }
    return true;
}

kv::UniqueFile OpenForReading(const std::wstring& path) {
    return kv::UniqueFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Hands the width x height pixels of 4 bytes at `offset` to `sink` row by row, once the file is known
// to hold all of them: the claimed size alone never decides an allocation, and only one row is held
// at a time. `rowOf` maps the file's row to the stored row.
template <typename RowMap>
bool StreamPixels(HANDLE file, uint64_t fileSize, uint64_t offset, uint32_t width, uint32_t height, PictureSink& sink,
                  RowMap rowOf) {
    if (width == 0 || height == 0 || width > INT32_MAX / 4 || height > INT32_MAX) return false;
    const uint64_t rowBytes = static_cast<uint64_t>(width) * 4;
    if (offset > fileSize || rowBytes * height > fileSize - offset) return false;
    if (!sink.Begin(static_cast<int>(width), static_cast<int>(height))) return false;
    std::vector<uint8_t> row;
    try {
        row.resize(static_cast<size_t>(rowBytes));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!Seek(file, offset)) return false;
    for (uint32_t r = 0; r < height; ++r) {
        if (!ReadExactly(file, row)) return false;
        sink.Row(rowOf(static_cast<int>(r)), row.data());
    }
    return true;
}

}  // namespace

bool ReadTgaFile(const std::wstring& path, PictureSink& sink) {
    kv::UniqueFile file = OpenForReading(path);
    if (!file) return false;
    std::vector<uint8_t> head;
    uint64_t fileSize = 0;
    if (!ReadHead(file.get(), kTgaHeaderSize, head, fileSize) || head.size() < kTgaHeaderSize) return false;
    if (head[1] != 0 || head[2] != 2 || head[16] != 32) return false;
    const uint32_t width = head[12] | (head[13] << 8);
    const uint32_t height = head[14] | (head[15] << 8);
    return StreamPixels(file.get(), fileSize, kTgaHeaderSize + head[0], width, height, sink, [](int r) { return r; });
}

bool ReadArgbFile(const std::wstring& path, PictureSink& sink) {
    kv::UniqueFile file = OpenForReading(path);
    if (!file) return false;
    std::vector<uint8_t> head;
    uint64_t fileSize = 0;
    if (!ReadHead(file.get(), kArgbHeaderSize, head, fileSize) || head.size() < kArgbHeaderSize) return false;
    static const uint8_t kMagic[8] = {'B', 'G', 'R', 'A', 8, 8, 8, 8};
    if (std::memcmp(head.data(), kMagic, sizeof(kMagic)) != 0) return false;
    const uint32_t width = Le32(&head[8]);
    const uint32_t height = Le32(&head[12]);
    const int last = static_cast<int>(height) - 1;
    return StreamPixels(file.get(), fileSize, kArgbHeaderSize, width, height, sink, [last](int r) { return last - r; });
}
