// Search benchmark, printed as ratios against baselines measured in the same run:
//  1. the walk of a tree of 100,000 files in 5,000 directories against a bare FindFirstFileExW
//     recursion over the same tree (goal: at most 1.2x);
//  2. an automatic search adding 20,000 new files to the folder on screen: the longest time the UI
//     thread is away from its message loop (goal: at most 100 ms), and the whole add against
//     AddPaths of the same paths in one batch (goal: at most 1.5x), with the time of the walk alone,
//     which bounds the whole add from below, and the ratio against the walk plus one AddPaths.
// Usage: bench_search.exe [directories] [files-per-directory] [files-for-auto-search]
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Bench/BenchSupport.h"
#include "Config/GlobalText.h"
#include "Document/Folder.h"
#include "Filer/KvFiler.h"
#include "Kv/KvHandles.h"
#include "Kv/KvWalk.h"
#include "Kv/KvWindow.h"
#include "Search/AutoSearch.h"
#include "Support/TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// `directories` directories in two levels (about the square root of them at the top), each holding
// `files` files.
void MakeTree(const std::wstring& root, int directories, int files) {
    int top = 1;
    while (top * top < directories) ++top;
    int made = 0;
    for (int t = 0; made < directories; ++t) {
        const std::wstring upper = root + L"d" + std::to_wstring(t) + L"\\";
        CreateDirectoryW(upper.c_str(), nullptr);
        std::vector<std::wstring> dirs = {upper};
        ++made;
        for (int s = 1; s < top && made < directories; ++s, ++made) {
            dirs.push_back(upper + L"s" + std::to_wstring(s) + L"\\");
            CreateDirectoryW(dirs.back().c_str(), nullptr);
        }
        for (const std::wstring& dir : dirs)
            for (int f = 0; f < files; ++f) tf_test::WriteText(dir + L"f" + std::to_wstring(f) + L".txt", "x");
    }
}

// The baseline: the same listing with nothing but the system calls and the directory patterns.
size_t BareWalk(const std::wstring& dir) {
    WIN32_FIND_DATAW found;
    kv::UniqueHandle<kv::FindHandleTraits> find(FindFirstFileExW(
        (dir + L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return 0;
    size_t count = 0;
    do {
        const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (directory && (!wcscmp(found.cFileName, L".") || !wcscmp(found.cFileName, L".."))) continue;
        ++count;
        if (directory) count += BareWalk(dir + found.cFileName + L"\\");
    } while (FindNextFileW(find.get(), &found));
    return count;
}

size_t ToolkitWalk(const std::wstring& dir) {
    std::atomic<bool> stop{false};
    size_t count = 0;
    KvWalkDirectory(dir, KvWalkOptions{}, stop, [&](const std::wstring&, bool) { ++count; });
    return count;
}

// Runs the message loop until `done` holds; returns the longest time the thread spent away from it.
template <typename Done>
double PumpUntil(Done done, Clock::time_point since) {
    double longest = 0;
    Clock::time_point back = since;
    MSG msg;
    while (!done()) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            longest = std::max(longest, Seconds(back));
            back = Clock::now();
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        back = Clock::now();
    }
    return longest;
}

}  // namespace

int main(int argc, char** argv) {
    const int directories = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int filesPerDirectory = argc > 2 ? std::atoi(argv[2]) : 20;
    const int autoFiles = argc > 3 ? std::atoi(argv[3]) : 20000;

    BenchStartUp();

    {
        tf_test::TempDir dir;
        MakeTree(dir.path(), directories, filesPerDirectory);
        // Two rounds in opposite orders, so neither side profits from the caches the other warmed.
        double bare = 0, walk = 0;
        size_t bareCount = 0, walkCount = 0;
        for (int round = 0; round < 2; ++round) {
            for (int side = 0; side < 2; ++side) {
                const bool bareSide = (side == 0) == (round == 0);
                const auto start = Clock::now();
                if (bareSide) {
                    bareCount = BareWalk(dir.path());
                    bare += Seconds(start);
                } else {
                    walkCount = ToolkitWalk(dir.path());
                    walk += Seconds(start);
                }
            }
        }
        std::printf(
            "walk %zu items (bare %zu): KvWalkDirectory %.3f s, bare recursion %.3f s, ratio %.2f (goal <= 1.20)\n",
            walkCount, bareCount, walk / 2, bare / 2, walk / bare);
    }

    HWND parent = BenchParentWindow(L"SearchBenchParent");
    if (!parent || !Filer().Create(parent, GetModuleHandleW(nullptr), 0, 800, 600, nullptr)) {
        std::printf("cannot create the filer\n");
        return 1;
    }
    Filer().SetAutoSearch(&ProgramAutoSearch());
    {
        tf_test::TempDir dir;
        MakeTree(dir.path(), 100, autoFiles / 100);
        std::vector<std::wstring> paths;
        std::atomic<bool> stop{false};
        KvWalkOptions filesOnly;
        filesOnly.includeText = L".txt";
        const auto walkStart = Clock::now();
        KvWalkDirectory(dir.path(), filesOnly, stop, [&](const std::wstring& path, bool) { paths.push_back(path); });
        const double walkAlone = Seconds(walkStart);

        RootFolder().Clear();
        Filer().ShowFolder(&RootFolder(), false);
        auto start = Clock::now();
        Filer().AddPaths(paths, false);
        const double batch = Seconds(start);

        RootFolder().Clear();
        RootFolder().search.path = dir.path();
        RootFolder().search.limitDepth = false;
        RootFolder().search.useInclude = true;
        RootFolder().search.includeText = L".txt";
        RootFolder().search.autoUpdate = true;
        start = Clock::now();
        Filer().ShowFolder(&RootFolder(), false);
        double longest = Seconds(start);
        longest =
            std::max(longest, PumpUntil(
                                  [&] {
                                      if (Seconds(start) > 300) return true;
                                      return !ProgramAutoSearch().Running() && RootFolder().Count() >= paths.size();
                                  },
                                  Clock::now()));
        const double whole = Seconds(start);
        std::printf(
            "automatic search of %zu files: %zu added in %.3f s, AddPaths %.3f s, ratio %.2f (goal <= 1.50); "
            "longest time away from the message loop %.0f ms (goal <= 100); the walk alone %.3f s; against the walk "
            "plus one AddPaths (the fair baseline) ratio %.2f\n",
            paths.size(), RootFolder().Count(), whole, batch, whole / batch, longest * 1000, walkAlone,
            whole / (walkAlone + batch));
        RootFolder().search = SearchSettings();
        RootFolder().Clear();
        Filer().ShowFolder(&RootFolder(), false);
    }
    Filer().Destroy();
    DestroyWindow(parent);
    OleUninitialize();
    return 0;
}
