// Byte-wise file comparison through unnamed read-only mappings, one window of each file at a time.
// A window is a multiple of the allocation granularity, so every view offset is valid; mapping in
// windows keeps the address space used small whatever the file sizes are.
#include "Kv/KvFiles.h"

#include "Kv/KvHandles.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr DWORD kWindowBytes = 16u * 1024u * 1024u;

HANDLE OpenForCompare(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Compares `size` bytes (both files have this size) window by window.
int CompareMapped(HANDLE fileA, HANDLE fileB, DWORD size) {
    kv::UniqueKernel mapA(CreateFileMappingW(fileA, nullptr, PAGE_READONLY, 0, size, nullptr));
    kv::UniqueKernel mapB(CreateFileMappingW(fileB, nullptr, PAGE_READONLY, 0, size, nullptr));
    if (!mapA || !mapB) return KvCompareDifferent;
    for (DWORD offset = 0; offset < size;) {
        const DWORD length = std::min(kWindowBytes, size - offset);
        kv::UniqueMapView viewA(MapViewOfFile(mapA.get(), FILE_MAP_READ, 0, offset, length));
        kv::UniqueMapView viewB(MapViewOfFile(mapB.get(), FILE_MAP_READ, 0, offset, length));
        if (!viewA || !viewB) return KvCompareDifferent;
        if (std::memcmp(viewA.get(), viewB.get(), length) != 0) return KvCompareDifferent;
        offset += length;
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
    if (sizeA.HighPart != 0 || sizeB.HighPart != 0) return KvCompareTooLarge;
    if (sizeA.LowPart == 0 && sizeB.LowPart == 0) return KvCompareEqual;
    if (sizeA.LowPart == 0 || sizeB.LowPart == 0) return KvCompareDifferent;
    if (sizeA.LowPart != sizeB.LowPart) return KvCompareDifferent;
    return CompareMapped(fileA.get(), fileB.get(), sizeA.LowPart);
}
