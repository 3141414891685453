// The program's one top-level window: menu bar, tool bar, status bar, the folder tree pane on the
// left, a five-pixel splitter and the filer filling the rest. It turns menu and tool bar commands
// into calls on the filer and the project, hosts the filer and the tree (FilerHost, TreeHost) and
// carries what one reports to the other, keeps the layout, builds the title from the project's
// template and implements task tray mode with a hidden owner window (CDummyWindow).
#pragma once

#include <windows.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Commands/MainCommand.h"
#include "Kv/KvHandles.h"

class CKvToolBar;
class CKvDragBar;
class FilerHost;
class TreeHost;

class CMainWindow {
public:
    CMainWindow();
    ~CMainWindow();
    CMainWindow(const CMainWindow&) = delete;
    CMainWindow& operator=(const CMainWindow&) = delete;

    // Builds the hidden owner, the window (hidden), menus, tool bar, status bar, tree pane, filer
    // and drag bar. False after an error box.
    bool Create();
    // Removes the tray icon, destroys the tool bar, releases the DC, destroys both windows.
    void Destroy();

    HWND Hwnd() const { return hwnd_; }
    HWND DummyHwnd() const { return dummy_; }
    HWND StatusBar() const { return statusBar_; }
    CKvToolBar* ToolBar() const { return toolBar_.get(); }

    // Title from a template with the tokens %FileName%, %FileExt%, %DirPath%, %DirName%; the result
    // becomes the window text and the tree's root item text.
    void SetTitle(const std::wstring& templ);
    void RefreshTitle();  // SetTitle(Project().titleFormat)
    // The title text a template gives (no side effects).
    static std::wstring ExpandTitle(const std::wstring& templ);

    void Layout();
    // Scales the window's parts to `dpi` (tool bar, tree pane, filer, status bar, splitter) and lays
    // them out again; WM_DPICHANGED calls it after moving to the rectangle the system suggests.
    void ApplyDpi(UINT dpi);
    UINT Dpi() const { return dpi_; }
    // The window's own keys (Ctrl+F, Tab and Shift+Tab between the panes) taken from the message loop
    // before dispatch; true when taken.
    bool TranslateKey(const MSG& msg);
    void CheckViewItem(int command);  // checks 2507 or 2508 (whichever equals command), unchecks the other
    void CheckMenuItem(int command, bool checked);
    void EnableMenuItem(int command, bool enabled);

    void AddTrayIcon();
    void RemoveTrayIcon();
    void SetTrayMode(bool on);
    bool TrayMode() const { return trayFlag_ != 0; }
    bool TrayIconShown() const { return trayIconShown_; }

    bool NoSave() const { return noSave_ != 0; }

    // How start-up first shows the window: maximised when the loaded placement was maximised (or
    // minimised from maximised), otherwise normal. Loading itself keeps the window hidden.
    void SetStartShowCommand(int command) { startShow_ = command; }
    int StartShowCommand() const { return startShow_; }
    // Runs when Windows really ends the session, before it may end the process without notice.
    void SetSessionEndHandler(std::function<void()> handler) { sessionEnd_ = std::move(handler); }
    RECT SplitterRect() const { return splitter_; }  // left, top, width (right), height (bottom); pixels

    // Marks the window as a running instance that takes paths from a second start with /add
    // (Commands/AddPathsMessage.h); called once the project is loaded.
    void MarkInstanceReady();
    // Paths from outside the program added to the shown folder and selected, the window restored
    // and brought to the front. Taken after the current message; while a modal window is open they
    // wait until it has closed.
    void AddOutsidePaths(std::vector<std::wstring> paths);

private:
    friend LRESULT CALLBACK MainWindowProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK DummyWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    bool CreateDummy();
    void RegisterProjectView();
    void UnregisterProjectView();
    // The main window's side of the filer and of the tree pane (MainWindowHosts.cpp).
    static FilerHost& AsFilerHost();
    static TreeHost& AsTreeHost();
    bool BuildMenu();
    bool MoveFocus(bool backwards);
    bool CreateToolBar();
    void OnCommand(int id, HWND from);
    // The search commands (MainWindowSearch.cpp): what they find is added to the current folder.
    void RunFolderSearch();
    void RunRegisteredApps();
    void OnSplitterMouseMove(int x, int y);
    void OnSplitterButtonDown(int x, int y);
    void OnDragBarEnd(HWND dragBar);
    void OnPaint();
    void OnTrayNotify(LPARAM mouseMessage);
    // MainWindowAddPaths.cpp
    // True when `msg` was one of the outside paths' messages and `result` is its answer.
    bool HandleOutsidePathsMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    LRESULT OnCopyData(const COPYDATASTRUCT& data);
    void NoteActivation();
    void FlushOutsidePaths();

    HWND hwnd_ = nullptr;
    HWND dummy_ = nullptr;
    HWND statusBar_ = nullptr;
    HDC dc_ = nullptr;
    std::unique_ptr<CKvToolBar> toolBar_;
    std::unique_ptr<CKvDragBar> dragBar_;
    kv::UniqueFont statusFont_;  // the status bar's font at dpi_
    UINT dpi_ = 96;
    unsigned char noSave_ = 0;
    unsigned char trayFlag_ = 0;
    bool trayIconShown_ = false;
    RECT splitter_{-1, 0, 0, 0};  // x, y, width, height
    HCURSOR splitterCursor_ = nullptr;
    UINT taskbarCreatedMessage_ = 0;
    int startShow_ = SW_SHOWNORMAL;
    std::function<void()> sessionEnd_;
    std::vector<std::wstring> outsidePaths_;  // waiting to be added (AddOutsidePaths)
    bool instanceReady_ = false;
};

// The single main window.
CMainWindow& MainWindow();
