// Waits of the UI thread on a slow root (the latency seam makes every call on paths under one root
// take 500 ms, or wait until released), printed against their goals:
//  1. a search result view walking that root, closed mid-walk: the UI thread's longest gap (a
//     message sent to a window of the UI thread from another thread, waiting for its answer) from
//     the close box to the view's end, and that time itself (goal: both under 100 ms); the longest
//     gap while it walked is printed beside them;
//  2. the program chooser with its programs on that root: the longest gap while it opens and stays
//     open, and the time until it is shown (goal: both under 100 ms), beside the same dialog with
//     no programs at all (what opening the window itself costs on this machine);
//  3. the real program (start-up object, main window, message loop) showing entries on that root
//     with every call there blocked: from WM_CLOSE until the project is saved and the window is
//     torn down (goal: under 5 s), and whether the saved file holds the change made just before.
// Usage: bench_waits.exe [programs] [entries]
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "App/Master.h"
#include "Bench/BenchSupport.h"
#include "Choosers/AppSelectDlg.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "Document/ProjectFile.h"
#include "Filer/KvFiler.h"
#include "Kv/KvSlowPaths.h"
#include "Kv/KvWindow.h"
#include "MainWindow/MainWindow.h"
#include "Search/Dialogs/SearchEntryView.h"
#include "Support/TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// What the modal hook does with the next modal window: posts `message` to it after `delayMs`, and
// notes when the window was shown and when the message was posted.
struct ModalPlan {
    UINT message = WM_CLOSE;
    WPARAM wp = 0;
    DWORD delayMs = 1500;
    GapWatch* watch = nullptr;  // when set, started anew as the message is posted
    double gapBefore = 0;       // its longest gap until then
    Clock::time_point shown;
    std::atomic<bool> posted{false};
    Clock::time_point postedAt;
};

void PlanHook(HWND dlg, void* context) {
    auto* plan = static_cast<ModalPlan*>(context);
    plan->shown = Clock::now();
    std::thread([plan, dlg] {
        Sleep(plan->delayMs);
        if (plan->watch) plan->gapBefore = plan->watch->Take();
        plan->postedAt = Clock::now();
        plan->posted = true;
        PostMessageW(dlg, plan->message, plan->wp, 0);
    }).detach();
}

const char* Verdict(bool met) {
    return met ? "met" : "NOT MET";
}

// 1. A walk of `directories` directories on the slow root, closed with the close box after 1.5 s.
void MeasureResultView(HWND parent, int directories) {
    tf_test::TempDir slow;
    for (int d = 0; d < directories; ++d) {
        const std::wstring directory = slow / (L"d" + std::to_wstring(d));
        CreateDirectoryW(directory.c_str(), nullptr);
        for (int f = 0; f < 5; ++f) tf_test::WriteText(directory + L"\\f" + std::to_wstring(f) + L".txt", "x");
    }
    SearchSettings settings;
    settings.path = slow.path();
    settings.limitDepth = false;
    ModalPlan plan;
    KvSetModalHook(PlanHook, &plan);
    KvSlowDownCalls(slow.path(), 500);
    double gap = 0;
    double close = 0;
    {
        GapWatch watch(parent);
        plan.watch = &watch;
        std::vector<std::wstring> results;
        CSearchEntryView::Run(SearchViewMode::Search, &settings, parent, results);
        close = plan.posted ? Milliseconds(plan.postedAt) : -1;
        gap = watch.Longest();
    }
    KvReleaseCalls();
    KvSetModalHook(nullptr, nullptr);
    std::printf("result view closed mid-walk (%d directories at 500 ms per call): longest UI gap while closing %.0f ms, "
                "close %.0f ms (goal < 100 each: %s); longest gap while walking %.0f ms\n",
                directories, gap, close, Verdict(gap < 100 && close >= 0 && close < 100), plan.gapBefore);
}

// Registers `programs` applications for the extension ".tfbenchwait", each program a file on the
// slow root; removes them again when it goes.
class SlowPrograms {
public:
    SlowPrograms(const tf_test::TempDir& slow, int programs) : count_(programs) {
        Remove();
        const std::wstring exe = tf_test::ExeDirectory() + L"bench_waits.exe";
        for (int i = 0; i < programs; ++i) {
            const std::wstring name = L"tfbenchwait" + std::to_wstring(i) + L".exe";
            const std::wstring program = slow / name;
            CopyFileW(exe.c_str(), program.c_str(), FALSE);
            const wchar_t value[] = {static_cast<wchar_t>(L'a' + i % 26), static_cast<wchar_t>(L'a' + i / 26), L'\0'};
            RegSetKeyValueW(HKEY_CURRENT_USER, (std::wstring(kFileExts) + L"\\OpenWithList").c_str(), value, REG_SZ,
                            name.c_str(), static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
            const std::wstring command = L"\"" + program + L"\" \"%1\"";
            RegSetKeyValueW(HKEY_CLASSES_ROOT, (L"Applications\\" + name + L"\\shell\\open\\command").c_str(), nullptr,
                            REG_SZ, command.c_str(), static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
        }
    }
    ~SlowPrograms() { Remove(); }

private:
    static constexpr const wchar_t* kFileExts =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.tfbenchwait";
    void Remove() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kFileExts);
        for (int i = 0; i < count_; ++i)
            RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"Applications\\tfbenchwait" + std::to_wstring(i) + L".exe").c_str());
    }
    int count_;
};

// 2. The chooser for a file whose open-with programs all live on the slow root, cancelled after 1.5 s.
struct ChooserFigures {
    double gap = 0;
    double open = 0;
};

ChooserFigures MeasureChooser(HWND parent, int programs) {
    tf_test::TempDir local, slow;
    const SlowPrograms registration(slow, programs);
    CFolder folder;
    CEntry& entry = folder.Append();
    entry.path = local / L"notes.tfbenchwait";
    tf_test::WriteText(entry.path, "x");
    ModalPlan plan;
    plan.message = WM_COMMAND;
    plan.wp = IDCANCEL;
    KvSetModalHook(PlanHook, &plan);
    KvSlowDownCalls(slow.path(), 500);
    double gap = 0;
    double open = 0;
    {
        GapWatch watch(parent);
        std::wstring chosen;
        const Clock::time_point start = Clock::now();
        CKvAppSelectDlg::Run(entry, parent, L"bench", chosen);
        open = std::chrono::duration<double, std::milli>(plan.shown - start).count();
        gap = watch.Longest();
    }
    KvReleaseCalls();
    KvSetModalHook(nullptr, nullptr);
    folder.Clear();
    return ChooserFigures{gap, open};
}

// 3. The program on a project whose root folder shows `entries` files of the slow root, every call
// there blocked; one local file is added just before WM_CLOSE, and the saved file must hold it.
bool MeasureShutDown(int entries) {
    tf_test::TempDir local, slow;
    for (int i = 0; i < entries; ++i) tf_test::WriteText(slow / (L"s" + std::to_wstring(i) + L".txt"), "x");
    const std::wstring project = local / L"bench.tfolder";
    const std::wstring added = local / L"added.txt";
    tf_test::WriteText(added, "x");
    ResetFolderModel();
    ResetProject();
    for (int i = 0; i < entries; ++i) RootFolder().Append().path = slow / (L"s" + std::to_wstring(i) + L".txt");
    if (!SaveProject(project)) {
        std::printf("cannot write the project\n");
        return false;
    }
    ResetFolderModel();
    ResetProject();

    KvSlowDownCalls(slow.path(), kKvBlockCalls);
    const std::wstring tail = L"\"" + project + L"\"";
    if (!Master().Init(tail.c_str())) {
        KvReleaseCalls();
        std::printf("the program did not start on the benchmark project\n");
        return false;
    }
    const DWORD until = GetTickCount() + 1000;
    MSG message;
    while (static_cast<int>(until - GetTickCount()) > 0) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    Filer().AddPath(added, false);
    PostMessageW(MainWindow().Hwnd(), WM_CLOSE, 0, 0);
    const Clock::time_point start = Clock::now();
    RunMessageLoop();
    Master().Shutdown();
    const double shutDown = Milliseconds(start);
    KvReleaseCalls();

    ResetFolderModel();
    ResetProject();
    const bool loaded = LoadProject(project);
    const size_t count = RootFolder().Count();
    const bool saved = loaded && count == static_cast<size_t>(entries) + 1 &&
                       RootFolder().EntryAt(count - 1)->path == added;
    std::printf("shut-down with %d entries on a root whose calls are blocked: %.0f ms, project saved: %s "
                "(goal < 5000 ms and saved: %s)\n",
                entries, shutDown, saved ? "yes" : "no", Verdict(shutDown < 5000 && saved));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int programs = argc > 1 ? std::atoi(argv[1]) : 20;
    const int entries = argc > 2 ? std::atoi(argv[2]) : 2000;
    if (!BenchStartUp()) {
        std::printf("cannot read the text table\n");
        return 1;
    }
    HWND parent = BenchParentWindow(L"WaitsBenchParent");
    if (!parent) return 1;
    ShowWindow(parent, SW_SHOW);
    MeasureResultView(parent, 40);
    const ChooserFigures bare = MeasureChooser(parent, 0);
    const ChooserFigures slow = MeasureChooser(parent, programs);
    std::printf("program chooser with %d programs at 500 ms per call: longest UI gap %.0f ms, shown after %.0f ms "
                "(goal < 100 each: %s); with no programs: gap %.0f ms, shown after %.0f ms\n",
                programs, slow.gap, slow.open, Verdict(slow.gap < 100 && slow.open < 100), bare.gap, bare.open);
    DestroyWindow(parent);
    // The program's own start-up reads the text table again and frees it at shut-down.
    GlobalText::Release();
    const bool ran = MeasureShutDown(entries);
    OleUninitialize();
    return ran ? 0 : 1;
}
