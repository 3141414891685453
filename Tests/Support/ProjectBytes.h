// Builds project files byte by byte for the project file suites, independently of the writer
// under test: little-endian fields, the string encoding, and a sample project of any version.
// Folder kinds and view modes are written by their names (ProjectFile_test pins their numbers).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Document/FilerViewMode.h"
#include "Document/Folder.h"

namespace tf_test {

class ProjectBytes {
public:
    std::vector<unsigned char> bytes;

    ProjectBytes& Raw(const void* data, size_t n) {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        bytes.insert(bytes.end(), p, p + n);
        return *this;
    }
    ProjectBytes& Fill(size_t n, unsigned char value = 0) {
        bytes.insert(bytes.end(), n, value);
        return *this;
    }
    ProjectBytes& U8(unsigned v) {
        bytes.push_back(static_cast<unsigned char>(v));
        return *this;
    }
    ProjectBytes& U16(unsigned v) { return U8(v & 0xFF).U8((v >> 8) & 0xFF); }
    ProjectBytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    ProjectBytes& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
    // A string with explicit padded and text lengths; `text` supplies the bytes of both.
    ProjectBytes& StrRaw(unsigned padded, unsigned textBytes, const std::wstring& text) {
        U16(padded).U16(textBytes);
        for (unsigned i = 0; i < padded; ++i) {
            unsigned ch = i / 2 < text.size() && i < textBytes ? static_cast<unsigned>(text[i / 2]) : 0;
            U8(i % 2 == 0 ? (ch & 0xFF) : (ch >> 8));
        }
        return *this;
    }
    ProjectBytes& Str(const std::wstring& text) {
        unsigned t = static_cast<unsigned>(text.size() * 2);
        return StrRaw((t + 3) & ~3u, t, text);
    }
    ProjectBytes& Magic(int version) {
        static const char* const magic[] = {
            "KVTessaraFolder1", "KVTessaraFolder2", "KVTessaraFolder3", "KVTessaraFolder4", "KVTessaraFolder5",
            "KVTessaraFolder6", "KVTessaraFolder7", "KVTessaraFolder8", "KVTessaraFolder9", "KVTFolder10     "};
        return Raw(magic[version - 1], 16);
    }
    // Placement record: length 44, flags 0, showCmd 1, min and max (-1, -1), normal rectangle.
    ProjectBytes& Placement(int l, int t, int r, int b) {
        U32(44).U32(0).U32(1).I32(-1).I32(-1).I32(-1).I32(-1);
        return I32(l).I32(t).I32(r).I32(b);
    }
};

// Search block of the given version (nothing before version 4).
inline void SampleSearch(ProjectBytes& f, int version, bool filled) {
    if (version < 4) return;
    f.Str(filled ? L"C:\\s" : L"").I32(filled ? 0 : 1).Str(filled ? L"inc" : L"");
    if (version < 10) return;
    if (!filled) {
        f.U8(1).U8(0).U8(0).U8(0).U32(0).U8(0).U8(0).U16(0);
        return;
    }
    f.U8(1).U8(1).U8(1).U8(0).U32(1).U8(1).U8(1).U16(0);
    f.Str(L"C:\\m").I32(3).Str(L"i").Str(L"x").U8(0).U8(1).U8(1).U8(0);
}

inline void SampleEntry(ProjectBytes& f, int version, const std::wstring& name, const std::wstring& path,
                        const std::wstring& app, unsigned relative, unsigned aliasMode, unsigned colour,
                        const std::wstring& backup, const std::wstring& alias, bool subfolder) {
    f.Str(name).Str(path).Str(app).U8(relative).U8(aliasMode).U16(0).U8(colour).Fill(3);
    if (version >= 6) f.Str(backup);
    if (version >= 9) f.Str(alias);
    f.U32(subfolder ? 1 : 0);
}

// A sample project of any version 1 to 10; the project file suite checks what each version yields.
//   window: rectangle / placement (10, 20, 310, 420); title "%FileName% - %DirPath%"
//   v>=6: allowRename 1, appMarkStyle 0, backupEnabled 1, menuExtensionApps 0, backupDir "C:\bk\"
//   v>=7: apps {"C:\a.exe", "A", {".txt", ".log"}}, {"C:\b.exe", "", {}}
//   v>=8: trayMode 1, statusBar 0, allowAlias 1
//   v>=9: reserved strings "r0".."r9", mouseGesture 0, the three menu flags 1, treePane 1,
//         treeWidth 222, reserved bytes 0xAB
//   columns 100..500, view style list, reserved 0xCD
//   v>=3: counter 9; root (id 1, reserved 7, sortFlags 0x15, plain, filled search block):
//         "one" (C:\one.txt, app C:\ed.exe, aliasMode 1, colour 3, backup "bk1", alias "uno"),
//         "Sub" -> folder id 5, reserved 1, sortFlags 2, image: "deep" (relative ..\deep.txt),
//         "two" (C:\two.txt)
//   v<=2: root entries C:\one.txt, C:\sub, C:\two.txt (v2 colours 1, 2, 3)
// `canonical` writes the reserved parts as the writer does (empty strings, zeros), so that the
// version 10 sample is byte for byte what saving it gives back.
inline std::vector<unsigned char> SampleProject(int version, bool canonical = false) {
    ProjectBytes f;
    f.Magic(version);
    if (version <= 4)
        f.I32(10).I32(20).I32(310).I32(420);
    else
        f.U32(44).Placement(10, 20, 310, 420);
    f.Str(L"%FileName% - %DirPath%");
    if (version >= 6) f.U16(1).U16(0).U16(1).U16(0).Str(L"C:\\bk\\");
    if (version >= 7) {
        f.U32(2);
        f.Str(L"C:\\a.exe").Str(L"A").U32(2).Str(L".txt").Str(L".log");
        f.Str(L"C:\\b.exe").Str(L"").U32(0);
    }
    if (version >= 8) f.U16(1).U8(0).U8(1);
    if (version >= 9) {
        for (int i = 0; i < 10; ++i) f.Str(canonical ? L"" : L"r" + std::to_wstring(i));
        f.U8(0).U8(1).U8(1).U8(1).U8(1).U8(canonical ? 0 : 7).U16(222).Fill(248, canonical ? 0 : 0xAB);
    }
    if (version <= 2) f.U32(3);
    f.U32(100).U32(200).U32(300).U32(400).U32(500).U32(kFilerViewList).Fill(64, canonical ? 0 : 0xCD);
    if (version <= 2) {
        const wchar_t* paths[] = {L"C:\\one.txt", L"C:\\sub", L"C:\\two.txt"};
        for (int i = 0; i < 3; ++i) {
            f.Str(paths[i]);
            if (version == 2) f.U8(i + 1).Fill(39, 0xEE);
        }
        return f.bytes;
    }
    f.U32(9);
    f.U32(3).U32(1).U16(7).U16(0x15);
    if (version >= 9) f.U32(kFolderKindPlain);
    SampleSearch(f, version, true);
    SampleEntry(f, version, L"one", L"C:\\one.txt", L"C:\\ed.exe", 0, 1, 3, L"bk1", L"uno", false);
    SampleEntry(f, version, L"Sub", L"", L"", 0, 0, 0, L"", L"", true);
    f.U32(1).U32(5).U16(1).U16(2);
    if (version >= 9) f.U32(kFolderKindImage);
    SampleSearch(f, version, false);
    SampleEntry(f, version, L"deep", L"..\\deep.txt", L"", 1, 0, 0, L"", L"", false);
    SampleEntry(f, version, L"two", L"C:\\two.txt", L"", 0, 0, 0, L"", L"", false);
    return f.bytes;
}

}  // namespace tf_test
