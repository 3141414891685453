#include "Support/AppProcess.h"

#include <commctrl.h>

#include <cstdlib>

#include "Commands/AddPathsMessage.h"
#include "Support/TestSupport.h"

namespace tf_test {

std::wstring ProgramPath() {
    if (const wchar_t* program = _wgetenv(L"TF_PROGRAM")) return program;
    return ExeDirectory() + L"..\\bin\\TessaraFolder.exe";
}

AppProcess::~AppProcess() {
    if (!pi_.hProcess) return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 1);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
}

bool AppProcess::Start(const std::wstring& program, const std::wstring& commandTail) {
    std::wstring cmd = L"\"" + program + L"\" " + commandTail;
    STARTUPINFOW si{sizeof(si)};
    return CreateProcessW(program.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_) != 0;
}

bool AppProcess::StartCommandLine(const std::wstring& commandLine) {
    std::wstring cmd = commandLine;
    STARTUPINFOW si{sizeof(si)};
    return CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_) != 0;
}

bool AppProcess::Exited(DWORD ms) const {
    return WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0;
}

namespace {

struct FindData {
    DWORD pid;
    const wchar_t* cls;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM lp) {
    auto* d = reinterpret_cast<FindData*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[128] = {};
    GetClassNameW(hwnd, cls, 128);
    if (pid != d->pid || wcscmp(cls, d->cls) != 0 || (d->visibleOnly && !IsWindowVisible(hwnd))) return TRUE;
    d->found = hwnd;
    return FALSE;
}

}  // namespace

HWND AppProcess::WaitForWindow(const wchar_t* cls, bool visibleOnly) const {
    for (DWORD waited = 0; waited < kAppTimeout; waited += 100) {
        FindData d{pi_.dwProcessId, cls, visibleOnly, nullptr};
        EnumWindows(FindProc, reinterpret_cast<LPARAM>(&d));
        if (d.found) return d.found;
        if (Exited(0)) return nullptr;
        Sleep(100);
    }
    return nullptr;
}

HWND WaitForReadyInstance(const AppProcess& app) {
    HWND main = app.WaitForWindow(L"MainWindow");
    for (DWORD waited = 0; main && waited < kAppTimeout; waited += 50) {
        if (GetPropW(main, kInstanceActiveProperty)) return main;
        Sleep(50);
    }
    return nullptr;
}

std::vector<std::wstring> WaitForListPaths(const AppProcess& app, HWND mainWindow, std::vector<int>* selected) {
    RemoteList list(app, FindListView(mainWindow));
    std::vector<std::wstring> paths;
    for (DWORD waited = 0; waited < kAppTimeout; waited += 100) {
        for (int i = 0; i < list.Count(); ++i) paths.push_back(list.Text(i, 1));
        if (!paths.empty()) break;
        Sleep(100);
    }
    if (selected) *selected = list.Selected();
    return paths;
}

std::wstring BoxText(HWND box) {
    wchar_t text[2048] = {};
    SendMessageW(GetDlgItem(box, 100), WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
    return text;
}

HWND FindListView(HWND mainWindow) {
    HWND container = FindWindowExW(mainWindow, nullptr, L"CKvFiler", nullptr);
    return container ? FindWindowExW(container, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
}

namespace {
// Layout of the remote block: the item record, then the text buffer.
const size_t kTextChars = 1024;
const size_t kRemoteBytes = sizeof(LVITEMW) + kTextChars * sizeof(wchar_t);
}  // namespace

RemoteList::RemoteList(const AppProcess& app, HWND list) : process_(app.Handle()), list_(list) {
    remote_ = VirtualAllocEx(process_, nullptr, kRemoteBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteList::~RemoteList() {
    if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
}

int RemoteList::Count() const {
    return static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
}

std::wstring RemoteList::Text(int item, int column) const {
    auto* remoteText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote_) + sizeof(LVITEMW));
    LVITEMW lv{};
    lv.iSubItem = column;
    lv.pszText = remoteText;
    lv.cchTextMax = static_cast<int>(kTextChars);
    WriteProcessMemory(process_, remote_, &lv, sizeof(lv), nullptr);
    const LRESULT n = SendMessageW(list_, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(remote_));
    std::wstring text(kTextChars, L'\0');
    ReadProcessMemory(process_, remoteText, text.data(), kTextChars * sizeof(wchar_t), nullptr);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

void RemoteList::SetSelected(int item, bool selected) const {
    LVITEMW lv{};
    lv.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    lv.state = selected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    WriteProcessMemory(process_, remote_, &lv, sizeof(lv), nullptr);
    SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(remote_));
}

std::vector<int> RemoteList::Selected() const {
    std::vector<int> items;
    int i = -1;
    while ((i = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, i, LVNI_SELECTED))) != -1) items.push_back(i);
    return items;
}

namespace {

// Bounds-checked little-endian reader over a version 10 file.
class Reader {
public:
    explicit Reader(std::vector<unsigned char> data) : d_(std::move(data)) {}
    bool ok() const { return ok_; }
    uint32_t U(size_t n) {
        if (pos_ + n > d_.size()) {
            ok_ = false;
            return 0;
        }
        uint32_t v = 0;
        for (size_t i = 0; i < n; ++i) v |= static_cast<uint32_t>(d_[pos_ + i]) << (8 * i);
        pos_ += n;
        return v;
    }
    void Skip(size_t n) {
        if (pos_ + n > d_.size())
            ok_ = false;
        else
            pos_ += n;
    }
    std::wstring Str() {
        const uint32_t padded = U(2), text = U(2);
        if (!ok_ || text > padded || pos_ + padded > d_.size()) {
            ok_ = false;
            return L"";
        }
        std::wstring s(text / 2, L'\0');
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = static_cast<wchar_t>(d_[pos_ + 2 * i] | (d_[pos_ + 2 * i + 1] << 8));
        pos_ += padded;
        return s;
    }

private:
    std::vector<unsigned char> d_;
    size_t pos_ = 0;
    bool ok_ = true;
};

SavedSearch ReadSearchBlock(Reader& r) {
    SavedSearch search;
    search.path = r.Str();
    search.depth = static_cast<int32_t>(r.U(4));
    r.Str();
    search.limitDepth = r.U(1) != 0;
    r.Skip(3);
    const uint32_t folders = r.U(4);
    search.autoUpdate = r.U(1) != 0;
    r.Skip(3);
    for (uint32_t i = 0; i < folders && r.ok(); ++i) {
        r.Str();
        r.U(4);
        r.Str();
        r.Str();
        r.Skip(4);
    }
    return search;
}

std::vector<SavedEntry> ReadFolder(Reader& r, int depth, SavedSearch* search = nullptr) {
    std::vector<SavedEntry> entries;
    const uint32_t count = r.U(4);
    r.Skip(4 + 2 + 2 + 4);
    const SavedSearch read = ReadSearchBlock(r);
    if (search) *search = read;
    for (uint32_t i = 0; i < count && r.ok() && depth < 64; ++i) {
        SavedEntry e;
        e.name = r.Str();
        e.path = r.Str();
        r.Str();
        r.Skip(8);
        r.Str();
        r.Str();
        e.subfolder = r.U(4) != 0;
        if (e.subfolder) e.children = ReadFolder(r, depth + 1);
        entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace

SavedProject ReadSavedProject(const std::wstring& path) {
    SavedProject p;
    std::vector<unsigned char> bytes = ReadBytes(path);
    if (bytes.size() < 16 || std::string(bytes.begin(), bytes.begin() + 16) != "KVTFolder10     ") return p;
    Reader r(std::move(bytes));
    r.Skip(16);
    r.Skip(r.U(4));
    r.Str();
    r.Skip(8);
    r.Str();
    const uint32_t apps = r.U(4);
    for (uint32_t i = 0; i < apps && r.ok(); ++i) {
        r.Str();
        r.Str();
        const uint32_t exts = r.U(4);
        for (uint32_t k = 0; k < exts && r.ok(); ++k) r.Str();
    }
    r.U(2);
    p.statusBar = static_cast<uint8_t>(r.U(1));
    r.U(1);
    for (int i = 0; i < 10; ++i) r.Str();
    r.Skip(4);
    p.treePane = static_cast<uint8_t>(r.U(1));
    r.Skip(1 + 2 + 248);
    for (uint32_t& w : p.columns) w = r.U(4);
    p.viewStyle = r.U(4);
    r.Skip(64 + 4);
    p.root = ReadFolder(r, 0, &p.rootSearch);
    p.valid = r.ok();
    return p;
}

std::vector<std::wstring> SavedRootPaths(const std::wstring& path) {
    std::vector<std::wstring> paths;
    for (const SavedEntry& e : ReadSavedProject(path).root) paths.push_back(e.path);
    return paths;
}

}  // namespace tf_test
