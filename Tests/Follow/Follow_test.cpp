#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "Document/Folder.h"
#include "Follow/DirectoryWatch.h"
#include "Follow/FileIdentity.h"
#include "Follow/IdentityStore.h"
#include "Follow/MovedSearch.h"
#include "Follow/PathRoot.h"
#include "Support/TestSupport.h"

namespace {

using tf_test::TempDir;

TEST(DirectoryWatchTest, WatchesAtMostTheLimitSkippingDirectoriesThatAreGone) {
    TempDir dir;
    std::vector<std::wstring> directories{dir / L"gone", L"Q:\\nowhere"};
    for (size_t i = 0; i < kMaxWatchedDirectories + 8; ++i) {
        const std::wstring sub = dir / (L"d" + std::to_wstring(i));
        ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
        directories.push_back(sub);
    }
    DirectoryWatch watch;
    ASSERT_TRUE(watch.Start(directories, nullptr, WM_APP));
    EXPECT_TRUE(watch.Running());
    ASSERT_EQ(watch.Watched().size(), kMaxWatchedDirectories);
    EXPECT_EQ(watch.Watched().front(), dir / L"d0");
    EXPECT_EQ(watch.Watched().back(), dir / (L"d" + std::to_wstring(kMaxWatchedDirectories - 1)));

    // Messages of an earlier run are recognised as stale.
    const uint32_t firstRun = watch.RunTag();
    ASSERT_TRUE(watch.Start({dir / L"d1"}, nullptr, WM_APP));
    EXPECT_EQ(watch.TakeChange(0, static_cast<LPARAM>(firstRun)), nullptr);
    ASSERT_NE(watch.TakeChange(0, static_cast<LPARAM>(watch.RunTag())), nullptr);
    EXPECT_EQ(*watch.TakeChange(0, static_cast<LPARAM>(watch.RunTag())), dir / L"d1");
    EXPECT_EQ(watch.TakeChange(5, static_cast<LPARAM>(watch.RunTag())), nullptr);

    watch.Stop();
    EXPECT_FALSE(watch.Running());
    EXPECT_TRUE(watch.Watched().empty());
    // Nothing to watch: nothing runs.
    EXPECT_FALSE(watch.Start({dir / L"gone"}, nullptr, WM_APP));
    EXPECT_FALSE(watch.Running());
    // The directories can be removed once the watch has ended.
    EXPECT_TRUE(RemoveDirectoryW((dir / L"d1").c_str()));
}

TEST(PathRootTest, RootsOfDriveAndNetworkPathsAndWhetherTheyAreThere) {
    EXPECT_EQ(PathRoot(L"c:\\a\\b.txt"), L"c:\\");
    EXPECT_EQ(PathRoot(L"C:/a"), L"C:\\");
    EXPECT_EQ(PathRoot(L"\\\\server\\share\\dir\\f.txt"), L"\\\\server\\share\\");
    EXPECT_EQ(PathRoot(L"\\\\server\\share"), L"\\\\server\\share\\");
    EXPECT_EQ(PathRoot(L"\\\\server"), L"");
    EXPECT_EQ(PathRoot(L"\\\\?\\C:\\a"), L"");
    EXPECT_EQ(PathRoot(L"relative\\f.txt"), L"");
    EXPECT_EQ(PathRoot(L"C:"), L"");

    RootAvailability roots;
    TempDir dir;
    EXPECT_FALSE(roots.Offline(dir / L"missing.txt"));
    EXPECT_FALSE(roots.Offline(L"relative\\f.txt"));
    char letter = 0;
    for (char c = 'q'; c <= 'y' && !letter; ++c)
        if (!(GetLogicalDrives() & (1u << (c - 'a')))) letter = c;
    ASSERT_NE(letter, 0);
    EXPECT_TRUE(roots.Offline(std::wstring(1, static_cast<wchar_t>(letter)) + L":\\docs\\f.txt"));
}

}  // namespace

namespace {

TEST(IdentityStoreTest, SidecarRoundTripsAndIsRefusedWholeWhenDamaged) {
    TempDir dir;
    const std::wstring kept = dir / L"kept.txt", gone = dir / L"gone.txt";
    ASSERT_TRUE(tf_test::WriteText(kept, "kept"));
    ASSERT_TRUE(tf_test::WriteText(gone, "gone"));
    FileIdentity keptId, goneId;
    ASSERT_TRUE(ReadFileIdentity(kept, keptId));
    ASSERT_TRUE(ReadFileIdentity(gone, goneId));
    EXPECT_FALSE(keptId.SameFile(goneId));
    EXPECT_EQ(keptId.size, 4u);

    // Refresh reads the files there, keeps what was known of a missing one, drops unused paths.
    CFolder root;
    root.Append().path = kept;
    root.Append().path = gone;
    IdentityStore store;
    store.Remember(gone, goneId);
    store.Remember(dir / L"unused.txt", goneId);
    ASSERT_TRUE(DeleteFileW(gone.c_str()));
    store.Refresh(root);
    ASSERT_EQ(store.Count(), 2u);
    ASSERT_NE(store.Find(kept), nullptr);
    EXPECT_TRUE(store.Find(kept)->SameFile(keptId));
    ASSERT_NE(store.Find(gone), nullptr);
    EXPECT_TRUE(store.Find(gone)->SameFile(goneId));
    EXPECT_EQ(store.Find(dir / L"unused.txt"), nullptr);

    const std::wstring sidecar = dir / L"p.tfolder.ids";
    ASSERT_TRUE(store.Save(sidecar));
    IdentityStore loaded;
    ASSERT_TRUE(loaded.Load(sidecar));
    EXPECT_EQ(loaded.Count(), 2u);
    ASSERT_NE(loaded.Find(kept), nullptr);
    EXPECT_TRUE(loaded.Find(kept)->SameFile(keptId));
    EXPECT_EQ(loaded.Find(kept)->written, keptId.written);

    // Any damage refuses the whole file and leaves the store empty.
    const std::vector<unsigned char> good = tf_test::ReadBytes(sidecar);
    std::vector<std::vector<unsigned char>> damaged;
    for (size_t at : {size_t{0}, size_t{9}, good.size() / 2, good.size() - 1}) {
        damaged.push_back(good);
        damaged.back()[at] ^= 0x40;
    }
    damaged.emplace_back(good.begin(), good.end() - 5);
    damaged.push_back(good);
    damaged.back().push_back(0);
    damaged.emplace_back();
    for (const auto& bytes : damaged) {
        ASSERT_TRUE(tf_test::WriteBytes(sidecar, bytes));
        EXPECT_FALSE(loaded.Load(sidecar));
        EXPECT_EQ(loaded.Count(), 0u);
    }
    EXPECT_FALSE(loaded.Load(dir / L"none.ids"));
}

}  // namespace

namespace {

TEST(MovedSearchTest, FindsAFileMovedBelowItsOldDirectoryUnlessStopped) {
    TempDir dir;
    const std::wstring old = dir / L"old\\report.txt";
    ASSERT_TRUE(CreateDirectoryW((dir / L"old").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((dir / L"old\\deeper").c_str(), nullptr));
    ASSERT_TRUE(tf_test::WriteText(old, "report"));
    LostFile lost{old, {}};
    ASSERT_TRUE(ReadFileIdentity(old, lost.identity));
    ASSERT_TRUE(MoveFileW(old.c_str(), (dir / L"old\\deeper\\renamed.txt").c_str()));

    std::atomic<bool> stop{false};
    std::vector<FoundFile> found = MovedSearch::Search({lost}, {}, stop);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].oldPath, old);
    EXPECT_EQ(found[0].newPath, dir / L"old\\deeper\\renamed.txt");

    // A stopped search looks at nothing.
    stop = true;
    EXPECT_TRUE(MovedSearch::Search({lost}, {}, stop).empty());

    // On a worker: the result arrives as one message whose list the receiver owns.
    HWND target = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(target, nullptr);
    MovedSearch search;
    ASSERT_TRUE(search.Start({lost}, {}, target, WM_APP + 7));
    MSG message{};
    bool arrived = false;
    for (int i = 0; i < 500 && !arrived; ++i) {
        arrived = PeekMessageW(&message, target, WM_APP + 7, WM_APP + 7, PM_REMOVE) != 0;
        if (!arrived) Sleep(10);
    }
    ASSERT_TRUE(arrived);
    std::unique_ptr<std::vector<FoundFile>> result = search.TakeResult(message.wParam, message.lParam);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->size(), 1u);
    search.Stop();
    EXPECT_FALSE(search.Running());

    // Held by a directory that does not answer (a hung share), the search is let go at once and
    // posts nothing, even once the directory answers.
    {
        tf_test::HungRoot hung(dir.path());
        ASSERT_TRUE(search.Start({lost}, {}, target, WM_APP + 7));
        Sleep(100);
        const DWORD start = GetTickCount();
        search.Stop();
        EXPECT_LT(GetTickCount() - start, 1000u);
        EXPECT_FALSE(search.Running());
    }
    Sleep(300);
    EXPECT_FALSE(PeekMessageW(&message, target, WM_APP + 7, WM_APP + 7, PM_REMOVE));
    DestroyWindow(target);
}

}  // namespace
