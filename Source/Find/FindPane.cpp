// The find pane's windows (FindPane.h): the container, the find box and the result list, their
// procedures and keys, the layout, and going into and out of the result list.
#include "Find/FindPane.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Config/Settings.h"
#include "Document/Folder.h"
#include "Filer/FilerHost.h"
#include "Filer/KvFiler.h"
#include "Kv/KvControls.h"
#include "Kv/KvDpi.h"
#include "Kv/KvGuard.h"

namespace {

const wchar_t kPaneClass[] = L"CKvFind";
constexpr int kEditId = 1;
constexpr int kListId = 2;
constexpr int kMargin = 2;
// While the list is shown the model is looked at this often, so that entries changed elsewhere
// (the live view, the tree) show in the list without a keystroke.
constexpr UINT_PTR kModelTimer = 1;
constexpr UINT kModelMilliseconds = 300;

struct ColumnSpec {
    int titleEntry;
    int width;
};
constexpr ColumnSpec kColumns[] = {{kGtColumnName, 180}, {kGtFindColumnFolder, 200}, {kGtColumnPath, 320}};

bool ControlDown() {
    return GetKeyState(VK_CONTROL) < 0;
}

}  // namespace

CFindPane& FindPane() {
    static CFindPane pane;
    return pane;
}

CFindPane::CFindPane() = default;
CFindPane::~CFindPane() = default;

LRESULT CALLBACK FindPaneProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CFindPane& pane = FindPane();
    if (pane.pane_ != hwnd) return DefWindowProcW(hwnd, msg, wp, lp);
    return KvGuardedWindowProc(L"FindPaneProc", __LINE__, nullptr, hwnd, msg, wp, lp,
                               [&] { return pane.HandleMessage(msg, wp, lp); });
}

LRESULT CALLBACK FindBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CFindPane& pane = FindPane();
    if (!pane.prevEditProc_) return DefWindowProcW(hwnd, msg, wp, lp);
    return KvGuardedWindowProc(L"FindBoxProc", __LINE__, pane.prevEditProc_, hwnd, msg, wp, lp, [&]() -> LRESULT {
        if (msg == WM_KEYDOWN && pane.OnFindBoxKey(wp)) return 0;
        // A single-line edit beeps at Enter and Esc, which the key handling above already used.
        if (msg == WM_CHAR && (wp == VK_RETURN || wp == VK_ESCAPE || wp == 0x0A)) return 0;
        return CallWindowProcW(pane.prevEditProc_, hwnd, msg, wp, lp);
    });
}

LRESULT CALLBACK FindListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CFindPane& pane = FindPane();
    if (!pane.prevListProc_) return DefWindowProcW(hwnd, msg, wp, lp);
    return KvGuardedWindowProc(L"FindListProc", __LINE__, pane.prevListProc_, hwnd, msg, wp, lp, [&]() -> LRESULT {
        if (msg == WM_KEYDOWN && pane.OnListKey(wp)) return 0;
        if (msg == WM_CHAR && (wp == VK_RETURN || wp == VK_ESCAPE || wp == 0x0A)) return 0;
        return CallWindowProcW(pane.prevListProc_, hwnd, msg, wp, lp);
    });
}

bool CFindPane::Create(HWND parent, HINSTANCE instance) {
    WNDCLASSEXW existing{sizeof(existing)};
    if (!GetClassInfoExW(instance, kPaneClass, &existing)) {
        WNDCLASSEXW wc{sizeof(wc)};
        wc.lpfnWndProc = FindPaneProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = kPaneClass;
        if (!RegisterClassExW(&wc)) return false;
    }
    dpi_ = KvDpiOfWindow(parent);
    pane_ = CreateWindowExW(0, kPaneClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 100,
                            24, parent, nullptr, instance, nullptr);
    if (!pane_) return false;
    edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0,
                            100, 20, pane_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)), instance, nullptr);
    list_ = CreateWindowExW(0, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHAREIMAGELISTS | LVS_SHOWSELALWAYS,
                            0, 0, 100, 100, pane_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance,
                            nullptr);
    if (!edit_ || !list_) {
        Destroy();
        return false;
    }
    SendMessageW(edit_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(GlobalText::Get(kGtFindCue)));
    SendMessageW(edit_, EM_SETLIMITTEXT, 512, 0);
    prevEditProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FindBoxProc)));
    prevListProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FindListProc)));
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT);
    // The filer's colours, so the results read as the filer's own list.
    ListView_SetBkColor(list_, Settings().backColor);
    ListView_SetTextBkColor(list_, Settings().backColor);

    // The shell's small system image list, which LVS_SHAREIMAGELISTS keeps the list from freeing.
    SHFILEINFOW info{};
    auto small = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    ListView_SetImageList(list_, small, LVSIL_SMALL);
    for (int i = 0; i < static_cast<int>(sizeof(kColumns) / sizeof(kColumns[0])); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.cx = KvScale(kColumns[i].width, dpi_);
        column.pszText = const_cast<wchar_t*>(GlobalText::Get(kColumns[i].titleEntry));
        column.iSubItem = i;
        ListView_InsertColumn(list_, i, &column);
    }

    ApplyFont();
    return true;
}

void CFindPane::SetDpi(UINT dpi) {
    if (!pane_ || !dpi) return;
    for (int i = 0; i < static_cast<int>(sizeof(kColumns) / sizeof(kColumns[0])); ++i)
        ListView_SetColumnWidth(list_, i, MulDiv(ListView_GetColumnWidth(list_, i), dpi, dpi_));
    dpi_ = dpi;
    ApplyFont();
    if (column_.right > column_.left)
        Layout(column_.left, column_.top, column_.right - column_.left, column_.bottom - column_.top);
}

void CFindPane::ApplyFont() {
    font_.reset(KvCreateFontForDpi(KvIconTitleLogFont96(), dpi_));
    for (HWND control : {edit_, list_}) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);

    // The strip holds the box and a small margin; the box is as tall as its font asks.
    kv::WindowDc dc(edit_);
    kv::SelectObjectScope select(dc.get(), font_.get());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc.get(), &metrics);
    WORD glyph = 0;
    separator_ = L" \u203A ";
    if (GetGlyphIndicesW(dc.get(), L"\u203A", 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) == 1 && glyph == 0xFFFF)
        separator_ = L" \u00BB ";
    boxHeight_ = metrics.tmHeight + KvScale(8, dpi_);
}

void CFindPane::Destroy() {
    check_.Stop();
    if (edit_ && prevEditProc_) SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prevEditProc_));
    if (list_ && prevListProc_) SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prevListProc_));
    HWND pane = pane_;
    pane_ = edit_ = list_ = nullptr;
    prevEditProc_ = prevListProc_ = nullptr;
    if (pane) DestroyWindow(pane);
    font_.reset();
    mode_ = Mode::None;
    rows_.clear();
    checked_.clear();
    lastHits_.clear();
    lastHitsValid_ = false;
    folderTexts_.clear();
    index_.Clear();
    query_ = FindQuery();
    lastQuery_ = FindQuery();
    status_.clear();
    checking_ = movedSearching_ = sliceQueued_ = quiet_ = taking_ = false;
    takeFolders_.clear();
    takePaths_.clear();
}

int CFindPane::Layout(int x, int y, int width, int height) {
    if (!pane_) return 0;
    column_ = RECT{x, y, x + width, y + height};
    const int margin = KvScale(kMargin, dpi_);
    const int strip = std::min(boxHeight_ + 2 * margin, height);
    const int paneHeight = mode_ == Mode::None ? strip : height;
    SetWindowPos(pane_, HWND_TOP, x, y, width, paneHeight, 0);
    MoveWindow(edit_, margin, margin, std::max(0, width - 2 * margin), boxHeight_, TRUE);
    MoveWindow(list_, 0, strip, width, std::max(0, paneHeight - strip), TRUE);
    return strip;
}

LRESULT CFindPane::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lp) == edit_ && HIWORD(wp) == EN_CHANGE) OnTextChanged();
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lp);
        if (header->hwndFrom == list_) return OnNotify(header);
        break;
    }
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wp) == list_) {
            POINT at{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            if (at.x == -1 && at.y == -1) {
                at = POINT{8, 8};
                ClientToScreen(list_, &at);
            }
            ShowMenu(at);
            return 0;
        }
        break;
    case WM_TIMER:
        if (wp == kModelTimer && mode_ != Mode::None) CheckRows();
        return 0;
    case kMsgIndexSlice:
        sliceQueued_ = false;
        if (mode_ == Mode::Find) RunQuery();
        return 0;
    case kMsgRowsChanged:
        if (mode_ != Mode::None) RowsChanged();
        return 0;
    case kMsgStatus:
        statusQueued_ = false;
        if (mode_ == Mode::None) return 0;
        UpdateStatus();
        TellTools();
        return 0;
    case kMsgTakeEntries:
        TakeEntries();
        return 0;
    case kMsgMissingBatch:
        OnMissingBatch(wp, lp);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(pane_, msg, wp, lp);
}

LRESULT CFindPane::OnNotify(NMHDR* header) {
    switch (header->code) {
    case LVN_GETDISPINFOW:
        OnGetDisplayInfo(*reinterpret_cast<NMLVDISPINFOW*>(header));
        return 0;
    case NM_CUSTOMDRAW:
        return OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case NM_DBLCLK: {
        const int row = reinterpret_cast<NMITEMACTIVATE*>(header)->iItem;
        if (row >= 0) Open(row);
        return 0;
    }
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
        TellTools();
        return 0;
    default:
        return 0;
    }
}

bool CFindPane::OnFindBoxKey(WPARAM key) {
    switch (key) {
    case VK_ESCAPE:
        End();
        return true;
    case VK_RETURN: {
        if (mode_ == Mode::None || RowCount() == 0) return true;
        const std::vector<int> selected = SelectedRows();
        const int row = selected.empty() ? 0 : selected.front();
        if (ControlDown())
            Jump(row);
        else
            Open(row);
        return true;
    }
    case VK_DOWN:
        if (mode_ == Mode::None || RowCount() == 0) return false;
        SetFocus(list_);
        if (SelectedRows().empty()) ListView_SetItemState(list_, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        return true;
    default:
        return false;
    }
}

bool CFindPane::OnListKey(WPARAM key) {
    const std::vector<int> selected = SelectedRows();
    switch (key) {
    case VK_ESCAPE:
        End();
        return true;
    case VK_RETURN:
        if (selected.empty()) return true;
        if (ControlDown())
            Jump(selected.front());
        else
            Open(selected.front());
        return true;
    case VK_DELETE:
        RemoveSelected();
        return true;
    case VK_UP:
        // Up from the first row goes back to the find box.
        if (selected.size() == 1 && selected.front() == 0 && mode_ == Mode::Find) {
            SetFocus(edit_);
            return true;
        }
        return false;
    default:
        return false;
    }
}

void CFindPane::FocusFindBox() {
    if (!edit_) return;
    SetFocus(edit_);
    SendMessageW(edit_, EM_SETSEL, 0, -1);
}

void CFindPane::OnTextChanged() {
    if (quiet_) return;
    const int length = GetWindowTextLengthW(edit_);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(edit_, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    query_ = FindQuery(text);
    if (query_.Empty()) {
        // Blanks alone find nothing; an emptied box puts the list away.
        if (mode_ != Mode::Find) return;
        if (!text.empty()) {
            SetRows({});
            return;
        }
        // The user goes on typing in the box.
        Close(true);
        SetFocus(edit_);
        return;
    }
    if (mode_ != Mode::Find) ShowResults(Mode::Find);
    RunQuery();
}

void CFindPane::RunQuery() {
    if (!index_.Update(RootFolder(), kSliceMilliseconds)) {
        status_ = GlobalText::Get(kGtFindIndexing);
        if (CKvFiler& filer = Filer(); filer.Host()) filer.Host()->SetStatusText(0, status_);
        if (!sliceQueued_) sliceQueued_ = PostMessageW(pane_, kMsgIndexSlice, 0, 0) != FALSE;
        return;
    }
    if (index_.ChangedSinceSearch()) lastHitsValid_ = false;
    std::vector<FindHit> hits = lastHitsValid_ && query_.Narrows(lastQuery_) ? index_.SearchWithin(query_, lastHits_)
                                                                             : index_.Search(query_);
    std::vector<Row> rows;
    rows.reserve(hits.size());
    for (FindHit hit : hits) {
        CFolder* folder = index_.FolderOf(hit);
        rows.push_back(Row{folder, index_.EntryOf(hit), folder->stamp});
    }
    lastHits_ = std::move(hits);
    lastQuery_ = query_;
    lastHitsValid_ = true;
    SetRows(std::move(rows));
}

void CFindPane::ShowResults(Mode mode) {
    if (mode_ != Mode::None && mode_ != mode) {
        check_.Stop();
        checking_ = false;
        taking_ = false;
    }
    const bool wasShown = mode_ != Mode::None;
    mode_ = mode;
    if (wasShown) return;
    rows_.clear();
    ListView_SetItemCountEx(list_, 0, 0);
    if (HWND filer = Filer().Container()) ShowWindow(filer, SW_HIDE);
    ShowWindow(list_, SW_SHOW);
    SetTimer(pane_, kModelTimer, kModelMilliseconds, nullptr);
    toolsTold_ = false;
    Layout(column_.left, column_.top, column_.right - column_.left, column_.bottom - column_.top);
}

void CFindPane::End() {
    if (mode_ == Mode::None) {
        if (GetWindowTextLengthW(edit_) > 0) {
            quiet_ = true;
            SetWindowTextW(edit_, L"");
            quiet_ = false;
        }
        return;
    }
    Close(true);
}

void CFindPane::FilerShowedFolder() {
    if (quiet_ || mode_ == Mode::None) return;
    Close(false);
}

void CFindPane::Close(bool restore) {
    check_.Stop();
    checking_ = false;
    taking_ = false;
    takeFolders_.clear();
    takePaths_.clear();
    checked_.clear();
    mode_ = Mode::None;
    rows_.clear();
    lastHits_.clear();
    lastHitsValid_ = false;
    folderTexts_.clear();
    status_.clear();
    ListView_SetItemCountEx(list_, 0, 0);
    ShowWindow(list_, SW_HIDE);
    KillTimer(pane_, kModelTimer);
    quiet_ = true;
    SetWindowTextW(edit_, L"");
    quiet_ = false;
    Layout(column_.left, column_.top, column_.right - column_.left, column_.bottom - column_.top);
    CKvFiler& filer = Filer();
    if (HWND container = filer.Container()) ShowWindow(container, SW_SHOW);
    if (!restore) return;
    // The filer's folder may have gone with a subfolder removed from the results.
    CFolder* folder = filer.CurrentFolder();
    bool inTree = false;
    ForEachFolder(RootFolder(), [&](CFolder& f) { inTree = inTree || &f == folder; });
    if (!inTree) folder = &RootFolder();
    Quietly([&] { filer.ShowFolder(folder, true); });
    if (!inTree && filer.Host()) filer.Host()->SelectFolderSilently(*folder);
}
