// ifpnm.sph: an image plug-in for the binary portable anymaps, P6 (colour, PPM) and P5 (grey, PGM),
// with a maximum value up to 65535. It follows the plug-in convention of ImageInterfaces.h: the
// picture comes back as a BITMAPINFO and 24-bit bottom-up bits in two LocalAlloc blocks.
//
// Header: magic, width, height, maximum value as decimal numbers separated by white space, with
// comments from '#' to the end of a line, then one white-space byte and the samples (one byte
// each, two big-endian bytes when the maximum exceeds 255), rows from the top.
#include <windows.h>

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Image/ImageInterfaces.h"

namespace {

// Plug-in error codes.
constexpr int kSuccess = 0;
constexpr int kNotImplemented = -1;
constexpr int kUnknownFormat = 2;
constexpr int kBrokenData = 3;
constexpr int kNoMemory = 4;
constexpr int kReadError = 6;

constexpr uint64_t kMaxPixels = 1ull << 28;

struct PnmHeader {
    bool colour = false;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t maxValue = 0;
    size_t dataOffset = 0;
};

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

bool ReadNumber(const uint8_t* data, size_t size, size_t& at, uint32_t& value) {
    for (;;) {
        while (at < size && IsSpace(data[at])) ++at;
        if (at < size && data[at] == '#') {
            while (at < size && data[at] != '\n' && data[at] != '\r') ++at;
            continue;
        }
        break;
    }
    if (at >= size || data[at] < '0' || data[at] > '9') return false;
    uint64_t number = 0;
    while (at < size && data[at] >= '0' && data[at] <= '9') {
        number = number * 10 + (data[at] - '0');
        if (number > 0xffffffffu) return false;
        ++at;
    }
    value = static_cast<uint32_t>(number);
    return true;
}

bool ParseHeader(const uint8_t* data, size_t size, PnmHeader& header) {
    if (size < 3 || data[0] != 'P' || (data[1] != '5' && data[1] != '6') || !IsSpace(data[2])) return false;
    header.colour = data[1] == '6';
    size_t at = 2;
    if (!ReadNumber(data, size, at, header.width) || !ReadNumber(data, size, at, header.height) ||
        !ReadNumber(data, size, at, header.maxValue))
        return false;
    if (at >= size || !IsSpace(data[at])) return false;
    header.dataOffset = at + 1;
    return header.width > 0 && header.height > 0 && header.maxValue > 0 && header.maxValue <= 65535;
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart >= 0 && size.QuadPart < (1ll << 31);
    if (ok) {
        try {
            bytes.resize(static_cast<size_t>(size.QuadPart));
        } catch (...) {
            ok = false;
        }
    }
    DWORD read = 0;
    if (ok && !bytes.empty()) ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
    CloseHandle(file);
    return ok;
}

// The file named by `source`, or `length` bytes at `source` when the flag's low bits are 1.
int SourceBytes(const char* source, intptr_t length, unsigned flag, std::vector<uint8_t>& bytes) {
    switch (flag & 7) {
    case 0:
        return ReadWholeFile(source, bytes) ? kSuccess : kReadError;
    case 1:
        if (!source || length < 0) return kReadError;
        try {
            bytes.assign(reinterpret_cast<const uint8_t*>(source), reinterpret_cast<const uint8_t*>(source) + length);
        } catch (...) {
            return kNoMemory;
        }
        return kSuccess;
    default:
        return kNotImplemented;
    }
}

// Checks that the samples of `header` are all present in `size` bytes.
bool SamplesPresent(const PnmHeader& header, size_t size) {
    const uint64_t pixels = static_cast<uint64_t>(header.width) * header.height;
    if (pixels > kMaxPixels) return false;
    const uint64_t sampleBytes = header.maxValue > 255 ? 2 : 1;
    const uint64_t needed = pixels * (header.colour ? 3 : 1) * sampleBytes;
    return header.dataOffset <= size && needed <= size - header.dataOffset;
}

int CopyText(const char* text, char* buffer, int length) {
    if (!buffer || length <= 0) return 0;
    const int count = static_cast<int>(std::min<size_t>(std::strlen(text), static_cast<size_t>(length - 1)));
    std::memcpy(buffer, text, static_cast<size_t>(count));
    buffer[count] = '\0';
    return count;
}

}  // namespace

extern "C" {

int WINAPI GetPluginInfo(int number, char* buffer, int length) {
    static const char* const kInfo[] = {"00IN", "TessaraFolder PNM plug-in (P5, P6)", "*.ppm;*.pgm;*.pnm", "Portable anymap"};
    if (number < 0 || number >= 4) return 0;
    return CopyText(kInfo[number], buffer, length);
}

int WINAPI IsSupported(const char* path, void* head) {
    // Without its upper half set the argument is a file handle, which this plug-in does not read.
    if (reinterpret_cast<uintptr_t>(head) <= 0xffff) return 0;
    const auto* bytes = static_cast<const uint8_t*>(head);
    return bytes[0] == 'P' && (bytes[1] == '5' || bytes[1] == '6') && IsSpace(bytes[2]) ? 1 : 0;
}

int WINAPI GetPictureInfo(const char* source, intptr_t length, unsigned flag, PluginPictureInfo* info) {
    if (!info) return kBrokenData;
    std::vector<uint8_t> bytes;
    const int read = SourceBytes(source, length, flag, bytes);
    if (read != kSuccess) return read;
    PnmHeader header;
    if (!ParseHeader(bytes.data(), bytes.size(), header)) return kUnknownFormat;
    std::memset(info, 0, sizeof(*info));
    info->width = static_cast<long>(header.width);
    info->height = static_cast<long>(header.height);
    info->colorDepth = 24;
    return kSuccess;
}

int WINAPI GetPicture(const char* source, intptr_t length, unsigned flag, HANDLE* infoOut, HANDLE* bitsOut,
                      FARPROC progress, intptr_t data) {
    if (!infoOut || !bitsOut) return kBrokenData;
    *infoOut = *bitsOut = nullptr;
    std::vector<uint8_t> bytes;
    const int read = SourceBytes(source, length, flag, bytes);
    if (read != kSuccess) return read;
    PnmHeader header;
    if (!ParseHeader(bytes.data(), bytes.size(), header)) return kUnknownFormat;
    if (!SamplesPresent(header, bytes.size())) return kBrokenData;

    const size_t stride = (static_cast<size_t>(header.width) * 3 + 3) & ~static_cast<size_t>(3);
    HLOCAL info = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(BITMAPINFO));
    HLOCAL bits = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, stride * header.height);
    if (!info || !bits) {
        if (info) LocalFree(info);
        if (bits) LocalFree(bits);
        return kNoMemory;
    }
    auto* bmi = static_cast<BITMAPINFOHEADER*>(LocalLock(info));
    bmi->biSize = sizeof(BITMAPINFOHEADER);
    bmi->biWidth = static_cast<LONG>(header.width);
    bmi->biHeight = static_cast<LONG>(header.height);
    bmi->biPlanes = 1;
    bmi->biBitCount = 24;
    bmi->biCompression = BI_RGB;
    bmi->biSizeImage = static_cast<DWORD>(stride * header.height);
    LocalUnlock(info);

    auto* out = static_cast<uint8_t*>(LocalLock(bits));
    const bool wide = header.maxValue > 255;
    const size_t channels = header.colour ? 3 : 1;
    const uint8_t* in = bytes.data() + header.dataOffset;
    auto sample = [&](size_t index) -> uint8_t {
        const uint32_t value = wide ? (in[index * 2] << 8 | in[index * 2 + 1]) : in[index];
        const uint32_t clamped = value > header.maxValue ? header.maxValue : value;
        return static_cast<uint8_t>((clamped * 255 + header.maxValue / 2) / header.maxValue);
    };
    for (uint32_t y = 0; y < header.height; ++y) {
        uint8_t* row = out + static_cast<size_t>(header.height - 1 - y) * stride;
        for (uint32_t x = 0; x < header.width; ++x) {
            const size_t first = (static_cast<size_t>(y) * header.width + x) * channels;
            const uint8_t red = sample(first);
            const uint8_t green = header.colour ? sample(first + 1) : red;
            const uint8_t blue = header.colour ? sample(first + 2) : red;
            row[x * 3] = blue;
            row[x * 3 + 1] = green;
            row[x * 3 + 2] = red;
        }
    }
    LocalUnlock(bits);
    *infoOut = info;
    *bitsOut = bits;
    return kSuccess;
}

}  // extern "C"
