// The filer's back/forward history through navigation of the real filer: the capacity of 15,
// truncation of the forward part, going up, and steps to folders deleted meanwhile.
#include <gtest/gtest.h>

#include <vector>

#include "Support/FilerTestFixture.h"

using filer_test::AddSubfolder;

namespace {

class FilerHistoryTest : public filer_test::FilerFixture {};

TEST_F(FilerHistoryTest, AfterSixteenNavigationsTheLastFifteenFoldersAreReachable) {
    std::vector<CFolder*> folders;
    for (int i = 0; i < 16; ++i) {
        CFolder* folder = AddSubfolder(RootFolder(), L"F" + std::to_wstring(i + 1));
        ASSERT_NE(folder, nullptr);
        folders.push_back(folder);
    }
    EXPECT_FALSE(ButtonEnabled(2517));
    for (CFolder* folder : folders) Filer().NavigateTo(folder);
    EXPECT_EQ(Filer().CurrentFolder(), folders[15]);
    EXPECT_TRUE(ButtonEnabled(2517));
    EXPECT_FALSE(ButtonEnabled(2518));

    std::vector<CFolder*> visited;
    for (int i = 0; i < 20; ++i) {
        Filer().GoBack();
        if (visited.empty() || visited.back() != Filer().CurrentFolder()) visited.push_back(Filer().CurrentFolder());
    }
    ASSERT_EQ(visited.size(), 14u);
    EXPECT_EQ(visited.front(), folders[14]);
    EXPECT_EQ(visited.back(), folders[1]);  // the root and F1 fell out of the history
    EXPECT_FALSE(ButtonEnabled(2517));
    EXPECT_TRUE(ButtonEnabled(2518));

    for (int i = 0; i < 20; ++i) Filer().GoForward();
    EXPECT_EQ(Filer().CurrentFolder(), folders[15]);
    EXPECT_FALSE(ButtonEnabled(2518));
    EXPECT_TRUE(ButtonEnabled(2517));
}

TEST_F(FilerHistoryTest, GoingBackToADeletedFolderLeavesTheViewAndDisablesBack) {
    CFolder* a = AddSubfolder(RootFolder(), L"A");
    CFolder* b = AddSubfolder(RootFolder(), L"B");
    ASSERT_TRUE(a && b);
    ASSERT_NE(AddSubfolder(*b, L"inside B"), nullptr);
    Filer().NavigateTo(a);
    Filer().NavigateTo(b);
    ASSERT_EQ(ItemCount(), 1);

    RootFolder().RemoveAt(0);  // A goes away while B is on screen
    Filer().GoBack();
    EXPECT_EQ(Filer().CurrentFolder(), b);
    EXPECT_EQ(ItemCount(), 1);
    EXPECT_EQ(ItemText(0, 0), L"inside B");
    EXPECT_FALSE(ButtonEnabled(2517));
    EXPECT_TRUE(Filer().History().AtEnd() || Filer().History().At(Filer().History().Cursor()) == b->id);

    // Forward has nothing to offer, and a new navigation works as before.
    Filer().GoForward();
    EXPECT_EQ(Filer().CurrentFolder(), b);
    Filer().NavigateTo(&RootFolder());
    EXPECT_EQ(Filer().CurrentFolder(), &RootFolder());
    Filer().GoBack();
    EXPECT_EQ(Filer().CurrentFolder(), b);
}

TEST_F(FilerHistoryTest, GoingUpShowsTheParentAndRecordsIt) {
    CFolder* a = AddSubfolder(RootFolder(), L"A");
    ASSERT_NE(a, nullptr);
    CFolder* c = AddSubfolder(*a, L"C");
    ASSERT_NE(c, nullptr);
    Filer().NavigateTo(a);
    Filer().NavigateTo(c);

    Filer().GoUp();
    EXPECT_EQ(Filer().CurrentFolder(), a);
    EXPECT_TRUE(ButtonEnabled(2522));
    Filer().GoUp();
    EXPECT_EQ(Filer().CurrentFolder(), &RootFolder());
    EXPECT_FALSE(ButtonEnabled(2522));
    Filer().GoUp();
    EXPECT_EQ(Filer().CurrentFolder(), &RootFolder());

    Filer().GoBack();
    EXPECT_EQ(Filer().CurrentFolder(), a);
    Filer().GoBack();
    EXPECT_EQ(Filer().CurrentFolder(), c);

    // After a project load the history holds only the root.
    Filer().ShowRootAfterLoad();
    EXPECT_EQ(Filer().CurrentFolder(), &RootFolder());
    EXPECT_EQ(Filer().History().Size(), 1u);
    Filer().GoBack();
    EXPECT_EQ(Filer().CurrentFolder(), &RootFolder());
}

}  // namespace
