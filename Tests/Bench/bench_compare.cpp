// Throughput of KvCompareFiles against plainly reading both files with ReadFile in large blocks,
// measured in the same run on two equal 512 MiB files and on two that differ only in their last
// byte. Prints the best of several rounds and the ratio (compare throughput / reading throughput).
#include "Kv/KvFiles.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kFileBytes = 512u * 1024u * 1024u;
constexpr DWORD kWriteChunk = 8u * 1024u * 1024u;
constexpr DWORD kReadBlock = 1024u * 1024u;
constexpr int kRounds = 5;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

bool WriteFileOf(const std::wstring& path, bool flipLastByte) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::vector<unsigned char> chunk(kWriteChunk);
    bool ok = true;
    for (DWORD offset = 0; ok && offset < kFileBytes; offset += kWriteChunk) {
        for (DWORD i = 0; i < kWriteChunk; ++i)
            chunk[i] = static_cast<unsigned char>(((offset + i) * 2654435761u) >> 24);
        if (flipLastByte && offset + kWriteChunk == kFileBytes) chunk.back() ^= 0xFF;
        DWORD written = 0;
        ok = WriteFile(h, chunk.data(), kWriteChunk, &written, nullptr) && written == kWriteChunk;
    }
    CloseHandle(h);
    return ok;
}

// The baseline: both files read from start to end in large blocks, nothing else.
bool ReadBoth(const std::wstring& a, const std::wstring& b) {
    HANDLE ha = CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                            nullptr);
    HANDLE hb = CreateFileW(b.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                            nullptr);
    std::vector<unsigned char> bufA(kReadBlock), bufB(kReadBlock);
    bool ok = ha != INVALID_HANDLE_VALUE && hb != INVALID_HANDLE_VALUE;
    for (;;) {
        if (!ok) break;
        DWORD readA = 0, readB = 0;
        ok = ReadFile(ha, bufA.data(), kReadBlock, &readA, nullptr) &&
             ReadFile(hb, bufB.data(), kReadBlock, &readB, nullptr);
        if (readA == 0 || readB == 0) break;
    }
    if (ha != INVALID_HANDLE_VALUE) CloseHandle(ha);
    if (hb != INVALID_HANDLE_VALUE) CloseHandle(hb);
    return ok;
}

template <typename F>
double Best(F run) {
    double best = 1e30;
    for (int i = 0; i < kRounds; ++i) {
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        run();
        QueryPerformanceCounter(&t1);
        best = std::min(best, Seconds(t0, t1));
    }
    return best;
}

void Report(const char* name, const std::wstring& a, const std::wstring& b, int expected) {
    int result = 99;
    ReadBoth(a, b);  // bring both files into the cache before either side is timed
    const double read = Best([&] { ReadBoth(a, b); });
    const double compare = Best([&] { result = KvCompareFiles(a, b); });
    const double mib = 2.0 * kFileBytes / (1024.0 * 1024.0);
    std::printf("%-22s result %d (expected %d)  read %.0f MiB/s  compare %.0f MiB/s  ratio %.2fx\n", name, result,
                expected, mib / read, mib / compare, read / compare);
}

}  // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring dir = std::wstring(temp) + L"bench_compare_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    if (!CreateDirectoryW(dir.c_str(), nullptr)) {
        std::printf("cannot create %ls\n", dir.c_str());
        return 1;
    }
    const std::wstring a = dir + L"a.bin", b = dir + L"b.bin", c = dir + L"c.bin";
    int rc = 0;
    if (WriteFileOf(a, false) && WriteFileOf(b, false) && WriteFileOf(c, true)) {
        std::printf("two files of %u MiB each, best of %d rounds\n",
                    static_cast<unsigned>(kFileBytes / (1024u * 1024u)), kRounds);
        Report("equal files", a, b, KvCompareEqual);
        Report("last byte differs", a, c, KvCompareDifferent);
    } else {
        std::printf("cannot write the test files in %ls\n", dir.c_str());
        rc = 1;
    }
    DeleteFileW(a.c_str());
    DeleteFileW(b.c_str());
    DeleteFileW(c.c_str());
    RemoveDirectoryW(dir.c_str());
    return rc;
}
