// A textual fingerprint of everything a project load may change (the project record, the id
// counter and the whole folder tree), so a test can tell whether a refused load left it alone.
#pragma once

#include <string>
#include <vector>

#include "Document/Folder.h"
#include "Document/Project.h"

namespace tf_test {

// `withPaths` false leaves out the project file's path and its parts.
inline std::wstring ProjectFingerprint(bool withPaths = true) {
    const CProject& p = Project();
    std::wstring s =
        withPaths ? p.filePath + L"|" + p.directory + L"|" + p.stem + L"|" + p.extension + L"|" : std::wstring();
    s += p.titleFormat + L"|" + p.backupDir + L"|";
    for (unsigned v : {unsigned(p.allowRename), unsigned(p.appMarkStyle), unsigned(p.backupEnabled),
                       unsigned(p.menuExtensionApps), unsigned(p.menuOpenWithSubmenu), unsigned(p.menuShellItems),
                       unsigned(p.menuShellSubmenu), unsigned(p.trayMode), unsigned(p.statusBar), unsigned(p.treePane),
                       unsigned(p.treeWidth), unsigned(p.allowAlias), unsigned(p.mouseGesture),
                       unsigned(p.window.viewStyle), unsigned(p.window.placement.length),
                       unsigned(p.window.placement.showCmd), unsigned(p.window.placement.rcNormalPosition.left),
                       unsigned(p.window.placement.rcNormalPosition.bottom), FolderIdCounter()})
        s += std::to_wstring(v) + L",";
    for (unsigned w : p.window.columnWidths) s += std::to_wstring(w) + L",";
    for (const ProjectApp& app : p.apps) {
        s += L"app:" + app.path + L"/" + app.caption;
        for (const std::wstring& e : app.extensions) s += L"/" + e;
    }
    std::vector<const CFolder*> stack{&RootFolder()};
    while (!stack.empty()) {
        const CFolder* f = stack.back();
        stack.pop_back();
        const SearchSettings& q = f->search;
        s += L"{" + std::to_wstring(f->id) + L"," + std::to_wstring(f->kind) + L"," + std::to_wstring(f->reserved) +
             L"," + std::to_wstring(f->sortFlags) + L"," + std::to_wstring(q.autoUpdate) +
             std::to_wstring(q.multipleFolders);
        for (size_t i = 0; i <= q.folders.size(); ++i) {
            const SearchFolder& d = i == 0 ? static_cast<const SearchFolder&>(q) : q.folders[i - 1];
            s += L"<" + d.path + L"," + std::to_wstring(d.depth) + L"," + d.includeText + L"," + d.exclusionText +
                 L"," + std::to_wstring(d.limitDepth) + std::to_wstring(d.useInclude) +
                 std::to_wstring(d.useExclusion) + L">";
        }
        for (const CEntry& e : f->entries) {
            s += L"[" + e.name + L"|" + e.path + L"|" + e.appPath + L"|" + e.alias + L"|" + e.backupName + L"|" +
                 std::to_wstring(e.colour) + std::to_wstring(e.relative) + std::to_wstring(e.aliasMode) +
                 (e.owner == f ? L"" : L"!owner") + L"]";
            if (e.subfolder) {
                if (e.subfolder->parent != f || e.subfolder->ownerEntry != &e) s += L"!link";
                stack.push_back(e.subfolder.get());
            }
        }
        s += L"}";
    }
    return s;
}

}  // namespace tf_test
