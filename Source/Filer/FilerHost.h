// How the filer reaches its owner without depending on it. The main window implements this
// interface (MainWindow/MainWindowHosts.cpp) and hands it to CKvFiler::Create; tests hand a
// recording host. The filer tells its host what it has shown or changed and what the owner's tool
// bar and status bar are to show; the host decides what follows (the title, the tree, the view
// menu). With no host the filer touches nothing outside its own windows.
#pragma once

#include <string>

class CFolder;

class FilerHost {
public:
    virtual ~FilerHost() = default;

    // The filer was created with `root` as its current folder (the tree takes it as its root).
    virtual void RootFolderSet(CFolder& root) = 0;
    // `folder` is now on screen, its display data made anew (the title names it).
    virtual void FolderShown(CFolder& folder) = 0;
    // Subfolder entries of `folder` were added, renamed, removed or moved away.
    virtual void SubfoldersChanged(CFolder& folder) = 0;
    // The filer went to `folder` by itself (back, forward, up); the tree is to select it without
    // navigating the filer again.
    virtual void SelectFolderSilently(CFolder& folder) = 0;
    // The list shows view mode `mode` (FilerViewMode in KvFiler.h).
    virtual void ViewModeChanged(unsigned mode) = 0;
    // A tool bar button, named by its command (Commands/MainCommand.h), is enabled or disabled.
    virtual void EnableTool(int command, bool enabled) = 0;
    // The view menu's view commands (details, icons, list) are offered or greyed; a folder kind
    // that keeps a view of its own greys them while it is shown.
    virtual void EnableViewCommands(bool enabled) {}
    // The buttons enabled and disabled so far are to be drawn now, not at the next paint.
    virtual void RedrawTools() = 0;
    // The text of status bar part `part` (0 the count or the selected entry, 1 sizes, 2 the
    // letters typed ahead), shown at once: the filer may go on working before the next paint.
    virtual void SetStatusText(int part, const std::wstring& text) = 0;
};
