// Hosts of the filer and of the tree pane that record what they hear, for suites that drive the
// panes without the main window. Given the other pane, they also pass its reports on as the main
// window does (MainWindow/MainWindowHosts.cpp), so that a suite with both panes sees them work
// together; MainWindow_test checks the main window's own passing on.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Filer/FilerHost.h"
#include "Filer/KvFiler.h"
#include "Tree/Tree.h"
#include "Tree/TreeHost.h"

namespace tf_test {

class RecordingFilerHost : public FilerHost {
public:
    void RootFolderSet(CFolder& root) override {
        roots.push_back(&root);
        if (tree) tree->SetRootFolder(&root);
    }
    void FolderShown(CFolder& folder) override { shown.push_back(&folder); }
    void SubfoldersChanged(CFolder& folder) override {
        changed.push_back(&folder);
        if (tree) tree->RefreshFolder(&folder);
    }
    void SelectFolderSilently(CFolder& folder) override {
        selected.push_back(&folder);
        if (tree) tree->SelectFolderSilently(&folder);
    }
    void ViewModeChanged(unsigned mode) override { viewModes.push_back(mode); }
    void EnableTool(int command, bool enabled) override { tools[command] = enabled; }
    void RedrawTools() override { ++toolRedraws; }
    void EnableViewCommands(bool enabled) override { viewCommandsEnabled = enabled; }
    void SetStatusText(int part, const std::wstring& text) override { status[part] = text; }

    // What a tool bar and a status bar would show now: a button never enabled is disabled, a part
    // never written is empty.
    bool ToolEnabled(int command) const {
        auto found = tools.find(command);
        return found != tools.end() && found->second;
    }
    std::wstring StatusText(int part) const {
        auto found = status.find(part);
        return found != status.end() ? found->second : std::wstring();
    }

    CTree* tree = nullptr;  // set: the reports about folders are passed on to this pane

    std::vector<CFolder*> roots;
    std::vector<CFolder*> shown;
    std::vector<CFolder*> changed;
    std::vector<CFolder*> selected;
    std::vector<unsigned> viewModes;
    std::map<int, bool> tools;
    std::map<int, std::wstring> status;
    int toolRedraws = 0;
    bool viewCommandsEnabled = true;
};

class RecordingTreeHost : public TreeHost {
public:
    struct Drop {
        CFolder* folder;
        std::vector<std::wstring> paths;
    };

    void FolderChosen(CFolder& folder) override {
        chosen.push_back(&folder);
        if (filer) filer->NavigateTo(&folder);
    }
    void FilesDropped(CFolder& folder, const std::vector<std::wstring>& paths) override {
        drops.push_back(Drop{&folder, paths});
        if (filer)
            for (const std::wstring& path : paths) filer->AddPathToFolder(&folder, path);
    }
    void ClosePane() override { ++closeRequests; }

    CKvFiler* filer = nullptr;  // set: chosen folders and dropped files are passed on to this filer

    std::vector<CFolder*> chosen;
    std::vector<Drop> drops;
    int closeRequests = 0;
};

}  // namespace tf_test
