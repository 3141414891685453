#include <gtest/gtest.h>

#include "Search/AutoSearch.h"
#include "Search/SearchWalk.h"
#include "Support/FilerTestFixture.h"
#include "Support/TestSupport.h"

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
    // Pumps until the search has ended and its last batch has been added.
    void Finish() {
        for (int i = 0; i < 400 && search_.Running(); ++i) tf_test::PumpMessages(10);
        tf_test::PumpMessages(50);
    }
    AutoSearch search_{Filer()};
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
