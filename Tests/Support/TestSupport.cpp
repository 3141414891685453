#include "Support/TestSupport.h"

#include "Kv/KvWindow.h"

#include <psapi.h>
#include <shellapi.h>
#include <wincodec.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <fstream>

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
// Responders nest; the innermost answers. With none alive, a modal window is ended with Cancel (2)
// so that an unexpected box can never hang a test.
std::vector<ModalResponder*> g_responders;
}  // namespace

ModalResponder::ModalResponder(Answer answer) : answer_(std::move(answer)) {
    g_responders.push_back(this);
}

ModalResponder::~ModalResponder() {
    g_responders.pop_back();
}

void InstallModalHook() {
    KvSetModalHook(&ModalResponder::Hook, nullptr);
}

void ModalResponder::Hook(HWND dlg, void*) {
    if (g_responders.empty()) {
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return;
    }
    ModalResponder* self = g_responders.back();
    ModalSeen seen;
    seen.title = WindowText(dlg);
    if (HWND text = GetDlgItem(dlg, 100)) seen.text = WindowText(text);
    wchar_t cls[256] = {};
    GetClassNameW(dlg, cls, 256);
    seen.className = cls;
    self->seen_.push_back(seen);
    int id = self->answer_ ? self->answer_(dlg, self->seen_.back()) : 0;
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
