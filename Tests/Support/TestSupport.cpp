#include "Support/TestSupport.h"

#include "Kv/KvWindow.h"

#include <gtest/gtest.h>
#include <psapi.h>
#include <shellapi.h>
#include <wincodec.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <fstream>
#include <mutex>

namespace tf_test {

namespace {

void DeleteTreeNoFollow(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = dir + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                if (!RemoveDirectoryW(full.c_str())) DeleteFileW(full.c_str());
            } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTreeNoFollow(full + L"\\");
            } else {
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}

}  // namespace

TempDir::TempDir() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        wchar_t name[64];
        swprintf(name, 64, L"tftest_%lu_%u_%lu\\", GetCurrentProcessId(), ++counter, GetTickCount());
        path_ = std::wstring(base) + name;
        if (CreateDirectoryW(path_.c_str(), nullptr)) break;
    }
}

TempDir::~TempDir() {
    DeleteTreeNoFollow(path_);
}

bool WriteBytes(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

bool WriteText(const std::wstring& path, const std::string& utf8) {
    return WriteBytes(path, std::vector<unsigned char>(utf8.begin(), utf8.end()));
}

bool WriteSparseFile(const std::wstring& path, long long size, unsigned char first, unsigned char last) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    LARGE_INTEGER at{};
    at.QuadPart = size - 1;
    const bool made = size >= 2 && WriteFile(h, &first, 1, &written, nullptr) &&
                      SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && WriteFile(h, &last, 1, &written, nullptr);
    CloseHandle(h);
    return made;
}

int ReadByteAt(const std::wstring& path, long long offset) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    LARGE_INTEGER at{};
    at.QuadPart = offset;
    unsigned char byte = 0;
    DWORD read = 0;
    const bool ok = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && ReadFile(h, &byte, 1, &read, nullptr) && read == 1;
    CloseHandle(h);
    return ok ? byte : -1;
}

long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<long long>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

std::vector<unsigned char> ReadBytes(const std::wstring& path) {
    std::vector<unsigned char> out;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    LARGE_INTEGER size{};
    GetFileSizeEx(h, &size);
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!out.empty()) ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &read, nullptr);
    out.resize(read);
    CloseHandle(h);
    return out;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ExeDirectory() {
    wchar_t buf[MAX_PATH];
    GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring s = buf;
    return s.substr(0, s.find_last_of(L"\\/") + 1);
}

HWND FindControl(HWND root, int id) {
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    EnumChildWindows(
        root,
        [](HWND child, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            if (GetDlgCtrlID(child) != s->id) return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring WindowText(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(hwnd, s.data(), n + 1);
    s.resize(static_cast<size_t>(n));
    return s;
}

ModalResponder::ModalResponder(int defaultAnswer)
    : ModalResponder([defaultAnswer](HWND, const ModalSeen&) { return defaultAnswer; }) {}

namespace {
// Responders nest; the innermost answers.
std::vector<ModalResponder*> g_responders;

std::string Narrow(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string Describe(const ModalSeen& seen) {
    return "\"" + Narrow(seen.title) + "\" (" + Narrow(seen.className) + "): \"" + Narrow(seen.text) + "\"";
}

// The watchdog: every modal window of the toolkit (told by the hook) and every system dialog of the
// UI thread (found by its class "#32770") is timed from when it was first seen. One still open
// after the limit (kModalLimitMs unless a ModalLimit says otherwise) fails the test and is cancelled; one that ignores that is ended by a quit
// message, which every modal loop of the toolkit and of the system obeys.
struct Watched {
    HWND hwnd;
    DWORD since;
    ModalSeen seen;
    bool failed = false;
};

std::mutex g_watchMutex;
std::atomic<DWORD> g_modalLimitMs{kModalLimitMs};
std::vector<Watched> g_watched;
DWORD g_uiThread = 0;

void Watch(HWND hwnd, const ModalSeen& seen) {
    std::lock_guard<std::mutex> lock(g_watchMutex);
    g_watched.push_back({hwnd, GetTickCount(), seen});
}

// Text of a window of the UI thread read from the watchdog thread; a busy UI thread gives "".
std::wstring TextAcrossThreads(HWND hwnd) {
    wchar_t buf[512] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 500, &ignored);
    return buf;
}

ModalSeen SeeSystemDialog(HWND dlg) {
    ModalSeen seen;
    seen.title = TextAcrossThreads(dlg);
    seen.className = L"#32770";
    EnumChildWindows(
        dlg,
        [](HWND child, LPARAM lp) -> BOOL {
            wchar_t cls[32] = {};
            GetClassNameW(child, cls, 32);
            if (lstrcmpiW(cls, L"Static") != 0) return TRUE;
            auto* out = reinterpret_cast<ModalSeen*>(lp);
            const std::wstring text = TextAcrossThreads(child);
            if (!text.empty()) out->text += (out->text.empty() ? L"" : L" ") + text;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&seen));
    return seen;
}

void WatchSystemDialogs() {
    std::vector<HWND> found;
    EnumThreadWindows(
        g_uiThread,
        [](HWND hwnd, LPARAM lp) -> BOOL {
            wchar_t cls[16] = {};
            GetClassNameW(hwnd, cls, 16);
            if (IsWindowVisible(hwnd) && lstrcmpW(cls, L"#32770") == 0)
                reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    for (HWND hwnd : found) {
        {
            std::lock_guard<std::mutex> lock(g_watchMutex);
            bool known = false;
            for (const Watched& w : g_watched) known = known || w.hwnd == hwnd;
            if (known) continue;
        }
        Watch(hwnd, SeeSystemDialog(hwnd));
    }
}

DWORD WINAPI WatchdogMain(void*) {
    for (;;) {
        Sleep(250);
        WatchSystemDialogs();
        std::vector<Watched> overdue;
        bool quit = false;
        {
            std::lock_guard<std::mutex> lock(g_watchMutex);
            const DWORD now = GetTickCount();
            for (size_t i = 0; i < g_watched.size();) {
                Watched& w = g_watched[i];
                if (!IsWindow(w.hwnd)) {
                    g_watched.erase(g_watched.begin() + static_cast<std::ptrdiff_t>(i));
                    continue;
                }
                if (!w.failed && now - w.since > g_modalLimitMs) {
                    w.failed = true;
                    w.since = now;
                    overdue.push_back(w);
                } else if (w.failed && now - w.since > 3000) {
                    w.since = now;
                    quit = true;
                }
                ++i;
            }
        }
        for (const Watched& w : overdue) {
            ADD_FAILURE() << "modal window left open for " << g_modalLimitMs / 1000 << " s: " << Describe(w.seen);
            PostMessageW(w.hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            PostMessageW(w.hwnd, WM_CLOSE, 0, 0);
        }
        if (quit) PostThreadMessageW(g_uiThread, WM_QUIT, 0, 0);
    }
}

}  // namespace

ModalResponder::ModalResponder(Answer answer) : answer_(std::move(answer)) {
    g_responders.push_back(this);
}

ModalResponder::~ModalResponder() {
    g_responders.pop_back();
}

ModalLimit::ModalLimit(DWORD ms) : outer_(g_modalLimitMs.exchange(ms)) {}
ModalLimit::~ModalLimit() { g_modalLimitMs = outer_; }

void InstallModalHook() {
    KvSetModalHook(&ModalResponder::Hook, nullptr);
    g_uiThread = GetCurrentThreadId();
    if (HANDLE thread = CreateThread(nullptr, 0, &WatchdogMain, nullptr, 0, nullptr)) CloseHandle(thread);
}

void ModalResponder::Hook(HWND dlg, void*) {
    ModalSeen seen;
    seen.title = WindowText(dlg);
    if (HWND text = GetDlgItem(dlg, 100)) seen.text = WindowText(text);
    wchar_t cls[256] = {};
    GetClassNameW(dlg, cls, 256);
    seen.className = cls;
    Watch(dlg, seen);
    int id = kUnexpectedModal;
    if (!g_responders.empty()) {
        ModalResponder* self = g_responders.back();
        self->seen_.push_back(seen);
        id = self->answer_ ? self->answer_(dlg, self->seen_.back()) : 0;
    }
    if (id == kUnexpectedModal) {
        ADD_FAILURE() << "unexpected modal window " << Describe(seen);
        id = IDCANCEL;
    }
    if (id != 0) PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

void PumpMessages(DWORD ms) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (ms == 0) return;
    Sleep(ms);
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

size_t PrivateBytes() {
    // PagefileUsage is the same count as PrivateUsage, and the one Wine fills in.
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PagefileUsage;
}

size_t PeakExtraBytes(const std::function<void()>& work) {
    const size_t base = PrivateBytes();
    std::atomic<bool> running{true};
    std::atomic<size_t> peak{0};
    std::thread sampler([&] {
        while (running) {
            const size_t now = PrivateBytes();
            if (now > base && now - base > peak) peak = now - base;
            Sleep(1);
        }
    });
    work();
    running = false;
    sampler.join();
    const size_t now = PrivateBytes();
    return std::max<size_t>(peak, now > base ? now - base : 0);
}

void PlatformDecodeOneRow(const std::wstring& path) {
    IWICImagingFactory* factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory))))
        return;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    UINT width = 0, height = 0;
    if (SUCCEEDED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                     &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetSize(&width, &height))) {
        std::vector<BYTE> row(static_cast<size_t>(width) * 8);
        const WICRect line{0, 0, static_cast<INT>(width), 1};
        frame->CopyPixels(&line, static_cast<UINT>(row.size()), static_cast<UINT>(row.size()), row.data());
    }
    if (frame) frame->Release();
    if (decoder) decoder->Release();
    factory->Release();
}

}  // namespace tf_test
