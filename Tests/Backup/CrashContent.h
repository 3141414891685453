// What the backup crash test writes and checks. Every content of an entry's file is made from its
// entry number and a generation and names them in its first line, so a file read back after a kill
// is whole exactly when it equals the content its own first line describes. A version's comment
// starts with "h=" and the hash of the bytes backed up, so every recorded version can be checked.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace crash_test {

constexpr int kEntries = 3;

inline std::wstring EntryName(int e) {
    return L"e" + std::to_wstring(e) + L".txt";
}

// Up to 3 MiB, so that a kill often lands inside a copy.
inline std::string Content(int entry, uint32_t generation, uint32_t length) {
    char head[64];
    std::snprintf(head, sizeof head, "E%d G%u L%u\n", entry, generation, length);
    std::string text = head;
    uint32_t state = generation * 2654435761u + static_cast<uint32_t>(entry) * 40503u + length;
    text.reserve(text.size() + length);
    for (uint32_t i = 0; i < length; ++i) {
        state = state * 1664525u + 1013904223u;
        text.push_back(static_cast<char>('a' + (state >> 24) % 26));
    }
    return text;
}

// Whether `bytes` are a whole content of `entry`.
inline bool IsWholeContent(const std::string& bytes, int entry) {
    int e = -1;
    unsigned generation = 0, length = 0;
    if (std::sscanf(bytes.c_str(), "E%d G%u L%u\n", &e, &generation, &length) != 3 || e != entry) return false;
    return bytes == Content(entry, generation, length);
}

inline uint64_t Hash(const std::string& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    return h;
}

inline std::wstring HashComment(const std::string& bytes) {
    wchar_t text[32];
    std::swprintf(text, 32, L"h=%016llx", static_cast<unsigned long long>(Hash(bytes)));
    return text;
}

inline std::string ReadAll(const std::wstring& path, bool* ok = nullptr) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (ok) *ok = file != INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char block[65536];
    DWORD read = 0;
    while (ReadFile(file, block, sizeof block, &read, nullptr) && read > 0) bytes.append(block, read);
    CloseHandle(file);
    return bytes;
}

// Writes the entry's file as a user's program that saves safely would: beside it, then moved over.
inline bool WriteWhole(const std::wstring& path, const std::string& bytes) {
    const std::wstring beside = path + L".edit";
    HANDLE file = CreateFileW(beside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && FlushFileBuffers(file);
    CloseHandle(file);
    return ok && MoveFileExW(beside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

}  // namespace crash_test
