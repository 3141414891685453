// Creation, tear-down and the window procedures of the main window and its hidden owner.
#include "MainWindow/MainWindow.h"

#include <commctrl.h>
#include <shellapi.h>
#include <dbt.h>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "MainWindow/KvDragBar.h"
#include "Filer/KvFiler.h"
#include "Find/FindPane.h"
#include "Kv/KvGuard.h"
#include "Kv/KvControls.h"
#include "Kv/KvDpi.h"
#include "Kv/KvToolBar.h"
#include "Kv/KvWindow.h"
#include "Search/AutoSearch.h"
#include "Config/Settings.h"
#include "Tree/Tree.h"
#include "resource.h"

namespace {

const wchar_t kSource[] = L".\\Source\\MainWindow";
const wchar_t kMainClass[] = L"MainWindow";
const wchar_t kDummyClass[] = L"CDummyWindow";
// 96-DPI pixels.
const int kInitialWidth = 460;
const int kInitialHeight = 420;

}  // namespace

LRESULT CALLBACK DummyWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY && MainWindow().dummy_ == hwnd) MainWindow().dummy_ = nullptr;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CMainWindow& window = MainWindow();
    if (msg == WM_NCCREATE) window.hwnd_ = hwnd;
    if (window.hwnd_ != hwnd) return DefWindowProcW(hwnd, msg, wp, lp);
    return KvGuardedWindowProc(L"MainWindowProc", __LINE__, nullptr, hwnd, msg, wp, lp,
                               [&] { return window.HandleMessage(msg, wp, lp); });
}

CMainWindow& MainWindow() {
    static CMainWindow window;
    return window;
}

CMainWindow::CMainWindow() = default;
CMainWindow::~CMainWindow() = default;

bool CMainWindow::CreateDummy() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{sizeof(wc)};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DummyWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    wc.lpszClassName = kDummyClass;
    if (!KvRegisterClassEx(wc)) {
        KvErrorBox(L"Create CDummyWindow!", kSource, L"CDummyWindow::Create", 877);
        return false;
    }
    dummy_ =
        CreateWindowExW(0, kDummyClass, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, instance, nullptr);
    if (!dummy_) {
        KvErrorBox(L"Create CDummyWindow!", kSource, L"CDummyWindow::Create", 890);
        return false;
    }
    return true;
}

bool CMainWindow::Create() {
    if (!CreateDummy()) return false;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{sizeof(wc)};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    wc.lpszClassName = kMainClass;
    if (!KvRegisterClassEx(wc)) {
        KvErrorBox(L"Create MainWindow!", kSource, L"CMainWindow::Create", 100);
        return false;
    }
    const UINT systemDpi = KvSystemDpi();
    const int initialWidth = KvScale(kInitialWidth, systemDpi), initialHeight = KvScale(kInitialHeight, systemDpi);
    RECT rc = KvCenteredOnDesktop(initialWidth, initialHeight);
    CreateWindowExW(0, kMainClass, L"", WS_OVERLAPPEDWINDOW, rc.left, rc.top, initialWidth, initialHeight, dummy_,
                    nullptr, instance, nullptr);
    if (!hwnd_) {
        KvErrorBox(L"Create MainWindow!", kSource, L"CMainWindow::Create", 123);
        return false;
    }
    dpi_ = KvDpiOfWindow(hwnd_);
    taskbarCreatedMessage_ = RegisterWindowMessageW(L"TaskbarCreated");
    if (!BuildMenu() || !CreateToolBar()) return false;

    RECT client{};
    GetClientRect(hwnd_, &client);
    KvCreateStatusBar(&statusBar_, hwnd_);
    statusFont_.reset(KvCreateFontForDpi(KvIconTitleLogFont96(), dpi_));
    if (statusFont_) SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(statusFont_.get()), FALSE);

    if (!Tree().Create(hwnd_, &AsTreeHost())) return false;
    dc_ = GetDC(hwnd_);

    RECT barRect{};
    GetClientRect(toolBar_->Hwnd(), &barRect);
    RECT statusRect{};
    GetWindowRect(statusBar_, &statusRect);
    const int top = barRect.bottom;
    const int height = client.bottom - top - (statusRect.bottom - statusRect.top);
    if (!Filer().Create(hwnd_, instance, top, client.right, height, &AsFilerHost())) return false;
    Filer().SetAutoSearch(&ProgramAutoSearch());
    const COLORREF back = Settings().backColor;
    ListView_SetBkColor(Filer().ListView(), back);
    ListView_SetTextBkColor(Filer().ListView(), back);
    Tree().SetBackColor(back);
    if (!FindPane().Create(hwnd_, instance)) return false;

    dragBar_ = std::make_unique<CKvDragBar>();
    if (!dragBar_->Create(hwnd_)) return false;
    RegisterProjectView();
    return true;
}

bool CMainWindow::BuildMenu() {
    HMENU bar = CreateMenu();
    auto item = [](HMENU menu, int id, int entry) {
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), GlobalText::Get(entry));
    };
    auto popup = [bar](HMENU sub, int entry) {
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), GlobalText::Get(entry));
    };

    HMENU file = CreatePopupMenu();
    HMENU newFolder = CreatePopupMenu();
    item(newFolder, kCmdNewFolder, kGtMenuNewFolder);
    item(newFolder, kCmdNewMusicFolder, kGtMenuNewMusicFolder);
    item(newFolder, kCmdNewImageFolder, kGtMenuNewImageFolder);
    AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(newFolder), GlobalText::Get(kGtMenuNew));
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    item(file, kCmdSearchSettings, kGtMenuSearch);
    item(file, kCmdRegisteredApps, kGtMenuRegisteredApps);
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    item(file, kCmdFind, kGtMenuFind);
    item(file, kCmdMissingEntries, kGtMenuMissing);
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    item(file, kCmdExitWithoutSaving, kGtMenuExitWithoutSaving);
    item(file, kCmdExit, kGtMenuExit);
    popup(file, kGtMenuFile);

    HMENU view = CreatePopupMenu();
    item(view, kCmdViewDetails, kGtMenuViewDetails);
    item(view, kCmdViewIcons, kGtMenuViewIcons);
    AppendMenuW(view, MF_SEPARATOR, 0, nullptr);
    item(view, kCmdToggleStatusBar, kGtMenuStatusBar);
    AppendMenuW(view, MF_SEPARATOR, 0, nullptr);
    item(view, kCmdToggleTreePane, kGtMenuTreePane);
    popup(view, kGtMenuView);

    HMENU tools = CreatePopupMenu();
    item(tools, kCmdProjectSettings, kGtMenuSettings);
    popup(tools, kGtMenuSettings);

    HMENU help = CreatePopupMenu();
    item(help, kCmdOpenHelpAddress, kGtMenuHelpAddress);
    item(help, kCmdOpenHelpProgram, kGtMenuHelp);
    item(help, kCmdVersion, kGtMenuVersion);
    popup(help, kGtMenuHelp);

    // The window owns the menu from here on and destroys it with itself.
    return SetMenu(hwnd_, bar) != FALSE;
}

bool CMainWindow::CreateToolBar() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    toolBar_ = std::make_unique<CKvToolBar>();
    if (!toolBar_->Create(client.right, hwnd_)) return false;
    CKvToolBar& bar = *toolBar_;
    bar.AddButton(IDI_TB_BACK, kCmdBack, GlobalText::Get(kGtTipBack));
    bar.AddButton(IDI_TB_FORWARD, kCmdForward, GlobalText::Get(kGtTipForward));
    bar.AddButton(IDI_TB_UP, kCmdUp, GlobalText::Get(kGtTipUp));
    bar.AddSeparator();
    bar.AddButton(IDI_TB_NEWFOLDER, kCmdNewFolderTool, GlobalText::Get(kGtMenuNewFolder));
    bar.AddSeparator();
    bar.AddButton(IDI_TB_COPY, kCmdCopy, GlobalText::Get(kGtTipCopy));
    bar.AddButton(IDI_TB_REMOVE, kCmdRemove, GlobalText::Get(kGtRemove));
    bar.AddSeparator();
    bar.AddButton(IDI_TB_REFRESH, kCmdRefresh, GlobalText::Get(kGtTipRefresh));
    bar.AddSeparator();
    bar.AddButton(IDI_TB_FIND, kCmdFind, GlobalText::Get(kGtTipFind));
    bar.AddSeparator();
    for (int id : {kCmdBack, kCmdForward, kCmdUp, kCmdCopy, kCmdRemove}) bar.EnableButton(false, id);
    bar.SetBackColors(Settings().toolBackTop, Settings().toolBackBottom);
    return true;
}

void CMainWindow::Destroy() {
    UnregisterProjectView();
    RemoveTrayIcon();
    if (dragBar_) dragBar_->Destroy();
    dragBar_.reset();
    FindPane().Destroy();
    Filer().Destroy();
    Tree().Destroy();
    toolBar_.reset();
    if (dc_) ReleaseDC(hwnd_, dc_);
    statusFont_.reset();
    dc_ = nullptr;
    if (hwnd_) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    statusBar_ = nullptr;
    if (dummy_) DestroyWindow(dummy_);
    dummy_ = nullptr;
    noSave_ = 0;
    trayFlag_ = 0;
    startShow_ = SW_SHOWNORMAL;
    sessionEnd_ = nullptr;
}

void CMainWindow::CheckViewItem(int command) {
    CheckMenuItem(kCmdViewDetails, command == kCmdViewDetails);
    CheckMenuItem(kCmdViewIcons, command == kCmdViewIcons);
}

void CMainWindow::CheckMenuItem(int command, bool checked) {
    ::CheckMenuItem(GetMenu(hwnd_), static_cast<UINT>(command), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void CMainWindow::EnableMenuItem(int command, bool enabled) {
    ::EnableMenuItem(GetMenu(hwnd_), static_cast<UINT>(command), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

LRESULT CMainWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (taskbarCreatedMessage_ != 0 && msg == taskbarCreatedMessage_) {
        trayIconShown_ = false;
        AddTrayIcon();
        return 0;
    }
    LRESULT outsideResult = 0;
    if (HandleOutsidePathsMessage(msg, wp, lp, outsideResult)) return outsideResult;
    switch (msg) {
    case WM_SIZE:
        Filer().WindowResting(wp == SIZE_MINIMIZED);
        if (trayFlag_ && wp == SIZE_MINIMIZED) {
            ShowWindow(hwnd_, SW_HIDE);
            return 0;
        }
        if (toolBar_) Layout();
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_DPICHANGED: {
        // The parts are scaled first, so that the move's WM_SIZE lays them out at the new scale.
        ApplyDpi(HIWORD(wp));
        const RECT* suggested = reinterpret_cast<const RECT*>(lp);
        if (suggested)
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        Layout();
        return 0;
    }
    case WM_COMMAND:
        OnCommand(LOWORD(wp), reinterpret_cast<HWND>(lp));
        return 0;
    case WM_MOUSEMOVE:
        OnSplitterMouseMove(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
        return 0;
    case WM_LBUTTONDOWN:
        OnSplitterButtonDown(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
        return 0;
    case WM_SETCURSOR:
        // Asked on behalf of a child too (by its default procedure): the splitter is this window's
        // own client area, so a child under the mouse keeps its own cursor.
        if (splitterCursor_ && reinterpret_cast<HWND>(wp) == hwnd_ && LOWORD(lp) == HTCLIENT) {
            SetCursor(splitterCursor_);
            return TRUE;
        }
        break;
    case kTrayMessage:
        OnTrayNotify(lp);
        return 0;
    case WM_DEVICECHANGE:
        if (wp == DBT_DEVICEARRIVAL || wp == DBT_DEVICEREMOVECOMPLETE) Filer().DevicesChanged();
        return TRUE;
    case WM_CLOSE:
        // The window lives on until shut-down has saved the project with its placement.
        PostQuitMessage(0);
        return 0;
    case WM_QUERYENDSESSION:
        // Only a question: the session goes on when another program refuses to end.
        return TRUE;
    case WM_ENDSESSION:
        if (!wp) return 0;
        // Windows may end the process as soon as this returns, so the project is saved here and not
        // after the message loop.
        if (sessionEnd_) sessionEnd_();
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_DROPFILES:
        return 0;
    case WM_DESTROY:
        hwnd_ = nullptr;
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}
