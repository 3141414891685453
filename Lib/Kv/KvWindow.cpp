// System facts, class registration and modal windows of the toolkit.
//
// A modal window is an ordinary top-level window with a nested message loop. While it is open, its
// owner and the owner's top-most ancestor are disabled, but only those that were enabled when it
// opened, so that an owner already disabled by someone else is left as it was. Every open modal
// window has a record in one process-wide list (opening order); the record also points at the
// frame of the loop that runs the window, so each nested loop ends when, and only when, its own
// window is ended, whatever order the windows are ended in.
#include "Kv/KvWindow.h"

#include <list>

#include "Kv/KvDialog.h"

const wchar_t* const KvOkLabel = L"OK";
const wchar_t* const KvCancelLabel = L"\uFF77\uFF6C\uFF9D\uFF7E\uFF99";  // ｷｬﾝｾﾙ
const wchar_t* const KvYesLabel = L"\u306F\u3044";                       // はい
const wchar_t* const KvNoLabel = L"\u3044\u3044\u3048";                  // いいえ

namespace {

const wchar_t kUnit[] = L".\\Lib\\Kv\\KvWindow";
const wchar_t kDefaultModalClass[] = L"_kv__MODAL_WINDOW___";

KvSystemInfo g_info;
KvModalHook g_hook = nullptr;
void* g_hookContext = nullptr;

// State of one running modal loop; lives on the stack of KvCreateModalDialog.
struct ModalLoop {
    bool ended = false;
    int result = 0;
};

struct ModalRecord {
    HWND dialog = nullptr;
    HWND owner = nullptr;
    HWND root = nullptr;
    bool ownerDisabled = false;
    bool rootDisabled = false;
    ModalLoop* loop = nullptr;
};

std::list<ModalRecord>& ModalRecords() {
    static std::list<ModalRecord> records;
    return records;
}

// Set while a registration failure is being reported, so that a failure to register the error
// box's own class cannot recurse into another report.
bool g_reportingRegisterFailure = false;

// Re-enables what the record disabled (the root first, then the owner), removes the record and
// marks its loop as ended with `result`. The window itself is left to the caller.
void CloseRecord(std::list<ModalRecord>::iterator it, int result) {
    ModalRecord record = *it;
    ModalRecords().erase(it);
    if (record.root && record.rootDisabled) EnableWindow(record.root, TRUE);
    if (record.owner && record.ownerDisabled) EnableWindow(record.owner, TRUE);
    if (record.loop) {
        record.loop->ended = true;
        record.loop->result = result;
    }
}

std::list<ModalRecord>::iterator FindRecord(HWND dialog) {
    auto& records = ModalRecords();
    for (auto it = records.begin(); it != records.end(); ++it) {
        if (it->dialog == dialog) return it;
    }
    return records.end();
}

void ReportRegisterFailure(const wchar_t* message, int line) {
    if (g_reportingRegisterFailure) {
        OutputDebugStringW(message);
        return;
    }
    g_reportingRegisterFailure = true;
    KvErrorBox(message, kUnit, L"KvRegisterClassEx", line);
    g_reportingRegisterFailure = false;
}

// Class and menu names of at most 128 bytes in the system's multi-byte code page; integer
// resource names pass through unchanged.
class NarrowName {
public:
    explicit NarrowName(const wchar_t* name) {
        if (!name || IS_INTRESOURCE(name)) {
            ptr_ = reinterpret_cast<const char*>(name);
            return;
        }
        int n = WideCharToMultiByte(CP_ACP, 0, name, -1, buf_, sizeof(buf_), nullptr, nullptr);
        if (n == 0) buf_[sizeof(buf_) - 1] = '\0';
        ptr_ = buf_;
    }
    const char* get() const { return ptr_; }

private:
    char buf_[128] = {};
    const char* ptr_ = nullptr;
};

bool RegisterClassOld(const WNDCLASSEXW& wc) {
    NarrowName menu(wc.lpszMenuName);
    NarrowName name(wc.lpszClassName);
    WNDCLASSEXA a{};
    a.cbSize = sizeof(a);
    a.style = wc.style;
    a.lpfnWndProc = wc.lpfnWndProc;
    a.cbClsExtra = wc.cbClsExtra;
    a.cbWndExtra = wc.cbWndExtra;
    a.hInstance = wc.hInstance;
    a.hIcon = wc.hIcon;
    a.hCursor = wc.hCursor;
    a.hbrBackground = wc.hbrBackground;
    a.lpszMenuName = menu.get();
    a.lpszClassName = name.get();
    a.hIconSm = wc.hIconSm;
    if (RegisterClassExA(&a)) return true;
    ReportRegisterFailure(L"Failed RegisterClassA!", __LINE__);
    return false;
}

}  // namespace

void KvInitSystemInfo() {
    OSVERSIONINFOW vi{};
    vi.dwOSVersionInfoSize = sizeof(vi);
#ifdef _MSC_VER
#pragma warning(suppress : 4996)
#endif
    if (GetVersionExW(&vi)) {
        g_info.majorVersion = vi.dwMajorVersion;
        g_info.minorVersion = vi.dwMinorVersion;
    }
    int dlgFrame = GetSystemMetrics(SM_CXDLGFRAME);
    g_info.frameCaptionHeight = dlgFrame + GetSystemMetrics(SM_CYCAPTION);
    g_info.frameWidth2 = 2 * dlgFrame;
    g_info.smallCaptionHeight = GetSystemMetrics(SM_CYSMCAPTION) + dlgFrame;
}

const KvSystemInfo& KvGetSystemInfo() {
    return g_info;
}

void KvSetModalHook(KvModalHook hook, void* context) {
    g_hook = hook;
    g_hookContext = context;
}

bool KvRegisterClassEx(const WNDCLASSEXW& wc) {
    if (g_info.majorVersion == 4) return RegisterClassOld(wc);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(wc.hInstance, wc.lpszClassName, &existing)) UnregisterClassW(wc.lpszClassName, wc.hInstance);
    if (RegisterClassExW(&wc)) return true;
    ReportRegisterFailure(L"Failed RegisterClass!", __LINE__);
    return false;
}

int KvCreateModalDialog(HWND owner, const wchar_t* title, DWORD exStyle, DWORD style, const wchar_t* className, int x,
                        int y, int width, int height) {
    HWND dialog = CreateWindowExW(exStyle, className, title, style, x, y, width, height, owner, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!dialog) {
        KvErrorBox(L"CreateModalDialog!\nTitleName is\n", title ? title : L"", kUnit, L"KvCreateModalDialog", __LINE__);
        return 0;
    }

    ModalLoop loop;
    ModalRecord record;
    record.dialog = dialog;
    record.owner = owner;
    record.loop = &loop;
    // The root is disabled even when the owner was already disabled: the root is the top-level
    // window the user could otherwise still reach while this window is open.
    if (owner && owner != GetDesktopWindow()) {
        if (IsWindowEnabled(owner)) {
            EnableWindow(owner, FALSE);
            record.ownerDisabled = true;
        }
        HWND root = KvGetRootWindow(owner);
        record.root = root;
        if (root && root != owner && IsWindowEnabled(root)) {
            EnableWindow(root, FALSE);
            record.rootDisabled = true;
        }
    }
    ModalRecords().push_back(record);

    if (g_hook) g_hook(dialog, g_hookContext);

    // The loop also ends when the window is destroyed without KvEndModal (its owner went away) and
    // on an application quit, which is posted again for the outer loop to see.
    MSG msg;
    while (!loop.ended) {
        if (!IsWindow(dialog)) {
            auto it = FindRecord(dialog);
            if (it != ModalRecords().end()) CloseRecord(it, 0);
            break;
        }
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            KvEndModal(dialog, 0);
            break;
        }
        if (KvDialogTabKey(dialog, msg)) continue;
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return loop.result;
}

void KvEndModal(HWND dlg, int result) {
    auto it = FindRecord(dlg);
    if (it == ModalRecords().end()) return;
    CloseRecord(it, result);
    DestroyWindow(dlg);
}

int KvDoModal(const wchar_t* className, DWORD exStyle, DWORD style, const wchar_t* title, int width, int height,
              HWND owner, WNDPROC proc) {
    const wchar_t* name = className ? className : kDefaultModalClass;
    HINSTANCE instance = GetModuleHandleW(nullptr);

    // A box opened from inside a box of the same class finds its class registered by the outer
    // one, with windows still using it: it shares that class and leaves unregistering to the outer.
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    bool shared = GetClassInfoExW(instance, name, &existing) && existing.lpfnWndProc == proc;
    if (!shared) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = proc;
        wc.cbWndExtra = DLGWINDOWEXTRA;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
        wc.lpszClassName = name;
        if (!KvRegisterClassEx(wc)) return 0;
    }
    int result = KvCreateModalDialog(owner, title, exStyle, style, name, 0, 0, width, height);
    if (!shared) UnregisterClassW(name, instance);
    return result;
}
