// Placement of the main window's children, the splitter between tree pane and filer, and painting.
#include "MainWindow/MainWindow.h"

#include <algorithm>

#include "MainWindow/KvDragBar.h"
#include "Filer/KvFiler.h"
#include "Find/FindPane.h"
#include "Kv/KvControls.h"
#include "Kv/KvDpi.h"
#include "Kv/KvHandles.h"
#include "Kv/KvToolBar.h"
#include "Kv/KvWindow.h"
#include "Document/Project.h"
#include "Tree/Tree.h"

namespace {
// 96-DPI pixels, like the tree pane's width in the project.
const int kSplitterWidth = 5;
// What the filer keeps beside a tree pane that is wider than the window allows (a width stored in
// a maximised window and then restored).
const int kMinFilerWidth = 50;
// The status bar's last two parts, measured from the right edge.
const int kStatusRight1 = 170;
const int kStatusRight2 = 100;
}  // namespace

void CMainWindow::ApplyDpi(UINT dpi) {
    if (!hwnd_ || !dpi) return;
    dpi_ = dpi;
    if (toolBar_) toolBar_->SetDpi(dpi);
    statusFont_.reset(KvCreateFontForDpi(KvIconTitleLogFont96(), dpi));
    if (statusBar_ && statusFont_) SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(statusFont_.get()), TRUE);
    Tree().SetDpi(dpi);
    Filer().SetDpi(dpi);
    FindPane().SetDpi(dpi);
    Layout();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void CMainWindow::Layout() {
    if (!hwnd_ || !toolBar_) return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int width = client.right;
    const int height = client.bottom;
    CProject& project = Project();

    HWND bar = toolBar_->Hwnd();
    RECT barWindow{};
    GetWindowRect(bar, &barWindow);
    const int barWidth = width != 0 ? width : barWindow.right - barWindow.left;
    SetWindowPos(bar, nullptr, 0, 0, barWidth, barWindow.bottom - barWindow.top, SWP_NOMOVE | SWP_NOZORDER);
    RECT barClient{};
    GetClientRect(bar, &barClient);
    const int toolHeight = barClient.bottom;

    int statusHeight = 0;
    if (project.statusBar) {
        const int parts[] = {width - KvScale(kStatusRight1, dpi_), width - KvScale(kStatusRight2, dpi_), width, -1};
        KvSetStatusParts(statusBar_, parts);
        ShowWindow(statusBar_, SW_SHOW);
        SendMessageW(statusBar_, WM_SIZE, 0, 0);
        RECT status{};
        GetWindowRect(statusBar_, &status);
        statusHeight = status.bottom - status.top;
        SetWindowPos(statusBar_, nullptr, 0, height - statusHeight, width, statusHeight, SWP_NOZORDER);
    } else {
        ShowWindow(statusBar_, SW_HIDE);
    }
    CheckMenuItem(kCmdToggleStatusBar, project.statusBar != 0);

    const int paneHeight = height - toolHeight - statusHeight;
    const int splitterWidth = KvScale(kSplitterWidth, dpi_);
    int filerX = 0;
    if (project.treePane) {
        const int treeWidth = std::max(0, std::min<int>(KvScale(project.treeWidth, dpi_),
                                                        width - splitterWidth - KvScale(kMinFilerWidth, dpi_)));
        ShowWindow(Tree().Hwnd(), SW_SHOW);
        SetWindowPos(Tree().Hwnd(), nullptr, 0, toolHeight, treeWidth, paneHeight, SWP_NOZORDER);
        splitter_ = RECT{treeWidth, toolHeight, splitterWidth, paneHeight};
        filerX = treeWidth + splitterWidth;
    } else {
        ShowWindow(Tree().Hwnd(), SW_HIDE);
        splitter_ = RECT{-1, toolHeight, 0, paneHeight};
    }
    CheckMenuItem(kCmdToggleTreePane, project.treePane != 0);
    // The find box strip heads the filer's column; the filer fills the rest.
    const int strip = FindPane().Layout(filerX, toolHeight, width - filerX, paneHeight);
    SetWindowPos(Filer().Container(), nullptr, filerX, toolHeight + strip, width - filerX, std::max(0, paneHeight - strip),
                 SWP_NOZORDER);
}

void CMainWindow::OnPaint() {
    kv::PaintDc paint(hwnd_);
    if (splitter_.right <= 0) return;
    const int x = splitter_.left, y = splitter_.top, w = splitter_.right, h = splitter_.bottom;
    KvDrawFrameRect(paint.get(), RECT{x - 1, y - 1, x + w, y + h + 1}, RGB(180, 180, 180));
    KvFillRect(paint.get(), RECT{x, y, x + w - 1, y + h}, RGB(210, 210, 220));
}

void CMainWindow::OnSplitterMouseMove(int x, int y) {
    const RECT& s = splitter_;
    const bool over = x >= s.left && x <= s.left + s.right && y >= s.top && y <= s.top + s.bottom;
    if (!over) {
        splitterCursor_ = nullptr;
        return;
    }
    if (!splitterCursor_) splitterCursor_ = LoadCursorW(nullptr, IDC_SIZEWE);
    SetCursor(splitterCursor_);
}

void CMainWindow::OnSplitterButtonDown(int x, int) {
    if (!splitterCursor_ || !dragBar_) return;
    dragBar_->BeginDrag(RECT{x, splitter_.top, x + splitter_.right, splitter_.top + splitter_.bottom});
}

void CMainWindow::OnDragBarEnd(HWND dragBar) {
    // The project keeps the width in 96-DPI pixels, so that it moves between screens of any scale.
    const int x = KvGetWindowPos(dragBar).x;
    Project().treeWidth = static_cast<unsigned short>(x < 0 ? 0 : KvUnscale(x, dpi_));
    Layout();
    InvalidateRect(hwnd_, nullptr, TRUE);
}
