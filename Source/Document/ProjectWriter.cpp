// Writing the project file, always in the newest layout (version 10; the field list is at the top
// of ProjectReader.cpp). The file is written beside the target under a temporary name, flushed to
// disk and only then moved over the target, so the old project survives any
// failure on the way.
#include "Document/ProjectFile.h"

#include <new>

#include "Document/Folder.h"
#include "Document/FolderExtras.h"
#include "Kv/KvHandles.h"
#include "Document/Project.h"
#include "Document/ProjectFormat.h"
#include "Document/ProjectView.h"

using namespace projectfile;

namespace {

void WriteSearchBlock(ByteWriter& w, const SearchSettings& search) {
    w.String(search.path);
    w.I32(search.depth);
    w.String(search.includeText);
    w.U8(search.limitDepth ? 1 : 0);
    w.U8(search.useInclude ? 1 : 0);
    w.U8(search.useExclusion ? 1 : 0);
    w.U8(0);
    w.U32(static_cast<uint32_t>(search.folders.size()));
    w.U8(search.autoUpdate ? 1 : 0);
    w.U8(search.multipleFolders ? 1 : 0);
    w.Zeros(2);
    for (const SearchFolder& folder : search.folders) {
        w.String(folder.path);
        w.I32(folder.depth);
        w.String(folder.includeText);
        w.String(folder.exclusionText);
        w.U8(folder.limitDepth ? 1 : 0);
        w.U8(folder.useInclude ? 1 : 0);
        w.U8(folder.useExclusion ? 1 : 0);
        w.U8(0);
    }
}

void WriteFolderHeader(ByteWriter& w, const CFolder& folder) {
    w.U32(static_cast<uint32_t>(folder.Count()));
    w.U32(folder.id);
    w.U16(folder.reserved);
    w.U16(folder.sortFlags);
    w.U32(folder.kind);
    WriteSearchBlock(w, folder.search);
}

void WriteEntry(ByteWriter& w, const CEntry& entry) {
    w.String(entry.name);
    w.String(entry.path);
    w.String(entry.appPath);
    w.U8(entry.relative);
    w.U8(entry.aliasMode);
    w.Zeros(2);
    w.U8(entry.colour);
    w.Zeros(3);
    w.String(entry.backupName);
    w.String(entry.alias);
    w.U32(entry.subfolder ? 1 : 0);
}

// Folder records in file order with an explicit stack (the tree's depth is not bounded).
void WriteTree(ByteWriter& w, const CFolder& root) {
    struct Frame {
        const CFolder* folder;
        CFolder::EntryList::const_iterator next;
    };
    std::vector<Frame> stack;
    WriteFolderHeader(w, root);
    stack.push_back({&root, root.entries.begin()});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.folder->entries.end()) {
            stack.pop_back();
            continue;
        }
        const CEntry& entry = *top.next++;
        WriteEntry(w, entry);
        if (!entry.subfolder) continue;
        WriteFolderHeader(w, *entry.subfolder);
        stack.push_back({entry.subfolder.get(), entry.subfolder->entries.begin()});
    }
}

void WriteHeader(ByteWriter& w, const CProject& p) {
    w.Bytes(kMagic[kNewestVersion - 1], kMagicSize);
    w.U32(kPlacementSize);
    WritePlacement(w, p.window.placement);
    w.String(p.titleFormat);
    w.U16(p.allowRename);
    w.U16(p.appMarkStyle);
    w.U16(p.backupEnabled);
    w.U16(p.menuExtensionApps);
    w.String(p.backupDir);
    w.U32(static_cast<uint32_t>(p.apps.size()));
    for (const ProjectApp& app : p.apps) {
        w.String(app.path);
        w.String(app.caption);
        w.U32(static_cast<uint32_t>(app.extensions.size()));
        for (const std::wstring& extension : app.extensions) w.String(extension);
    }
    w.U16(p.trayMode);
    w.U8(p.statusBar);
    w.U8(p.allowAlias);
    for (size_t i = 0; i < kReservedStrings; ++i) w.String(std::wstring());
    w.U8(p.mouseGesture);
    w.U8(p.menuOpenWithSubmenu);
    w.U8(p.menuShellItems);
    w.U8(p.menuShellSubmenu);
    w.U8(p.treePane);
    w.U8(0);
    w.U16(p.treeWidth);
    w.Zeros(kReservedHeaderBytes);
    for (uint32_t width : p.window.columnWidths) w.U32(width);
    w.U32(p.window.viewStyle);
    w.Zeros(kReservedFilerBytes);
}

// Takes the window's placement and the filer's columns into the project before they are written.
void RefreshWindowState(CProject& project) {
    ProjectView* view = GetProjectView();
    if (!view) return;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (view->GetPlacement(placement)) project.window.placement = placement;
    view->ReadFilerColumns(project.window.columnWidths, project.window.viewStyle);
}

// "<directory of path>~tf<process id>.tmp": beside the target, so the final move never crosses
// volumes, and short, so it fits wherever the target's name does.
std::wstring TemporaryPathFor(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    const std::wstring directory = separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
    wchar_t name[32];
    swprintf(name, 32, L"~tf%lx.tmp", static_cast<unsigned long>(GetCurrentProcessId()));
    std::wstring temporary = directory + name;
    if (CompareStringOrdinal(temporary.c_str(), -1, path.c_str(), -1, TRUE) == CSTR_EQUAL) temporary += L"~";
    return temporary;
}

// Writes the whole project to `file`.
bool WriteProjectFile(HANDLE file, const CProject& project) {
    ByteWriter writer(file);
    WriteHeader(writer, project);
    writer.U32(FolderIdCounter());
    WriteTree(writer, RootFolder());
    return writer.Finish();
}

bool SaveProjectTo(const std::wstring& path) {
    CProject& project = Project();
    RefreshWindowState(project);
    if (!SaveFileSafely(path, [&](HANDLE file) { return WriteProjectFile(file, project); })) return false;
    project.filePath = path;
    return WriteFolderExtras(path, GatherFolderExtras(RootFolder()));
}

}  // namespace

bool SaveFileSafely(const std::wstring& path, const std::function<bool(HANDLE file)>& write) {
    // A read-only target stays as it is (the rename below would replace it on some systems).
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;

    const std::wstring temporary = TemporaryPathFor(path);
    bool written = false;
    {
        kv::UniqueFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        written = file && write(file.get()) && FlushFileBuffers(file.get());
    }
    if (!written ||
        !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

bool SaveProject(const std::wstring& path) {
    if (path.empty()) return false;
    try {
        return SaveProjectTo(path);
    } catch (const std::bad_alloc&) {
        return false;
    }
}
