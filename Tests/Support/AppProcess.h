// Drives the real program in a process of its own, as a user would: starts it, finds its windows,
// answers its boxes, reads and sets list view items through memory in that process, and reads back
// the project file it leaves.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tf_test {

constexpr DWORD kAppTimeout = 30000;

// The program in the build's program folder, beside the test folder, or the one the environment
// variable TF_PROGRAM names (the second compiler's build is started by the same tests).
std::wstring ProgramPath();

class AppProcess {
public:
    AppProcess() = default;
    ~AppProcess();  // ends the process if it still runs
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    bool Start(const std::wstring& program, const std::wstring& commandTail);
    // Starts a whole command line as the shell runs an open command: the system finds the program
    // in it, so quoting decides where the program's path ends.
    bool StartCommandLine(const std::wstring& commandLine);
    bool Exited(DWORD ms) const;
    // A top-level window of the process with this class (visible ones only unless told otherwise).
    HWND WaitForWindow(const wchar_t* cls, bool visibleOnly = true) const;
    DWORD Id() const { return pi_.dwProcessId; }
    HANDLE Handle() const { return pi_.hProcess; }

private:
    PROCESS_INFORMATION pi_{};
};

// The main window of the program once it takes paths from a second start with /add; null when
// none comes within the time-out.
HWND WaitForReadyInstance(const AppProcess& app);
// The path column of the filer's rows in the program's main window, read once there are rows (the
// program adds paths from outside after the sender's message has returned); the selected rows in
// `selected` when given.
std::vector<std::wstring> WaitForListPaths(const AppProcess& app, HWND mainWindow, std::vector<int>* selected = nullptr);

// Text of a box's text control (identifier 100); WM_GETTEXT works across processes.
std::wstring BoxText(HWND box);

// The filer's list view inside the main window.
HWND FindListView(HWND mainWindow);

// List view access across processes: the item records and text buffers live in the program's memory.
class RemoteList {
public:
    RemoteList(const AppProcess& app, HWND list);
    ~RemoteList();
    RemoteList(const RemoteList&) = delete;
    RemoteList& operator=(const RemoteList&) = delete;

    int Count() const;
    std::wstring Text(int item, int column) const;
    void SetSelected(int item, bool selected) const;  // -1: every item
    std::vector<int> Selected() const;

private:
    HANDLE process_;
    HWND list_;
    void* remote_ = nullptr;
};

// What a version 10 project file holds of the filer and the root folder.
struct SavedEntry {
    std::wstring name, path;
    bool subfolder = false;
    std::vector<SavedEntry> children;
};
// The root folder's single search folder and flags.
struct SavedSearch {
    std::wstring path;
    int32_t depth = 0;
    bool limitDepth = false, autoUpdate = false;
};
struct SavedProject {
    bool valid = false;
    uint8_t statusBar = 0, treePane = 0;
    uint32_t columns[5] = {};
    uint32_t viewStyle = 0;
    std::vector<SavedEntry> root;
    SavedSearch rootSearch;
};
SavedProject ReadSavedProject(const std::wstring& path);
// The paths of the saved root folder's entries.
std::vector<std::wstring> SavedRootPaths(const std::wstring& path);

}  // namespace tf_test
