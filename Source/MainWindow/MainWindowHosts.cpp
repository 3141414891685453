// The main window's side of the filer and of the tree pane. Each pane reports to its host; the
// main window applies the report to its own parts (title, view menu, tool bar, status bar) or
// passes it on to the other pane. This is the one place where the filer and the tree meet.
#include "MainWindow/MainWindow.h"

#include <string>
#include <vector>

#include "Document/Folder.h"
#include "Filer/FilerHost.h"
#include "Filer/KvFiler.h"
#include "Find/FindPane.h"
#include "Kv/KvControls.h"
#include "Kv/KvToolBar.h"
#include "Tree/Tree.h"
#include "Tree/TreeHost.h"

namespace {

// The view menu's item for a view mode; none for small icons, which the menu does not offer.
int ViewMenuCommand(unsigned mode) {
    switch (mode) {
    case kFilerViewIcons:
        return kCmdViewIcons;
    case kFilerViewReport:
        return kCmdViewDetails;
    case kFilerViewList:
        return kCmdViewList;
    default:
        return 0;
    }
}

class MainFilerHost final : public FilerHost {
public:
    void RootFolderSet(CFolder& root) override { Tree().SetRootFolder(&root); }
    void FolderShown(CFolder&) override {
        MainWindow().RefreshTitle();
        FindPane().FilerShowedFolder();
    }
    void SubfoldersChanged(CFolder& folder) override { Tree().RefreshFolder(&folder); }
    void SelectFolderSilently(CFolder& folder) override { Tree().SelectFolderSilently(&folder); }
    void ViewModeChanged(unsigned mode) override {
        if (int command = ViewMenuCommand(mode)) MainWindow().CheckViewItem(command);
    }
    void EnableTool(int command, bool enabled) override {
        if (CKvToolBar* bar = MainWindow().ToolBar()) bar->EnableButton(enabled, command);
    }
    void EnableViewCommands(bool enabled) override {
        for (int command : {kCmdViewDetails, kCmdViewIcons, kCmdViewList}) MainWindow().EnableMenuItem(command, enabled);
    }
    void RedrawTools() override {
        CKvToolBar* bar = MainWindow().ToolBar();
        if (bar && bar->Hwnd()) RedrawWindow(bar->Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    void SetStatusText(int part, const std::wstring& text) override {
        HWND status = MainWindow().StatusBar();
        if (!status) return;
        KvSetStatusText(status, part, text.c_str());
        UpdateWindow(status);
    }
};

class MainTreeHost final : public TreeHost {
public:
    void FolderChosen(CFolder& folder) override { Filer().NavigateTo(&folder); }
    void FilesDropped(CFolder& folder, const std::vector<std::wstring>& paths) override {
        for (const std::wstring& path : paths) Filer().AddPathToFolder(&folder, path);
    }
    // The same command as the view menu's item.
    void ClosePane() override {
        if (HWND main = MainWindow().Hwnd()) SendMessageW(main, WM_COMMAND, MAKEWPARAM(kCmdToggleTreePane, 0), 0);
    }
};

MainFilerHost g_filerHost;
MainTreeHost g_treeHost;

}  // namespace

FilerHost& CMainWindow::AsFilerHost() {
    return g_filerHost;
}

TreeHost& CMainWindow::AsTreeHost() {
    return g_treeHost;
}
