// CKvDragBar. The window procedure finds its object through a process-wide list of live bars
// (constructor appends, destructor removes) by window handle.
//
// While dragging, every second WM_MOUSEMOVE is ignored: moving the bar under the captured cursor
// makes the system send a move of its own, and handling alternate messages keeps the bar from
// chasing those. Positions come from GetCursorPos and the bar moves by the difference to the last
// handled position, so a skipped message loses no distance once the next one is handled; the
// release catches up with a skipped last move before it reports.
#include "MainWindow/KvDragBar.h"

#include <algorithm>
#include <vector>

#include "Kv/KvGuard.h"
#include "Kv/KvHandles.h"
#include "Kv/KvInstanceList.h"
#include "Kv/KvWindow.h"

namespace {

const wchar_t kClassName[] = L"CKvDragBar";
const wchar_t kUnit[] = L".\\Source\\KvDragBar";

}  // namespace

LRESULT CALLBACK KvDragBarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CKvDragBar* bar = KvInstanceList<CKvDragBar>::Find(hwnd);
    if (!bar) return DefWindowProcW(hwnd, msg, wp, lp);
    return KvGuardedWindowProc(L"KvDragBarProc", __LINE__, nullptr, hwnd, msg, wp, lp,
                               [&] { return bar->HandleMessage(msg, wp, lp); });
}

CKvDragBar::CKvDragBar() {
    KvInstanceList<CKvDragBar>::Add(this);
}

CKvDragBar::~CKvDragBar() {
    KvInstanceList<CKvDragBar>::Remove(this);
    Destroy();
}

bool CKvDragBar::Create(HWND parent) {
    Destroy();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{sizeof(existing)};
    if (!GetClassInfoExW(instance, kClassName, &existing)) {
        WNDCLASSEXW wc{sizeof(wc)};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = KvDragBarProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        wc.lpszClassName = kClassName;
        if (!KvRegisterClassEx(wc)) {
            KvErrorBox(L"Create CKvDragBar!", kUnit, L"CKvDragBar::Create", __LINE__);
            return false;
        }
    }
    hwnd_ = CreateWindowExW(WS_EX_STATICEDGE, kClassName, L"", WS_CHILD, 0, 0, 100, 100, parent, nullptr, instance,
                            nullptr);
    if (!hwnd_) {
        KvErrorBox(L"Create CKvDragBar!", kUnit, L"CKvDragBar::Create", __LINE__);
        return false;
    }
    return true;
}

void CKvDragBar::BeginDrag(const RECT& rc) {
    if (!hwnd_) return;
    MoveWindow(hwnd_, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, FALSE);
    GetCursorPos(&last_);
    skipNextMove_ = false;
    dragging_ = true;
    SetCapture(hwnd_);
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
}

void CKvDragBar::Destroy() {
    dragging_ = false;
    if (!hwnd_) return;
    HWND hwnd = hwnd_;
    hwnd_ = nullptr;
    DestroyWindow(hwnd);
    const auto& bars = KvInstanceList<CKvDragBar>::Items();
    const bool classInUse =
        std::any_of(bars.begin(), bars.end(), [](const CKvDragBar* bar) { return bar->hwnd_ != nullptr; });
    if (!classInUse) UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
}

void CKvDragBar::OnMouseMove() {
    if (!dragging_) return;
    if (skipNextMove_) {
        skipNextMove_ = false;
        return;
    }
    FollowCursor();
    skipNextMove_ = true;
}

void CKvDragBar::FollowCursor() {
    POINT cursor{};
    GetCursorPos(&cursor);
    const int dx = cursor.x - last_.x;
    last_ = cursor;
    POINT pos = KvGetWindowPos(hwnd_);
    KvMoveWindow(hwnd_, pos.x + dx, pos.y);
}

// Ends the drag; with `report` the parent learns where the bar ended before the bar is hidden.
void CKvDragBar::EndDrag(bool report) {
    dragging_ = false;
    if (GetCapture() == hwnd_) ReleaseCapture();
    HWND parent = GetParent(hwnd_);
    if (report && parent) SendMessageW(parent, WM_COMMAND, 0, reinterpret_cast<LPARAM>(hwnd_));
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

LRESULT CKvDragBar::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    HWND hwnd = hwnd_;
    switch (msg) {
    case WM_MOUSEMOVE:
        OnMouseMove();
        return 0;
    case WM_LBUTTONUP:
        if (!dragging_ || !GetParent(hwnd)) return 0;
        FollowCursor();
        EndDrag(true);
        return 0;
    case WM_CAPTURECHANGED:
        // The press ended elsewhere (another window took the capture): no position to report.
        if (dragging_ && reinterpret_cast<HWND>(lp) != hwnd) EndDrag(false);
        return 0;
    case WM_PAINT: {
        // Painting validates; the erase that BeginPaint asks for fills the bar with the class's
        // grey brush.
        kv::PaintDc dc(hwnd);
        return 0;
    }
    case WM_DESTROY:
        hwnd_ = nullptr;
        dragging_ = false;
        return 0;
    case WM_CREATE:
    case WM_SIZE:
    case WM_LBUTTONDOWN:
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}
