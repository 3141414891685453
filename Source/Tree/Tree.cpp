// The subfolder pane's container: creation and teardown, the caption strip with its close button,
// the layout of the tree view below it and the container's window procedure. Items are made in
// TreeFill.cpp, the tree view's notifications are answered in TreeNotify.cpp and dropped files
// are taken in TreeDrop.cpp.
#include "Tree/Tree.h"

#include <ole2.h>
#include <shellapi.h>

#include <algorithm>

#include "Document/Folder.h"
#include "Tree/TreeHost.h"
#include "Kv/KvControls.h"
#include "Kv/KvDpi.h"
#include "Kv/KvGuard.h"
#include "Kv/KvWindow.h"
#include "resource.h"

namespace {

const wchar_t kClassName[] = L"CTree";
const wchar_t kUnit[] = L".\\Source\\Tree";
const wchar_t kCreate[] = L"CTree::Create";
// サブフォルダ
const wchar_t kCaption[] = L"\u30B5\u30D6\u30D5\u30A9\u30EB\u30C0";
const COLORREF kCaptionColour = RGB(210, 210, 210);
const int kIconSize = 16;
const int kCloseSize = 12;

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

HICON LoadIconOfSize(int id, int size) {
    return static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
}

}  // namespace

CTree& Tree() {
    static CTree tree;
    return tree;
}

LRESULT CALLBACK TreeContainerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CTree& tree = Tree();
    if (msg == WM_NCCREATE) tree.hwnd_ = hwnd;
    if (tree.hwnd_ != hwnd) return DefWindowProcW(hwnd, msg, wp, lp);
    return KvGuardedWindowProc(L"TreeContainerProc", __LINE__, nullptr, hwnd, msg, wp, lp,
                               [&] { return tree.HandleMessage(msg, wp, lp); });
}

LRESULT CALLBACK TreeViewSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    WNDPROC previous = Tree().prevTreeProc_;
    if (!previous) return DefWindowProcW(hwnd, msg, wp, lp);
    return CallWindowProcW(previous, hwnd, msg, wp, lp);
}

bool CTree::Create(HWND parent, TreeHost* host) {
    host_ = host;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = TreeContainerProc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kClassName;
    if (!KvRegisterClassEx(wc)) {
        KvErrorBox(L"Create CTree!", kUnit, kCreate, 87);
        return false;
    }

    CreateWindowExW(WS_EX_STATICEDGE, kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 150, 100, parent, nullptr,
                    Instance(), nullptr);
    if (!hwnd_) {
        KvErrorBox(L"Create CTree!", kUnit, kCreate, 100);
        return false;
    }

    RECT client{};
    GetClientRect(hwnd_, &client);
    treeView_ = CreateWindowExW(0, WC_TREEVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT, 0,
                                0, client.right, client.bottom, hwnd_, nullptr, Instance(), nullptr);
    if (!treeView_) {
        KvErrorBox(L"Create Tree View!", kUnit, kCreate, 114);
        return false;
    }
    prevTreeProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(treeView_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeViewSubclassProc)));
    dropRegistered_ = SUCCEEDED(RegisterDragDrop(treeView_, &TreeDropTarget()));

    DragAcceptFiles(treeView_, TRUE);
    SetDpi(KvDpiOfWindow(parent));
    if (!imageList_) {
        KvErrorBox(L"Create Tree View ImgList!", kUnit, kCreate, 131);
        return false;
    }
    return true;
}

int CTree::CaptionHeight() const {
    return KvScale(kTreeCaptionHeight, dpi_);
}

void CTree::SetDpi(UINT dpi) {
    if (!hwnd_) return;
    dpi_ = dpi;
    captionFont_.reset(KvCreateFontForDpi(KvMakeLogFont(), dpi));
    itemFont_.reset(KvCreateFontForDpi(KvIconTitleLogFont96(), dpi));
    if (treeView_ && itemFont_) SendMessageW(treeView_, WM_SETFONT, reinterpret_cast<WPARAM>(itemFont_.get()), TRUE);
    const int iconSize = KvScale(kIconSize, dpi);
    closeIcon_.reset(LoadIconOfSize(IDI_CLOSE, iconSize));
    closeHotIcon_.reset(LoadIconOfSize(IDI_CLOSE_HOT, iconSize));
    CreateImageList();
    RECT client{};
    GetClientRect(hwnd_, &client);
    Layout(client.right, client.bottom);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// Four images of the pane's icon size indexed by a folder's kind (FolderKind): slot 0, which no kind uses, and the
// plain kind show a plain folder. The list is given its four slots first, so an icon that cannot be
// loaded leaves a blank image in its own slot instead of moving the later ones to the wrong index.
bool CTree::CreateImageList() {
    const int size = KvScale(kIconSize, dpi_);
    kv::UniqueImageList list(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 4, 4));
    if (!list) return false;
    // The tree view is given the new list before the old one is freed.
    if (treeView_) TreeView_SetImageList(treeView_, list.get(), TVSIL_NORMAL);
    imageList_ = std::move(list);
    ImageList_SetImageCount(imageList_.get(), 4);
    int icons[4] = {IDI_APP, IDI_APP, IDI_APP, IDI_APP};
    icons[kFolderKindMusic] = IDI_MUSIC_FOLDER;
    icons[kFolderKindImage] = IDI_IMAGE_FOLDER;
    for (int i = 0; i < 4; ++i) {
        kv::UniqueIcon icon(LoadIconOfSize(icons[i], size));
        if (icon) ImageList_ReplaceIcon(imageList_.get(), i, icon.get());
    }
    return true;
}

void CTree::Destroy() {
    if (hwnd_) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    treeView_ = nullptr;
    imageList_.reset();
    captionFont_.reset();
    itemFont_.reset();
    closeIcon_.reset();
    closeHotIcon_.reset();
    UnregisterClassW(kClassName, Instance());
    host_ = nullptr;
}

// Runs for the container's WM_DESTROY, before its children go: the drop target must be revoked
// while the tree view still exists, and the folders must not keep handles of items about to die.
void CTree::OnContainerDestroyed() {
    if (dropRegistered_ && treeView_) RevokeDragDrop(treeView_);
    dropRegistered_ = false;
    if (treeView_ && prevTreeProc_)
        SetWindowLongPtrW(treeView_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prevTreeProc_));
    prevTreeProc_ = nullptr;
    if (rootFolder_) {
        ForgetItemsBelow(rootFolder_);
        rootFolder_->treeItem = nullptr;
    }
    rootItem_ = nullptr;
    rootFolder_ = nullptr;
    closeHover_ = 0;
    suppressSelection_ = 0;
    treeView_ = nullptr;
    hwnd_ = nullptr;
}

void CTree::Layout(int width, int height) {
    const int caption = CaptionHeight();
    if (treeView_) MoveWindow(treeView_, 0, caption, width, std::max(0, height - caption), TRUE);
    const int close = KvScale(kCloseSize, dpi_);
    closeButton_ = RECT{width - KvScale(18, dpi_), KvScale(3, dpi_), close, close};
}

void CTree::SetBackColor(COLORREF colour) {
    if (!treeView_) return;
    TreeView_SetBkColor(treeView_, colour);
    const LONG_PTR lines = TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT;
    LONG_PTR style = GetWindowLongPtrW(treeView_, GWL_STYLE);
    SetWindowLongPtrW(treeView_, GWL_STYLE, style & ~lines);
    SetWindowLongPtrW(treeView_, GWL_STYLE, style | lines);
}

void CTree::OnPaint() {
    kv::PaintDc paint(hwnd_);
    HDC dc = paint.get();
    kv::SelectObjectScope font(dc, captionFont_.get());
    SetBkMode(dc, TRANSPARENT);
    RECT client{};
    GetClientRect(hwnd_, &client);
    KvFillRect(dc, RECT{0, 0, client.right, CaptionHeight()}, kCaptionColour);
    HICON icon = closeHover_ ? closeHotIcon_.get() : closeIcon_.get();
    const int iconSize = KvScale(kIconSize, dpi_);
    if (icon) DrawIconEx(dc, closeButton_.left, closeButton_.top, icon, iconSize, iconSize, 0, nullptr, DI_NORMAL);
    const int margin = KvScale(3, dpi_);
    TextOutW(dc, margin, margin, kCaption, static_cast<int>(wcslen(kCaption)));
}

// The button's rectangle includes its right and bottom edges.
bool CTree::InCloseButton(int x, int y) const {
    return x >= closeButton_.left && x <= closeButton_.left + closeButton_.right && y >= closeButton_.top &&
           y <= closeButton_.top + closeButton_.bottom;
}

void CTree::SetCloseHover(bool hover) {
    if ((closeHover_ != 0) == hover) return;
    closeHover_ = hover ? 1 : 0;
    // The icon is drawn 16 pixels square (at 96 DPI) over the 12-pixel button; repaint all of it.
    const int iconSize = KvScale(kIconSize, dpi_);
    RECT icon{closeButton_.left, closeButton_.top, closeButton_.left + iconSize, closeButton_.top + iconSize};
    InvalidateRect(hwnd_, &icon, FALSE);
}

void CTree::OnMouseMove(int x, int y) {
    SetCloseHover(InCloseButton(x, y));
}

// The host hides the pane (the main window: command 2511).
void CTree::OnLeftButtonUp() {
    if (closeHover_ && host_) host_->ClosePane();
}

LRESULT CTree::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
    case WM_KEYDOWN:
    case WM_COMMAND:
    case WM_LBUTTONDOWN:
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_SIZE:
        Layout(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
        return 0;
    case WM_LBUTTONUP:
        OnLeftButtonUp();
        return 0;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lp));
    case WM_DESTROY:
        OnContainerDestroyed();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}
