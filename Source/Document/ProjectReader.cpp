// Reading the project file. The file is streamed through bounds-checked reads into fresh objects; only a complete, consistent parse is committed to Project(), the root
// folder and the id counter, and only then is the registered view told. A truncated or
// inconsistent file (a field running past the end, a count larger than the rest of the file could
// hold, a malformed string) is refused like an unknown magic, so a half-read tree never appears.
//
// Layout by version v (strings as in ProjectFormat.h):
//   magic (16 bytes)
//   v<=4: window rectangle (4 x i32)          v>=5: u32 length, length bytes (placement when 44)
//   titleFormat
//   v>=6: u16 allowRename, appMarkStyle, backupEnabled, menuExtensionApps; backupDir
//   v>=7: u32 app count; per app: path, caption, u32 extension count, extensions
//   v>=8: u16 trayMode, u8 statusBar, u8 allowAlias
//   v>=9: 10 reserved strings; u8 mouseGesture, menuOpenWithSubmenu, menuShellItems,
//         menuShellSubmenu, treePane, reserved; u16 treeWidth; 248 reserved bytes
//   v<=2: u32 root entry count
//   5 x u32 column widths, u32 view style, 64 reserved bytes
//   v>=3: u32 id counter, root folder record     v<=2: per root entry its path (limit 260),
//                                                 v=2 then 40 bytes, the first the colour
// Folder record: u32 entry count, u32 id, u16 reserved, u16 sortFlags, v>=9 u32 kind,
//   v>=4 search block, entries.
// Entry record: name, path, appPath, u8 relative, u8 aliasMode, 2 reserved, u8 colour, 3 reserved,
//   v>=6 backupName, v>=9 alias, u32 subfolder flag, the subfolder's record when non-zero.
// Search block, v4-v9: path, i32 depth, includeText. v10: path, i32 depth, includeText,
//   u8 limitDepth, useInclude, useExclusion, reserved, u32 folder count, u8 autoUpdate,
//   multipleFolders, 2 reserved; per folder: path, i32 depth, includeText, exclusionText,
//   u8 limitDepth, useInclude, useExclusion, reserved.
#include "Document/ProjectFile.h"

#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "Document/Folder.h"
#include "Document/FolderExtras.h"
#include "Kv/KvHandles.h"
#include "Kv/KvWindow.h"
#include "Document/Project.h"
#include "Document/ProjectFormat.h"
#include "Document/ProjectView.h"

using namespace projectfile;

namespace {

// A project of a million entries stays far below this: a larger file is not loaded.
constexpr uint64_t kMaxFileSize = 256ull << 20;
constexpr size_t kMinAppSize = 12;           // two empty strings and a count
constexpr size_t kMinSearchFolderSize = 20;  // three empty strings, depth, four flags
constexpr uint16_t kDefaultTreeWidth = 150;

size_t MinEntrySize(int version) {
    size_t size = 3 * 4 + 8 + 4;  // three strings, eight flag bytes, the subfolder flag
    if (version >= 6) size += 4;
    if (version >= 9) size += 4;
    return size;
}

struct ParsedProject {
    int version = 0;
    CProject project;
    bool hasRect = false;
    RECT rect{};
    bool hasPlacement = false;
    bool badPlacement = false;
    bool hasCounter = false;
    uint32_t counter = 0;
    CFolder root{1, 1};
};

// The project file opened for reading and its size; the reader streams it from there.
struct OpenedFile {
    kv::UniqueFile handle;
    uint64_t size = 0;
};

bool OpenProjectFile(const std::wstring& path, OpenedFile& out) {
    out.handle.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!out.handle) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(out.handle.get(), &size) || size.QuadPart < 0 ||
        static_cast<uint64_t>(size.QuadPart) > kMaxFileSize)
        return false;
    out.size = static_cast<uint64_t>(size.QuadPart);
    return true;
}

int MatchMagic(ByteReader& reader) {
    char magic[kMagicSize];
    if (!reader.Bytes(magic, kMagicSize)) return 0;
    for (int version = 1; version <= kNewestVersion; ++version)
        if (std::memcmp(magic, kMagic[version - 1], kMagicSize) == 0) return version;
    return 0;
}

void ReadSearchBlock(ByteReader& reader, int version, SearchSettings& search) {
    if (version < 4) return;
    search.path = reader.String(kStringLimit);
    search.depth = reader.I32();
    search.includeText = reader.String(kStringLimit);
    if (version < 10) {
        search.limitDepth = search.depth != 0;
        search.useInclude = !search.includeText.empty();
        search.useExclusion = !search.exclusionText.empty();
        return;
    }
    search.limitDepth = reader.U8() != 0;
    search.useInclude = reader.U8() != 0;
    search.useExclusion = reader.U8() != 0;
    reader.Skip(1);
    const uint32_t count = reader.U32();
    search.autoUpdate = reader.U8() != 0;
    search.multipleFolders = reader.U8() != 0;
    reader.Skip(2);
    if (!reader.CanHold(count, kMinSearchFolderSize)) return reader.Fail();
    search.folders.reserve(count);
    for (uint32_t i = 0; i < count && reader.ok(); ++i) {
        SearchFolder folder;
        folder.path = reader.String(kStringLimit);
        folder.depth = reader.I32();
        folder.includeText = reader.String(kStringLimit);
        folder.exclusionText = reader.String(kStringLimit);
        folder.limitDepth = reader.U8() != 0;
        folder.useInclude = reader.U8() != 0;
        folder.useExclusion = reader.U8() != 0;
        reader.Skip(1);
        search.folders.push_back(std::move(folder));
    }
}

// Reads a folder record's header fields and search block; returns its entry count.
uint32_t ReadFolderHeader(ByteReader& reader, int version, CFolder& folder) {
    const uint32_t count = reader.U32();
    folder.id = reader.U32();
    folder.reserved = reader.U16();
    folder.sortFlags = reader.U16();
    if (version >= 9) folder.kind = reader.U32();
    ReadSearchBlock(reader, version, folder.search);
    if (!reader.CanHold(count, MinEntrySize(version))) reader.Fail();
    return count;
}

// Reads an entry record up to its subfolder flag; returns the flag.
bool ReadEntry(ByteReader& reader, int version, CEntry& entry) {
    reader.String(kStringLimit, entry.name);
    reader.String(kStringLimit, entry.path);
    reader.String(kStringLimit, entry.appPath);
    entry.relative = reader.U8();
    entry.aliasMode = reader.U8();
    reader.Skip(2);
    entry.colour = reader.U8();
    reader.Skip(3);
    if (version >= 6) reader.String(kStringLimit, entry.backupName);
    if (version >= 9) reader.String(kStringLimit, entry.alias);
    return reader.U32() != 0;
}

// The folder tree in file order, with an explicit stack so that nesting depth is bounded by the
// file's size and not by the thread's stack.
void ReadTree(ByteReader& reader, int version, CFolder& root) {
    struct Frame {
        CFolder* folder;
        uint32_t remaining;
    };
    std::vector<Frame> stack;
    stack.push_back({&root, ReadFolderHeader(reader, version, root)});
    while (!stack.empty() && reader.ok()) {
        Frame& top = stack.back();
        if (top.remaining == 0) {
            stack.pop_back();
            continue;
        }
        --top.remaining;
        CFolder* folder = top.folder;
        CEntry& entry = folder->Append();
        if (!ReadEntry(reader, version, entry) || !reader.ok()) continue;
        entry.subfolder.reset(new CFolder(0, kFolderKindPlain));
        entry.subfolder->parent = folder;
        entry.subfolder->ownerEntry = &entry;
        const uint32_t count = ReadFolderHeader(reader, version, *entry.subfolder);
        stack.push_back({entry.subfolder.get(), count});
    }
}

void ReadOldRootEntries(ByteReader& reader, int version, uint32_t count, CFolder& root) {
    const size_t minSize = version == 2 ? 4 + kOldEntryTrailer : 4;
    if (!reader.CanHold(count, minSize)) return reader.Fail();
    root.id = 1;
    for (uint32_t i = 0; i < count && reader.ok(); ++i) {
        CEntry& entry = root.Append();
        reader.String(kOldPathLimit, entry.path);
        if (version == 2) {
            entry.colour = reader.U8();
            reader.Skip(kOldEntryTrailer - 1);
        }
    }
}

void ReadApps(ByteReader& reader, std::vector<ProjectApp>& apps) {
    const uint32_t count = reader.U32();
    if (!reader.CanHold(count, kMinAppSize)) return reader.Fail();
    apps.clear();
    apps.reserve(count);
    for (uint32_t i = 0; i < count && reader.ok(); ++i) {
        ProjectApp app;
        app.path = reader.String(kStringLimit);
        app.caption = reader.String(kStringLimit);
        const uint32_t extensions = reader.U32();
        if (!reader.CanHold(extensions, 4)) return reader.Fail();
        for (uint32_t k = 0; k < extensions && reader.ok(); ++k) app.extensions.push_back(reader.String(kStringLimit));
        apps.push_back(std::move(app));
    }
}

bool Parse(ByteReader& reader, ParsedProject& out) {
    const int version = MatchMagic(reader);
    if (version == 0) return false;
    out.version = version;
    CProject& p = out.project;

    if (version <= 4) {
        out.rect.left = reader.I32();
        out.rect.top = reader.I32();
        out.rect.right = reader.I32();
        out.rect.bottom = reader.I32();
        out.hasRect = true;
    } else {
        const uint32_t length = reader.U32();
        if (length == kPlacementSize) {
            ReadPlacement(reader, p.window.placement);
            out.hasPlacement = true;
        } else {
            reader.Skip(length);
            out.badPlacement = true;
        }
    }
    p.titleFormat = reader.String(kStringLimit);

    if (version >= 6) {
        p.allowRename = reader.U16();
        p.appMarkStyle = reader.U16();
        p.backupEnabled = reader.U16();
        p.menuExtensionApps = reader.U16();
        p.backupDir = reader.String(kStringLimit);
    } else {
        p.backupDir = DefaultBackupDir(p.stem);
    }
    if (version >= 7)
        ReadApps(reader, p.apps);
    else
        p.menuExtensionApps = 1;
    if (version >= 8) {
        p.trayMode = reader.U16();
        p.statusBar = reader.U8();
        p.allowAlias = reader.U8();
    } else {
        p.trayMode = 0;
    }
    if (version >= 9) {
        for (size_t i = 0; i < kReservedStrings; ++i) reader.String(kStringLimit);
        p.mouseGesture = reader.U8();
        p.menuOpenWithSubmenu = reader.U8();
        p.menuShellItems = reader.U8();
        p.menuShellSubmenu = reader.U8();
        p.treePane = reader.U8();
        reader.Skip(1);
        p.treeWidth = reader.U16();
        if (p.treeWidth == 0) p.treeWidth = kDefaultTreeWidth;
        reader.Skip(kReservedHeaderBytes);
    }

    const uint32_t oldRootCount = version <= 2 ? reader.U32() : 0;
    for (uint32_t& width : p.window.columnWidths) width = reader.U32();
    p.window.viewStyle = reader.U32();
    reader.Skip(kReservedFilerBytes);

    if (version >= 3) {
        out.counter = reader.U32();
        out.hasCounter = true;
        ReadTree(reader, version, out.root);
    } else {
        ReadOldRootEntries(reader, version, oldRootCount, out.root);
    }
    return reader.ok();
}

WINDOWPLACEMENT PlacementFromRect(const RECT& rect) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    placement.showCmd = SW_SHOWNORMAL;
    placement.rcNormalPosition = rect;
    return placement;
}

// Moves the parsed tree under the root, which keeps its identity (the views hold its address).
// The old entries end up in `parsed.root` and die with it.
void CommitTree(ParsedProject& parsed) {
    CFolder& root = RootFolder();
    root.entries.swap(parsed.root.entries);
    root.NoteEntriesChanged();
    for (CEntry& entry : root.entries) {
        entry.owner = &root;
        if (entry.subfolder) entry.subfolder->parent = &root;
    }
    for (CEntry& entry : parsed.root.entries) {
        entry.owner = &parsed.root;
        if (entry.subfolder) entry.subfolder->parent = &parsed.root;
    }
    root.id = parsed.root.id;
    root.reserved = parsed.root.reserved;
    root.sortFlags = parsed.root.sortFlags;
    root.kind = parsed.root.kind;
    std::swap(root.search, parsed.root.search);
    if (parsed.hasCounter) SetFolderIdCounter(parsed.counter);
}

// Applies a complete parse; nothing here can fail.
void Commit(ParsedProject& parsed) {
    ProjectView* view = GetProjectView();
    if (parsed.hasRect) parsed.project.window.placement = PlacementFromRect(parsed.rect);
    Project() = std::move(parsed.project);
    CProject& project = Project();

    if (parsed.hasRect && view) view->MoveWindowTo(parsed.rect);
    if (parsed.hasPlacement && view) {
        WINDOWPLACEMENT placement = project.window.placement;
        placement.length = sizeof(placement);
        view->ApplyPlacement(placement);
    }
    if (parsed.badPlacement) KvWarningBox(L"Failed Load SetWindowPlacement Data.");
    if (view) {
        view->RefreshTitle();
        view->ApplyOptions();
        view->ApplyFilerColumns(project.window.columnWidths, project.window.viewStyle);
    }
    CommitTree(parsed);
    if (view) view->ShowRootFolder();
}

// Loads from `reader`, which holds `size` bytes; `path` names the project.
bool LoadFrom(const std::wstring& path, ByteReader& reader, uint64_t size) {
    auto parsed = std::make_unique<ParsedProject>();
    parsed->project = Project();
    CProject& p = parsed->project;
    SplitProjectPath(path, p.directory, p.stem, p.extension);
    p.filePath = path;

    if (size == 0) {
        p.backupDir = DefaultBackupDir(p.stem);
        Project() = std::move(p);
        if (ProjectView* view = GetProjectView()) {
            view->RefreshTitle();
            view->SetTrayModeOff();
        }
        return true;
    }
    if (!Parse(reader, *parsed)) return false;
    // What the file has no field for comes from its sidecar, before the root is shown (showing a
    // folder may start its automatic search).
    FolderExtras extras;
    if (ReadFolderExtras(path, extras)) ApplyFolderExtras(extras, parsed->root);
    Commit(*parsed);
    return true;
}

}  // namespace

bool LoadProject(const std::wstring& path) {
    try {
        OpenedFile file;
        if (!OpenProjectFile(path, file)) return false;
        ByteReader reader(file.handle.get(), file.size);
        return LoadFrom(path, reader, file.size);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool LoadProjectBytes(const std::wstring& path, const unsigned char* data, size_t size) {
    try {
        ByteReader reader(data, size);
        return LoadFrom(path, reader, size);
    } catch (const std::bad_alloc&) {
        return false;
    }
}
