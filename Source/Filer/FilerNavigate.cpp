// Navigation between folders: going into a folder, back and forward through the history, up to the
// parent, and the reset after a project is loaded. Every step plays "start.wav" from the current
// directory (synchronously, silently when the file is missing).
#include "Filer/KvFiler.h"

#include <mmsystem.h>

#include "Commands/MainCommand.h"
#include "Document/Folder.h"

void CKvFiler::NavigateTo(CFolder* folder) {
    if (!folder) return;
    ShowFolder(folder, true);
    history_.Push(folder->id);
    EnableTool(kCmdBack, true);
    EnableTool(kCmdForward, false);
    EnableTool(kCmdUp, folder->parent != nullptr);
    RedrawToolBar();
    PlayNavigationSound();
}

void CKvFiler::GoBack() {
    unsigned id = 0;
    if (!history_.Back(&id)) return;
    CFolder* folder = RootFolder().FindById(id);
    if (!folder) {
        history_.StepNewer();
        EnableTool(kCmdBack, false);
        RedrawToolBar();
        return;
    }
    ShowFolder(folder, true);
    SelectInTree(folder);
    EnableTool(kCmdForward, true);
    if (history_.OnOldest()) EnableTool(kCmdBack, false);
    EnableTool(kCmdUp, folder->parent != nullptr);
    PlayNavigationSound();
    RedrawToolBar();
}

void CKvFiler::GoForward() {
    unsigned id = 0;
    if (!history_.Forward(&id)) return;
    CFolder* folder = RootFolder().FindById(id);
    if (!folder) {
        history_.StepOlder();
        EnableTool(kCmdForward, false);
        RedrawToolBar();
        return;
    }
    ShowFolder(folder, true);
    SelectInTree(folder);
    EnableTool(kCmdBack, true);
    if (!history_.CanGoForward()) EnableTool(kCmdForward, false);
    EnableTool(kCmdUp, folder->parent != nullptr);
    PlayNavigationSound();
    RedrawToolBar();
}

void CKvFiler::GoUp() {
    if (!current_) return;
    if (CFolder* parent = current_->parent) {
        ShowFolder(parent, true);
        SelectInTree(parent);
        history_.Push(parent->id);
        // The push leaves nothing ahead and something behind.
        EnableTool(kCmdBack, true);
        EnableTool(kCmdForward, false);
        PlayNavigationSound();
        RedrawToolBar();
    }
    if (current_ && !current_->parent) {
        EnableTool(kCmdUp, false);
        RedrawToolBar();
    }
}

void CKvFiler::ShowRootAfterLoad() {
    // The old tree is gone: nothing of it may be touched, so the folder on screen is forgotten
    // before the kind is detached.
    current_ = nullptr;
    CFolder* root = &RootFolder();
    ShowFolder(root, true);
    history_.Reset(root->id);
    EnableTool(kCmdBack, false);
    EnableTool(kCmdForward, false);
    EnableTool(kCmdUp, false);
    RedrawToolBar();
}

void CKvFiler::PlayNavigationSound() {
    PlaySoundW(L"start.wav", nullptr, SND_FILENAME | SND_SYNC | SND_NODEFAULT);
}
