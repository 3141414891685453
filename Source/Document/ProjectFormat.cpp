// The magic table, the streaming reader and writer and the window placement record of the
// project file.
#include "Document/ProjectFormat.h"

namespace projectfile {

const char* const kMagic[kNewestVersion] = {
    "KVTessaraFolder1", "KVTessaraFolder2", "KVTessaraFolder3", "KVTessaraFolder4", "KVTessaraFolder5",
    "KVTessaraFolder6", "KVTessaraFolder7", "KVTessaraFolder8", "KVTessaraFolder9", "KVTFolder10     ",
};

ByteReader::ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size), total_(size) {}

ByteReader::ByteReader(HANDLE file, uint64_t size)
    : data_(nullptr), size_(0), total_(size), file_(file), window_(new uint8_t[kWindowSize]) {
    data_ = window_.get();
}

const uint8_t* ByteReader::TakeSlow(size_t count) {
    if (!ok_ || !file_ || count > kWindowSize || count > Remaining()) {
        ok_ = false;
        return nullptr;
    }
    // Keep the unread tail, then fill the window up from the file.
    const size_t tail = size_ - pos_;
    std::memmove(window_.get(), window_.get() + pos_, tail);
    offset_ += pos_;
    pos_ = 0;
    size_ = tail;
    const uint64_t left = total_ - offset_ - size_;
    const size_t want = static_cast<size_t>(left < kWindowSize - size_ ? left : kWindowSize - size_);
    size_t got = 0;
    while (got < want) {
        DWORD n = 0;
        if (!ReadFile(file_, window_.get() + size_ + got, static_cast<DWORD>(want - got), &n, nullptr) || n == 0) {
            ok_ = false;
            return nullptr;
        }
        got += n;
    }
    size_ += got;
    pos_ = count;
    return window_.get();
}

bool ByteReader::Skip(uint64_t count) {
    if (!ok_ || count > Remaining()) {
        ok_ = false;
        return false;
    }
    if (count <= size_ - pos_) {
        pos_ += static_cast<size_t>(count);
        return true;
    }
    // Past the window: move the file position over the rest and start an empty window there.
    const uint64_t beyond = count - (size_ - pos_);
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(beyond);
    if (!SetFilePointerEx(file_, distance, nullptr, FILE_CURRENT)) {
        ok_ = false;
        return false;
    }
    offset_ += size_ + beyond;
    size_ = 0;
    pos_ = 0;
    return true;
}

bool ByteReader::Bytes(void* out, size_t count) {
    const uint8_t* p = Take(count);
    if (!p) return false;
    std::memcpy(out, p, count);
    return true;
}

const uint8_t* ByteReader::StringText(size_t limit, size_t& chars) {
    chars = 0;
    const uint16_t padded = U16();
    const uint16_t textBytes = U16();
    if (!ok_ || padded < textBytes || (textBytes & 1) != 0) {
        ok_ = false;
        return nullptr;
    }
    const uint8_t* p = Take(padded);
    if (!p) return nullptr;
    chars = textBytes / 2u;
    if (chars >= limit) chars = limit - 1;
    return p;
}

std::wstring ByteReader::String(size_t limit) {
    std::wstring text;
    size_t chars = 0;
    const uint8_t* p = StringText(limit, chars);
    if (p && chars != 0) {
        text.resize(chars);
        std::memcpy(&text[0], p, chars * 2);  // UTF-16LE is the memory form of wchar_t here
    }
    return text;
}

void ByteReader::String(size_t limit, EntryText& out) {
    size_t chars = 0;
    const uint8_t* p = StringText(limit, chars);
    out.Assign(p, p ? chars : 0);
}

ByteWriter::ByteWriter(HANDLE file) : file_(file), window_(new uint8_t[kWindowSize]) {}

void ByteWriter::Drain() {
    size_t done = 0;
    while (ok_ && done < used_) {
        DWORD written = 0;
        if (!WriteFile(file_, window_.get() + done, static_cast<DWORD>(used_ - done), &written, nullptr) ||
            written == 0)
            ok_ = false;
        done += written;
    }
    used_ = 0;
}

bool ByteWriter::Finish() {
    Drain();
    return ok_;
}

void ByteWriter::String(std::wstring_view text) {
    const size_t chars = text.size() < kMaxEncodableChars ? text.size() : kMaxEncodableChars;
    const size_t textBytes = chars * 2;
    const size_t padded = (textBytes + 3) & ~static_cast<size_t>(3);
    U16(static_cast<uint16_t>(padded));
    U16(static_cast<uint16_t>(textBytes));
    if (padded == 0) return;
    uint8_t* p = Put(padded);
    std::memcpy(p, text.data(), textBytes);
    std::memset(p + textBytes, 0, padded - textBytes);
}

void ReadPlacement(ByteReader& reader, WINDOWPLACEMENT& placement) {
    placement.length = reader.U32();
    placement.flags = reader.U32();
    placement.showCmd = reader.U32();
    placement.ptMinPosition.x = reader.I32();
    placement.ptMinPosition.y = reader.I32();
    placement.ptMaxPosition.x = reader.I32();
    placement.ptMaxPosition.y = reader.I32();
    placement.rcNormalPosition.left = reader.I32();
    placement.rcNormalPosition.top = reader.I32();
    placement.rcNormalPosition.right = reader.I32();
    placement.rcNormalPosition.bottom = reader.I32();
}

void WritePlacement(ByteWriter& writer, const WINDOWPLACEMENT& placement) {
    writer.U32(placement.length);
    writer.U32(placement.flags);
    writer.U32(placement.showCmd);
    writer.I32(placement.ptMinPosition.x);
    writer.I32(placement.ptMinPosition.y);
    writer.I32(placement.ptMaxPosition.x);
    writer.I32(placement.ptMaxPosition.y);
    writer.I32(placement.rcNormalPosition.left);
    writer.I32(placement.rcNormalPosition.top);
    writer.I32(placement.rcNormalPosition.right);
    writer.I32(placement.rcNormalPosition.bottom);
}

}  // namespace projectfile
