#include <gtest/gtest.h>

#include "Document/FolderExtras.h"
#include "Document/ProjectFile.h"
#include "Search/AutoSearch.h"
#include "Search/SearchWalk.h"
#include "Support/FilerTestFixture.h"
#include "Support/TestSupport.h"

#include <atomic>
#include <set>
#include <string>

using filer_test::AddSubfolder;
using tf_test::TempDir;

namespace {

// `count` files in `root`, spread over ten subdirectories.
void MakeFiles(const std::wstring& root, int count) {
    for (int d = 0; d < 10; ++d) CreateDirectoryW((root + L"d" + std::to_wstring(d)).c_str(), nullptr);
    for (int i = 0; i < count; ++i)
        tf_test::WriteText(root + L"d" + std::to_wstring(i % 10) + L"\\f" + std::to_wstring(i) + L".txt", "x");
}

std::set<std::wstring> Paths(CFolder& folder) {
    std::set<std::wstring> paths;
    for (size_t i = 0; i < folder.Count(); ++i) paths.insert(folder.EntryAt(i)->path);
    return paths;
}

class AutoSearchTest : public filer_test::FilerFixture {
protected:
    void SetUp() override {
        FilerFixture::SetUp();
        Filer().SetAutoSearch(&search_);
    }
    void TearDown() override {
        FilerFixture::TearDown();
        EXPECT_FALSE(search_.Running());
        Filer().SetAutoSearch(nullptr);
    }
    // Pumps until the search has ended and its last matches have been added.
    void Finish() {
        for (int i = 0; i < 400 && search_.Running(); ++i) tf_test::PumpMessages(10);
        for (int i = 0; i < 4; ++i) tf_test::PumpMessages(50);
    }
    AutoSearch search_;
};

}  // namespace

TEST(SearchWalk, ListFollowsTheTabAndTheFlags) {
    SearchSettings settings;
    settings.path = L"C:\\one";
    settings.depth = 0;
    settings.includeText = L"inc";
    settings.exclusionText = L"exc";
    settings.useExclusion = true;
    std::vector<SearchWalkItem> list = BuildWalkList(settings);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].path, L"C:\\one");
    EXPECT_EQ(list[0].options.levelLimit, 0);
    EXPECT_EQ(list[0].options.includeText, L"");
    EXPECT_EQ(list[0].options.exclusionText, L"exc");

    settings.multipleFolders = true;
    EXPECT_TRUE(BuildWalkList(settings).empty());
    SearchFolder other;
    other.path = L"C:\\two";
    other.limitDepth = false;
    settings.folders = {other, other};
    list = BuildWalkList(settings);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].path, L"C:\\two");
    EXPECT_EQ(list[1].options.levelLimit, -1);
}

// Shown twice, a folder gets each match once; the paths reach it on the UI thread only.
TEST_F(AutoSearchTest, ShowingAFolderAddsItsMatchesOnce) {
    TempDir dir;
    MakeFiles(dir.path(), 300);
    CFolder* folder = AddSubfolder(RootFolder(), L"found");
    ASSERT_NE(folder, nullptr);
    folder->search.path = dir.path();
    folder->search.limitDepth = false;
    folder->search.useInclude = true;
    folder->search.includeText = L"f";
    folder->search.autoUpdate = true;

    ASSERT_TRUE(Filer().ShowFolder(folder, false));
    Finish();
    EXPECT_EQ(folder->Count(), 300u);
    EXPECT_EQ(ItemCount(), 300);
    ASSERT_TRUE(Filer().ShowFolder(folder, false));
    Finish();
    EXPECT_EQ(Paths(*folder).size(), 300u);
    EXPECT_EQ(folder->Count(), 300u);
}

// Leaving a folder stops and joins its search before the next folder is shown, and what it had
// queued is dropped: nothing reaches the folder shown next.
TEST_F(AutoSearchTest, LeavingAFolderNeverAddsToTheNextOne) {
    TempDir dir;
    MakeFiles(dir.path(), 2000);
    CFolder* searched = AddSubfolder(RootFolder(), L"searched");
    CFolder* plain = AddSubfolder(RootFolder(), L"plain");
    ASSERT_TRUE(searched && plain);
    searched->search.path = dir.path();
    searched->search.limitDepth = false;
    searched->search.autoUpdate = true;

    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(Filer().ShowFolder(searched, false));
        tf_test::PumpMessages(5);
        ASSERT_TRUE(Filer().ShowFolder(plain, false));
        EXPECT_FALSE(search_.Running());
        Finish();
        EXPECT_EQ(plain->Count(), 0u);
    }
    ASSERT_TRUE(Filer().ShowFolder(searched, false));
    Finish();
    EXPECT_EQ(searched->Count(), 2010u);
    EXPECT_EQ(Paths(*searched).size(), 2010u);
}

namespace {

// A tree in which one early match is followed by a long walk without any: "hit.txt" at the top,
// then many files that the include text refuses.
void MakeSparseTree(const std::wstring& root) {
    tf_test::WriteText(root + L"hit.txt", "x");
    MakeFiles(root, 200);
}

}  // namespace

// A lone match reaches the list (and the status bar's count) while the walk goes on, however long
// it runs on without another match; a match found just before the user leaves the folder is still
// added to the folder searched, and never to the one shown next.
TEST_F(AutoSearchTest, SparseMatchesShowAtOnceAndAreKeptWhenTheFolderIsLeft) {
    TempDir dir;
    MakeSparseTree(dir.path());
    CFolder* searched = AddSubfolder(RootFolder(), L"searched");
    CFolder* plain = AddSubfolder(RootFolder(), L"plain");
    ASSERT_TRUE(searched && plain);
    searched->search.path = dir.path();
    searched->search.limitDepth = false;
    searched->search.useInclude = true;
    searched->search.includeText = L"hit";
    searched->search.autoUpdate = true;

    // The worker stops after the match, as a walk of a large tree would take long to find another.
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    search_.SetMatchHook([&] { WaitForSingleObject(release, 5000); });
    ASSERT_TRUE(Filer().ShowFolder(searched, false));
    const DWORD start = GetTickCount();
    while (ItemCount() == 0 && GetTickCount() - start < 2000) tf_test::PumpMessages(5);
    EXPECT_EQ(ItemCount(), 1);
    EXPECT_TRUE(search_.Running());
    EXPECT_EQ(StatusText(0), GtFormat(kGtStatusCount, {1}));
    SetEvent(release);
    Finish();
    EXPECT_EQ(searched->Count(), 1u);

    // Left before the next tick, with the worker held (as in a call on a share that does not
    // answer): leaving does not wait for it, and the match stays with its folder.
    ResetEvent(release);
    searched->Clear();
    ASSERT_TRUE(Filer().ShowFolder(plain, false));
    std::atomic<bool> matched{false};
    search_.SetMatchHook([&matched, release] {
        matched = true;
        WaitForSingleObject(release, 10000);
    });
    ASSERT_TRUE(Filer().ShowFolder(searched, false));
    for (int i = 0; i < 5000 && !matched; ++i) Sleep(1);
    ASSERT_TRUE(matched);
    const DWORD leaving = GetTickCount();
    ASSERT_TRUE(Filer().ShowFolder(plain, false));
    EXPECT_LT(GetTickCount() - leaving, 2000u);
    SetEvent(release);
    EXPECT_EQ(searched->Count(), 1u);
    EXPECT_EQ(plain->Count(), 0u);
    EXPECT_EQ(ItemCount(), 0);
    search_.SetMatchHook(nullptr);
    // The held worker may still be inside the hook; the event it waits on stays open.
}

// The single search folder's exclusion text has no field in the project file: it is kept in the
// sidecar beside it, so after a restart the automatic search still skips the excluded directory.
// The project file's bytes are the same with and without it; a damaged sidecar is ignored whole.
TEST_F(AutoSearchTest, ExclusionTextSurvivesSaveAndLoadWithoutChangingTheProjectFile) {
    TempDir dir, store;
    for (const wchar_t* sub : {L"tmp", L"keep"}) CreateDirectoryW((dir / sub).c_str(), nullptr);
    tf_test::WriteText(dir / L"tmp\\inside.txt", "x");
    tf_test::WriteText(dir / L"keep\\kept.txt", "x");
    CFolder* folder = AddSubfolder(RootFolder(), L"found");
    ASSERT_NE(folder, nullptr);
    const uint32_t id = folder->id;
    folder->search.path = dir.path();
    folder->search.limitDepth = false;
    folder->search.autoUpdate = true;
    folder->search.useExclusion = true;

    const std::wstring plainFile = store / L"plain.tfolder", project = store / L"p.tfolder";
    ASSERT_TRUE(SaveProject(plainFile));
    EXPECT_FALSE(tf_test::FileExists(FolderExtrasPathFor(plainFile)));
    folder->search.exclusionText = L"tmp";
    ASSERT_TRUE(SaveProject(project));
    EXPECT_EQ(tf_test::ReadBytes(project), tf_test::ReadBytes(plainFile));
    ASSERT_TRUE(tf_test::FileExists(FolderExtrasPathFor(project)));

    ResetFolderModel();
    ASSERT_TRUE(LoadProject(project));
    folder = RootFolder().FindById(id);
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->search.exclusionText, L"tmp");
    EXPECT_TRUE(folder->search.useExclusion);
    ASSERT_TRUE(Filer().ShowFolder(folder, false));
    Finish();
    const std::set<std::wstring> paths = Paths(*folder);
    EXPECT_EQ(paths, (std::set<std::wstring>{dir / L"keep", dir / L"keep\\kept.txt"}));

    // One byte changed anywhere: the sidecar is ignored, the project loads as it is.
    std::vector<unsigned char> bytes = tf_test::ReadBytes(FolderExtrasPathFor(project));
    bytes[bytes.size() / 2] ^= 0x20;
    ASSERT_TRUE(tf_test::WriteBytes(FolderExtrasPathFor(project), bytes));
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
    ResetFolderModel();
    ASSERT_TRUE(LoadProject(project));
    ASSERT_NE(RootFolder().FindById(id), nullptr);
    EXPECT_EQ(RootFolder().FindById(id)->search.exclusionText, L"");
}
