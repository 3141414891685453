// Shared set-up of the filer suites: a plain top-level window holding the real filer (and optionally
// the tree) over a fresh folder model and project record. The filer's host records what the tool bar
// and the status bar would show; with the tree, the two hosts pass reports between the panes as the
// main window does.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "Document/Folder.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Filer/KvFiler.h"
#include "Kv/KvToolBar.h"
#include "Document/Project.h"
#include "Support/EmptyProject.h"
#include "Support/RecordingHosts.h"
#include "Support/TestSupport.h"
#include "Tree/Tree.h"

namespace filer_test {

inline LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(hwnd, msg, wp, lp);
}

class FilerFixture : public ::testing::Test {
protected:
    // Tests that want the tree pane say so before SetUp runs.
    bool withTree_ = false;

    void SetUp() override {
        ASSERT_TRUE(tf_test::StartWithEmptyProject());

        WNDCLASSEXW wc{sizeof(wc)};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"FilerTestParent";
        RegisterClassExW(&wc);
        parent_ = CreateWindowExW(0, L"FilerTestParent", L"filer", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 800,
                                  600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);

        if (withTree_) {
            filerHost_.tree = &Tree();
            treeHost_.filer = &Filer();
            ASSERT_TRUE(Tree().Create(parent_, &treeHost_));
        }
        ASSERT_TRUE(Filer().Create(parent_, GetModuleHandleW(nullptr), CKvToolBar::kHeight, 800, 500, &filerHost_));
        list_ = Filer().ListView();
    }

    void TearDown() override {
        Filer().Destroy();
        if (withTree_) Tree().Destroy();
        if (parent_) DestroyWindow(parent_);
        ResetFolderModel();
        ResetProject();
    }

    // Text of a cell as the list view gets it from the filer.
    std::wstring ItemText(int item, int column) const {
        wchar_t buffer[600] = {};
        LVITEMW lv{};
        lv.iSubItem = column;
        lv.pszText = buffer;
        lv.cchTextMax = 600;
        SendMessageW(list_, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lv));
        return buffer;
    }

    int ItemCount() const { return static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }

    bool Selected(int item) const {
        return (SendMessageW(list_, LVM_GETITEMSTATE, item, LVIS_SELECTED) & LVIS_SELECTED) != 0;
    }

    void Select(int item, bool on) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED;
        state.state = on ? LVIS_SELECTED : 0;
        SendMessageW(list_, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
    }

    // A list view notification delivered to the filer's container as the list view would send it.
    LRESULT Notify(NMHDR& header, UINT code) {
        header.hwndFrom = list_;
        header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list_));
        header.code = code;
        return SendMessageW(Filer().Container(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    }

    void ClickColumn(int column) {
        NMLISTVIEW info{};
        info.iItem = -1;
        info.iSubItem = column;
        Notify(info.hdr, LVN_COLUMNCLICK);
    }

    // LVN_ENDLABELEDIT with `text`; null reports a cancelled edit.
    void EndEdit(int item, const wchar_t* text) {
        NMLVDISPINFOW info{};
        info.item.iItem = item;
        info.item.mask = LVIF_TEXT;
        info.item.pszText = const_cast<wchar_t*>(text);
        Notify(info.hdr, LVN_ENDLABELEDITW);
    }

    // LVN_BEGINLABELEDIT: true when the filer allows editing.
    bool BeginEditAllowed(int item) {
        NMLVDISPINFOW info{};
        info.item.iItem = item;
        return Notify(info.hdr, LVN_BEGINLABELEDITW) == FALSE;
    }

    // The tool button and status bar part as the host was last told.
    bool ButtonEnabled(int command) const { return filerHost_.ToolEnabled(command); }
    std::wstring StatusText(int part) const { return filerHost_.StatusText(part); }

    CEntry& EntryAt(CFolder& folder, size_t index) { return *folder.EntryAt(index); }

    HWND parent_ = nullptr;
    HWND list_ = nullptr;
    tf_test::RecordingFilerHost filerHost_;
    tf_test::RecordingTreeHost treeHost_;
};

// A plain subfolder entry named `name` appended to `folder`; returns its folder.
inline CFolder* AddSubfolder(CFolder& folder, const std::wstring& name) {
    CEntry& entry = folder.Append();
    entry.name = name;
    if (!folder.CreateSubfolder(entry, kFolderKindPlain)) return nullptr;
    return entry.subfolder.get();
}

}  // namespace filer_test
