// Byte-wise file comparison. Both files are read block by block into buffers of this call's own and
// compared as they arrive: nothing is shared with other comparisons (in this or another process),
// a read error is a return value rather than a fault in a mapped view, and the first difference
// ends the work early.
#include "Kv/KvFiles.h"

#include "Kv/KvHandles.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Small enough that both blocks are still in the processor cache when compared after reading.
constexpr DWORD kBlockBytes = 256u * 1024u;

HANDLE OpenForCompare(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Whether two buffers hold the same bytes. Works in runs of 64-bit words whose differences are
// or'ed together, a loop the compiler can vectorise; the run size bounds the work past a difference.
bool SameBytes(const unsigned char* a, const unsigned char* b, size_t length) {
    constexpr size_t kRunWords = 512;
    size_t i = 0;
    for (; i + kRunWords * 8 <= length; i += kRunWords * 8) {
        std::uint64_t diff = 0;
        for (size_t w = 0; w < kRunWords; ++w) {
            std::uint64_t x, y;
            std::memcpy(&x, a + i + w * 8, 8);
            std::memcpy(&y, b + i + w * 8, 8);
            diff |= x ^ y;
        }
        if (diff != 0) return false;
    }
    return std::memcmp(a + i, b + i, length - i) == 0;
}

// Reads exactly `length` bytes unless the file ends or fails first.
bool ReadExactly(HANDLE file, unsigned char* buffer, DWORD length) {
    while (length > 0) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, length, &got, nullptr) || got == 0) return false;
        buffer += got;
        length -= got;
    }
    return true;
}

// Compares `size` bytes; both files had this size when opened. A file that can no longer be read
// to that size (shortened meanwhile, or a read error) counts as different.
int CompareContents(HANDLE fileA, HANDLE fileB, unsigned long long size) {
    std::vector<unsigned char> bufferA(static_cast<size_t>(std::min<unsigned long long>(size, kBlockBytes)));
    std::vector<unsigned char> bufferB(bufferA.size());
    for (unsigned long long done = 0; done < size;) {
        const DWORD length = static_cast<DWORD>(std::min<unsigned long long>(kBlockBytes, size - done));
        if (!ReadExactly(fileA, bufferA.data(), length) || !ReadExactly(fileB, bufferB.data(), length))
            return KvCompareDifferent;
        if (!SameBytes(bufferA.data(), bufferB.data(), length)) return KvCompareDifferent;
        done += length;
    }
    return KvCompareEqual;
}

}  // namespace

int KvCompareFiles(const std::wstring& pathA, const std::wstring& pathB) {
    kv::UniqueFile fileA(OpenForCompare(pathA));
    kv::UniqueFile fileB(OpenForCompare(pathB));
    if (!fileA && !fileB) return KvCompareFailBoth;
    if (!fileA) return KvCompareFailA;
    if (!fileB) return KvCompareFailB;

    LARGE_INTEGER sizeA{}, sizeB{};
    if (!GetFileSizeEx(fileA.get(), &sizeA)) return KvCompareFailA;
    if (!GetFileSizeEx(fileB.get(), &sizeB)) return KvCompareFailB;
    if (sizeA.QuadPart == 0 && sizeB.QuadPart == 0) return KvCompareEqual;
    if (sizeA.QuadPart != sizeB.QuadPart) return KvCompareDifferent;
    return CompareContents(fileA.get(), fileB.get(), static_cast<unsigned long long>(sizeA.QuadPart));
}
