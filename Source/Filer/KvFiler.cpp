// The filer's windows: the container "CKvFiler" and its owner-data list view, their procedures,
// the kind object's selection, the view mode and the column layout the project file keeps.
#include "Filer/KvFiler.h"

#include <shellapi.h>

#include <vector>

#include "Filer/FilerCaches.h"
#include "Filer/FilerDisplaySource.h"
#include "Filer/FilerDisplayWorker.h"
#include "Filer/FilerFollow.h"
#include "Filer/Kinds/FilerKind.h"
#include "Filer/Kinds/ThumbnailWorker.h"
#include "Filer/Menu/FilerMenu.h"
#include "Document/Folder.h"
#include "Filer/FilerHost.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvDpi.h"
#include "Kv/KvGuard.h"

namespace {

const wchar_t kFilerClass[] = L"CKvFiler";

// While the automatic search runs, what it found is taken this often: a match shows within about
// this long of being found, and a fast walk still adds in few large batches.
constexpr UINT_PTR kFoundTimer = 0x7D03;
constexpr UINT kFoundMilliseconds = 50;
// Posted to the container by the automatic search's worker: matches wait, or the search ended.
constexpr UINT kMsgFoundWake = WM_APP + 0x31;

// Column titles and initial widths as fractions of the pane width.
struct ColumnSpec {
    int titleEntry;
    double share;
};
constexpr ColumnSpec kColumns[kFilerColumnCount] = {
    {kGtColumnName, 0.25}, {kGtColumnPath, 0.2}, {kGtColumnSize, 0.15}, {kGtColumnType, 0.215}, {kGtColumnDate, 0.15},
};

void SetListStyleView(HWND listView, unsigned mode) {
    LONG_PTR style = GetWindowLongPtrW(listView, GWL_STYLE);
    const LONG_PTR changed = (style & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | (mode & LVS_TYPEMASK);
    if (changed == style) return;
    SetWindowLongPtrW(listView, GWL_STYLE, changed);
    // The items are laid out afresh for the new view (an owner-data list keeps the old layout
    // otherwise, and Wine's then paints one item of the new view over the rows of the old one).
    const LRESULT count = SendMessageW(listView, LVM_GETITEMCOUNT, 0, 0);
    SendMessageW(listView, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), 0);
    InvalidateRect(listView, nullptr, TRUE);
}

}  // namespace

LRESULT CALLBACK FilerContainerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* filer = reinterpret_cast<CKvFiler*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!filer) return DefWindowProcW(hwnd, msg, wp, lp);
    return KvGuardedWindowProc(L"FilerContainerProc", __LINE__, nullptr, hwnd, msg, wp, lp,
                               [&] { return filer->HandleContainerMessage(hwnd, msg, wp, lp); });
}

LRESULT CKvFiler::HandleContainerMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SIZE:
        if (listView_) MoveWindow(listView_, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        return 0;
    case WM_TIMER:
        if (!OnDisplayTimer(wp) && !OnFoundTimer(wp) && !follow_->OnTimer(wp) && kind_) kind_->TimerTick(wp);
        return 0;
    case kMsgFoundWake:
        OnFoundTimer(kFoundTimer);
        return 0;
    case kMsgDirectoryChanged:
        follow_->OnDirectoryChanged(wp, lp);
        return 0;
    case kMsgMovedFound:
        follow_->OnMovedFound(wp, lp);
        return 0;
    case kMsgDisplayAnswers:
        OnDisplayAnswers();
        return 0;
    case WM_DEVICECHANGE:
        return follow_->OnDeviceChange(wp, lp);
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lp);
        if (header->hwndFrom == listView_) return OnNotify(header);
        break;
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK FilerListViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* filer = reinterpret_cast<CKvFiler*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!filer || !filer->prevListProc_) return DefWindowProcW(hwnd, msg, wp, lp);
    return KvGuardedWindowProc(L"FilerListViewProc", __LINE__, filer->prevListProc_, hwnd, msg, wp, lp,
                               [&] { return filer->OnListViewMessage(hwnd, msg, wp, lp); });
}

CKvFiler::CKvFiler()
    : caches_(std::make_unique<FilerCaches>()),
      displaySource_(std::make_unique<FilerDisplaySource>()),
      displayWorker_(std::make_unique<FilerDisplayWorker>()),
      follow_(std::make_unique<FilerFollow>(*this)) {}

CKvFiler::~CKvFiler() = default;

STDMETHODIMP CKvFiler::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CKvFiler::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

STDMETHODIMP_(ULONG) CKvFiler::Release() {
    LONG count = InterlockedDecrement(&refCount_);
    return static_cast<ULONG>(count > 0 ? count : 0);
}

bool CKvFiler::Create(HWND parent, HINSTANCE instance, int top, int width, int height, FilerHost* host) {
    host_ = host;
    WNDCLASSEXW existing{sizeof(existing)};
    if (!GetClassInfoExW(instance, kFilerClass, &existing)) {
        WNDCLASSEXW wc{sizeof(wc)};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = FilerContainerProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kFilerClass;
        if (!RegisterClassExW(&wc)) return false;
    }

    container_ = CreateWindowExW(0, kFilerClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, top, width, height,
                                 parent, nullptr, instance, this);
    if (!container_) return false;

    RECT client{};
    GetClientRect(container_, &client);
    DWORD style =
        WS_CHILD | WS_VISIBLE | LVS_OWNERDATA | LVS_EDITLABELS | LVS_SHAREIMAGELISTS | (viewMode_ & LVS_TYPEMASK);
    listView_ = CreateWindowExW(0, WC_LISTVIEWW, L"", style, 0, 0, client.right, client.bottom, container_, nullptr,
                                instance, nullptr);
    if (!listView_) {
        DestroyWindow(container_);
        container_ = nullptr;
        return false;
    }

    SetWindowLongPtrW(listView_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    prevListProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(listView_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FilerListViewProc)));
    dropTargetRegistered_ = SUCCEEDED(RegisterDragDrop(listView_, this));

    // The drop highlight is always the filer's to answer: an owner-data list view asked for a state
    // bit outside its callback mask may report whatever it has lying about.
    SendMessageW(listView_, LVM_SETCALLBACKMASK, LVIS_DROPHILITED, 0);
    AttachSystemImageLists();
    dpi_ = KvDpiOfWindow(parent);
    ApplyListFont();
    InsertColumns(width);

    current_ = &RootFolder();
    history_.Reset(current_->id);
    if (!SelectKind(kFolderKindPlain)) return false;
    if (host_) host_->RootFolderSet(*current_);
    return true;
}

void CKvFiler::Destroy() {
    if (dropTargetRegistered_) {
        RevokeDragDrop(listView_);
        dropTargetRegistered_ = false;
    }
    StopAutoSearch();
    follow_->Stop();
    // Workers that may sit in a hung call get kDisplayWorkerStopMilliseconds in all to end.
    const DWORD stopping = GetTickCount();
    displayWorker_->Stop();
    if (kind_) kind_->Detach();  // gives the list view its own image lists back before the kind frees its own
    kind_.reset();
    const DWORD spent = GetTickCount() - stopping;
    ThumbnailWorker::WaitForAllThreads(spent < kDisplayWorkerStopMilliseconds ? kDisplayWorkerStopMilliseconds - spent : 0);
    if (menu_) menu_->Reset();
    typeAhead_.clear();
    if (listView_) {
        SetWindowLongPtrW(listView_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prevListProc_));
        DestroyWindow(listView_);
    }
    if (container_) DestroyWindow(container_);
    listView_ = nullptr;
    container_ = nullptr;
    prevListProc_ = nullptr;
    listFont_.reset();
    current_ = nullptr;
    caches_->ResetDisplay();
    caches_->ResetPaths();
    caches_->ResetIndexes();
    host_ = nullptr;
}

bool CKvFiler::SelectKind(unsigned kind) {
    if (kind != kFolderKindMusic && kind != kFolderKindImage) kind = kFolderKindPlain;
    if (!kind_ || kind_->Kind() != kind) {
        kind_.reset();
        kind_ = MakeFilerKind(kind);
        if (!kind_) return false;
    }
    return kind_->Attach(*this);
}

void CKvFiler::SetViewMode(unsigned mode) {
    viewMode_ = mode;
    if (listView_) SetListStyleView(listView_, mode);
    ArrangeIcons();
    if (host_) host_->ViewModeChanged(mode);
}

void CKvFiler::ShowListStyle(unsigned mode) {
    if (!listView_) return;
    SetListStyleView(listView_, mode);
    ArrangeIcons();
}

void CKvFiler::EnableViewCommands(bool enabled) {
    if (host_) host_->EnableViewCommands(enabled);
}

FilerColumnWidths CKvFiler::ColumnPixels() const {
    FilerColumnWidths widths{};
    if (!listView_) return widths;
    LONG_PTR style = GetWindowLongPtrW(listView_, GWL_STYLE);
    SetListStyleView(listView_, kFilerViewReport);
    for (int i = 0; i < kFilerColumnCount; ++i)
        widths[i] = static_cast<uint32_t>(SendMessageW(listView_, LVM_GETCOLUMNWIDTH, i, 0));
    SetWindowLongPtrW(listView_, GWL_STYLE, style);
    return widths;
}

void CKvFiler::SetColumnPixels(const FilerColumnWidths& pixels) {
    if (!listView_) return;
    LONG_PTR style = GetWindowLongPtrW(listView_, GWL_STYLE);
    SetListStyleView(listView_, kFilerViewReport);
    for (int i = 0; i < kFilerColumnCount; ++i)
        SendMessageW(listView_, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(pixels[i] & 0xFFFF, 0));
    SetWindowLongPtrW(listView_, GWL_STYLE, style);
}

FilerColumnWidths CKvFiler::ReadColumns() const {
    FilerColumnWidths widths = ColumnPixels();
    for (uint32_t& width : widths) width = static_cast<uint32_t>(KvUnscale(static_cast<int>(width), dpi_));
    return widths;
}

void CKvFiler::ApplyColumns(const FilerColumnWidths& widths, unsigned viewMode) {
    if (listView_) {
        SetListStyleView(listView_, kFilerViewReport);
        if (host_) host_->ViewModeChanged(kFilerViewReport);
        for (int i = 0; i < kFilerColumnCount; ++i) {
            const int width = KvScale(static_cast<int>(widths[i] & 0xFFFF), dpi_);
            SendMessageW(listView_, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(width & 0xFFFF, 0));
        }
    }
    SetViewMode(viewMode);
}

void CKvFiler::SetDpi(UINT dpi) {
    if (!listView_ || !dpi) return;
    FilerColumnWidths widths = ColumnPixels();
    for (uint32_t& width : widths) width = static_cast<uint32_t>(MulDiv(static_cast<int>(width), dpi, dpi_));
    dpi_ = dpi;
    ApplyListFont();
    SetColumnPixels(widths);
}

void CKvFiler::ApplyListFont() {
    listFont_.reset(KvCreateFontForDpi(KvIconTitleLogFont96(), dpi_));
    if (listFont_) SendMessageW(listView_, WM_SETFONT, reinterpret_cast<WPARAM>(listFont_.get()), TRUE);
}

void CKvFiler::StartAutoSearch(CFolder& folder) {
    if (!autoSearch_ || !folder.search.autoUpdate) return;
    HWND container = container_;
    autoSearch_->Start(folder, [container] { PostMessageW(container, kMsgFoundWake, 0, 0); });
    if (container_) SetTimer(container_, kFoundTimer, kFoundMilliseconds, nullptr);
}

bool CKvFiler::OnFoundTimer(UINT_PTR timerId) {
    if (timerId != kFoundTimer) return false;
    // Read before taking: a search that has ended has queued everything it will.
    const bool ended = !autoSearch_ || !autoSearch_->Running();
    AddFoundPaths();
    if (ended) KillTimer(container_, kFoundTimer);
    return true;
}

void CKvFiler::AddFoundPaths() {
    if (!autoSearch_) return;
    const std::vector<std::wstring> paths = autoSearch_->TakeFound();
    if (!paths.empty()) AddPaths(paths, false);
}

void CKvFiler::StopAutoSearch() {
    if (!autoSearch_) return;
    const std::vector<std::wstring> paths = autoSearch_->Stop();
    if (container_) {
        KillTimer(container_, kFoundTimer);
        MSG wake;
        while (PeekMessageW(&wake, container_, kMsgFoundWake, kMsgFoundWake, PM_REMOVE)) {
        }
    }
    // The search belongs to the folder shown; one deleted from the tree meanwhile gets nothing.
    if (!paths.empty() && current_ && FolderInTree(current_)) AddPaths(paths, false);
}

void CKvFiler::InsertColumns(int width) {
    for (int i = 0; i < kFilerColumnCount; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = static_cast<int>(kColumns[i].share * width);
        column.pszText = const_cast<wchar_t*>(GlobalText::Get(kColumns[i].titleEntry));
        column.iSubItem = i;
        SendMessageW(listView_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void CKvFiler::AttachSystemImageLists() {
    // The system image lists belong to the shell; LVS_SHAREIMAGELISTS keeps the list view from
    // destroying them.
    SHFILEINFOW info{};
    auto small = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    auto large = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_LARGEICON));
    SendMessageW(listView_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(small));
    SendMessageW(listView_, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(large));
}

LRESULT CKvFiler::OnListViewMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (kind_ && kind_->MessageHook(hwnd, msg, wp, lp, &result)) return result;
    if (OnListInput(hwnd, msg, wp, lp, &result)) return result;
    switch (msg) {
    case WM_LBUTTONDOWN:
        if (kind_ && kind_->LeftButtonDown(wp, lp)) return 0;
        break;
    case WM_LBUTTONDBLCLK:
        if (kind_ && kind_->LeftDoubleClick(wp, lp)) return 0;
        break;
    default:
        break;
    }
    return CallWindowProcW(prevListProc_, hwnd, msg, wp, lp);
}

LRESULT CKvFiler::OnNotify(NMHDR* header) {
    switch (header->code) {
    case LVN_GETDISPINFOW:
        OnGetDisplayInfo(*reinterpret_cast<NMLVDISPINFOW*>(header));
        return 0;
    case LVN_COLUMNCLICK:
        SortByColumn(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        return 0;
    case LVN_ITEMCHANGED: {
        auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        if ((change->uChanged & LVIF_STATE) && ((change->uNewState ^ change->uOldState) & LVIS_SELECTED))
            OnSelectionChanged();
        return 0;
    }
    case LVN_ODSTATECHANGED: {
        auto* change = reinterpret_cast<NMLVODSTATECHANGE*>(header);
        if ((change->uNewState ^ change->uOldState) & LVIS_SELECTED) OnSelectionChanged();
        return 0;
    }
    case NM_CUSTOMDRAW:
        return OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case LVN_BEGINLABELEDITW:
        return OnBeginLabelEdit(*reinterpret_cast<NMLVDISPINFOW*>(header));
    case LVN_ENDLABELEDITW:
        return OnEndLabelEdit(*reinterpret_cast<NMLVDISPINFOW*>(header));
    case LVN_KEYDOWN: {
        WORD key = reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey;
        if (key == VK_RETURN && SendMessageW(listView_, LVM_GETSELECTEDCOUNT, 0, 0) == 1) {
            OpenEntry(FirstSelected());
        } else if (key == VK_F2) {
            int first = FirstSelected();
            if (first >= 0) SendMessageW(listView_, LVM_EDITLABELW, first, 0);
        }
        return 0;
    }
    case NM_RCLICK:
        ShowContextMenu();
        return 0;
    case LVN_BEGINDRAG:
        BeginDrag(*reinterpret_cast<NMLISTVIEW*>(header));
        return 0;
    case NM_DBLCLK: {
        int first = FirstSelected();
        if (first >= 0) OpenEntry(first);
        return 0;
    }
    default:
        return 0;
    }
}

int CKvFiler::FirstSelected() const {
    if (!listView_) return -1;
    return static_cast<int>(SendMessageW(listView_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void CKvFiler::UpdateItem(int index) {
    if (listView_) SendMessageW(listView_, LVM_UPDATE, index, 0);
}

void CKvFiler::EnableTool(int command, bool enabled) {
    if (host_) host_->EnableTool(command, enabled);
}

void CKvFiler::RedrawToolBar() {
    if (host_) host_->RedrawTools();
}

void CKvFiler::SetStatus(int part, const std::wstring& text) {
    if (host_) host_->SetStatusText(part, text);
}

void CKvFiler::SelectInTree(CFolder* folder) {
    if (host_ && folder) host_->SelectFolderSilently(*folder);
}

void CKvFiler::SubfoldersChanged(CFolder* folder) {
    if (host_ && folder) host_->SubfoldersChanged(*folder);
}

CKvFiler& Filer() {
    static CKvFiler filer;
    return filer;
}
