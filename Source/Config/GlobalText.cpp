// The UI text table loader.
//
// File GT, beside the executable:
//   bytes 0-1  FF FE (UTF-16LE byte-order mark)
//   then       the texts of entries 0, 1, 2, ... as UTF-16LE code units, each ended by one NUL
//              code unit; an entry is found by counting NULs, so an empty text is just a NUL.
// The file is user-editable data: it may be cut short, hold fewer than 187 texts, end without a
// NUL or have an odd byte count. The code units after the mark are copied into one buffer that
// always ends with an extra NUL, and every scan is bounded by that buffer, so a damaged file can
// never make a lookup read past it; slots the file does not reach read as "".
#include "Config/GlobalText.h"

#include "Kv/KvHandles.h"
#include "Kv/KvWindow.h"
#include "Config/ModulePath.h"

#include <array>
#include <memory>
#include <new>

namespace GlobalText {

namespace {

const wchar_t kSourceUnit[] = L".\\Source\\GlobalText";
const wchar_t kLoadFunction[] = L"GlobalText::Load";

// A text table larger than this is not a text table; refusing it keeps a stray file from
// exhausting memory at start-up.
const LONGLONG kMaxFileBytes = 16 * 1024 * 1024;

struct Table {
    std::unique_ptr<wchar_t[]> buffer;                // code units after the mark, plus one terminating NUL
    std::array<const wchar_t*, kEntryCount> slots{};  // each points into `buffer`, or null
};

Table g_table;

// Points each slot at the next text of `units` code units (which are followed by a NUL at
// units[count]); slots past the last text stay null.
void AssignSlots(const wchar_t* units, size_t count, std::array<const wchar_t*, kEntryCount>& slots) {
    size_t pos = 0;
    for (auto& slot : slots) {
        if (pos >= count) {
            slot = nullptr;
            continue;
        }
        slot = units + pos;
        while (pos < count && units[pos] != L'\0') ++pos;
        ++pos;  // past the NUL (or past the end, for a final text without one)
    }
}

}  // namespace

bool Load() {
    return LoadFrom(ExecutableDirectory() + L"GT");
}

bool LoadFrom(const std::wstring& path) {
    kv::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        KvErrorBox(L"MenuText Load Error!", path.c_str(), kSourceUnit, kLoadFunction, 49);
        return false;
    }
    if (size.QuadPart > kMaxFileBytes) {
        KvErrorBox(L"momory error.", kSourceUnit, kLoadFunction, 63);
        return false;
    }
    const DWORD bytes = static_cast<DWORD>(size.QuadPart);
    std::unique_ptr<unsigned char[]> raw(new (std::nothrow) unsigned char[bytes ? bytes : 1]);
    if (!raw) {
        KvErrorBox(L"momory error.", kSourceUnit, kLoadFunction, 63);
        return false;
    }
    DWORD read = 0;
    if (bytes != 0 && (!ReadFile(file.get(), raw.get(), bytes, &read, nullptr) || read != bytes)) {
        KvErrorBox(L"MenuText Load Error!", path.c_str(), kSourceUnit, kLoadFunction, 49);
        return false;
    }
    file.reset();

    if (bytes < 2 || raw[0] != 0xFF || raw[1] != 0xFE) {
        KvErrorBox(L"MenuText is not UniCode!", path.c_str(), kSourceUnit, kLoadFunction, 77);
        return false;
    }

    // An odd trailing byte cannot form a code unit and is ignored.
    const size_t count = (bytes - 2) / 2;
    Table table;
    table.buffer.reset(new (std::nothrow) wchar_t[count + 1]);
    if (!table.buffer) {
        KvErrorBox(L"momory error.", kSourceUnit, kLoadFunction, 63);
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        table.buffer[i] = static_cast<wchar_t>(raw[2 + 2 * i] | (raw[3 + 2 * i] << 8));
    }
    table.buffer[count] = L'\0';
    AssignSlots(table.buffer.get(), count, table.slots);

    g_table = std::move(table);
    return true;
}

void Release() {
    g_table.slots.fill(nullptr);
    g_table.buffer.reset();
}

const wchar_t* Get(int entry) {
    if (entry < 0 || entry >= kEntryCount) return L"";
    const wchar_t* text = g_table.slots[static_cast<size_t>(entry)];
    return text ? text : L"";
}

}  // namespace GlobalText
