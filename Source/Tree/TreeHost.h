// How the tree pane reaches its owner without depending on it. The main window implements this
// interface (MainWindow/MainWindowHosts.cpp) and hands it to CTree::Create; tests hand a recording
// host. The pane reports what the user did; the host decides what follows (the filer navigates,
// the filer adds the files, the pane is hidden). With no host the pane does nothing beyond itself.
#pragma once

#include <string>
#include <vector>

class CFolder;

class TreeHost {
public:
    virtual ~TreeHost() = default;

    // The user selected the folder's item (the silent selections made for the filer do not count).
    virtual void FolderChosen(CFolder& folder) = 0;
    // A file list was dropped on the folder's item, or below the items (then `folder` is the root
    // folder shown); `paths` in drop order, none longer than CTree_DD::kMaxPathChars.
    virtual void FilesDropped(CFolder& folder, const std::vector<std::wstring>& paths) = 0;
    // The close button of the caption was clicked.
    virtual void ClosePane() = 0;
};
