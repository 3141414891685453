// The filer's list view driven by keys, characters and the right button: Ctrl+A, copy and paste of
// file lists, type-ahead with its timer, the right-button gesture and the right-click selection.
#include <gtest/gtest.h>

#include "Support/FilerMenuTestSupport.h"
#include "Support/FilerTestFixture.h"
#include "Kv/KvClipboard.h"

using filer_test::AddSubfolder;
using filer_test::MenuAnswer;
using filer_test::RightClick;
using filer_test::SendCtrlChar;
using tf_test::TempDir;
using tf_test::WriteText;

namespace {

class FilerInputTest : public filer_test::FilerFixture {
protected:
    // Files named `names` in the temporary folder, added to the root in order.
    void AddFiles(std::initializer_list<const wchar_t*> names) {
        for (const wchar_t* name : names) {
            ASSERT_TRUE(WriteText(dir_ / name, "x"));
            ASSERT_TRUE(Filer().AddPath(dir_ / name, false));
        }
    }

    int SelectedCount() const { return static_cast<int>(SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0)); }

    POINT CentreOf(int item) const {
        RECT bounds{};
        bounds.left = LVIR_SELECTBOUNDS;
        SendMessageW(list_, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&bounds));
        return POINT{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
    }

    TempDir dir_;
};

TEST_F(FilerInputTest, CtrlASelectsEverythingThenNothing) {
    AddFiles({L"a.txt", L"b.txt", L"c.txt"});
    Select(1, true);
    SendCtrlChar(list_, 0x01);
    EXPECT_EQ(SelectedCount(), 3);
    SendCtrlChar(list_, 0x01);
    EXPECT_EQ(SelectedCount(), 0);
    // Without Ctrl the same character is no shortcut.
    SendMessageW(list_, WM_CHAR, 0x01, 0);
    EXPECT_EQ(SelectedCount(), 0);
}

TEST_F(FilerInputTest, CopyAndPasteCarryTheFilesOfTheSelection) {
    AddFiles({L"one.txt", L"two.txt"});
    ASSERT_TRUE(Filer().AddPath(dir_ / L"gone.txt", false));
    CFolder* sub = AddSubfolder(RootFolder(), L"Sub");
    ASSERT_NE(sub, nullptr);
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));

    EXPECT_FALSE(Filer().CopySelected());  // nothing selected
    SendCtrlChar(list_, 0x01);
    SendCtrlChar(list_, 0x03);
    std::vector<std::wstring> onClipboard;
    ASSERT_TRUE(KvReadClipboardFiles(list_, onClipboard));
    // The missing entry and the subfolder have no file to give.
    EXPECT_EQ(onClipboard, (std::vector<std::wstring>{dir_ / L"one.txt", dir_ / L"two.txt"}));

    ASSERT_TRUE(Filer().ShowFolder(sub, false));
    SendCtrlChar(list_, 0x16);
    ASSERT_EQ(sub->Count(), 2u);
    EXPECT_EQ(EntryAt(*sub, 0).path, dir_ / L"one.txt");
    EXPECT_EQ(EntryAt(*sub, 1).path, dir_ / L"two.txt");
    EXPECT_EQ(ItemCount(), 2);
    // Pasting again adds nothing and selects what is there.
    Select(0, false);
    Select(1, false);
    EXPECT_EQ(Filer().PasteFiles(), 0);
    EXPECT_EQ(sub->Count(), 2u);
    EXPECT_TRUE(Selected(0));
    EXPECT_TRUE(Selected(1));
}

TEST_F(FilerInputTest, TypeAheadBringsMatchesToFrontUntilTheTimerClearsIt) {
    AddFiles({L"xab.txt", L"abc.txt", L"b.txt", L"ABd.txt", L"ax.txt"});
    SendMessageW(list_, WM_CHAR, L'a', 0);
    SendMessageW(list_, WM_CHAR, L'b', 0);
    SendMessageW(list_, WM_CHAR, L'-', 0);  // not a type-ahead character
    EXPECT_EQ(StatusText(2), L"ab");
    ASSERT_EQ(ItemCount(), 5);
    EXPECT_EQ(ItemText(0, 0).substr(0, 3), L"abc");
    EXPECT_EQ(ItemText(1, 0).substr(0, 3), L"ABd");
    EXPECT_TRUE(Selected(0));
    EXPECT_EQ(SelectedCount(), 1);

    // The buffer empties through the real one-second timer.
    const DWORD typed = GetTickCount();
    while (!StatusText(2).empty() && GetTickCount() - typed < 5000) tf_test::PumpMessages(50);
    EXPECT_EQ(StatusText(2), L"");
    // A new run starts from an empty buffer.
    SendMessageW(list_, WM_CHAR, L'X', 0);
    EXPECT_EQ(StatusText(2), L"X");
    EXPECT_EQ(ItemText(0, 0).substr(0, 3), L"xab");
}

TEST_F(FilerInputTest, RightButtonGestureGoesBackOrOpensTheMenu) {
    CFolder* sub = AddSubfolder(RootFolder(), L"Sub");
    ASSERT_NE(sub, nullptr);
    Filer().NavigateTo(sub);
    MenuAnswer menu;

    // 40 pixels left with 3 pixels of vertical movement: back, no menu.
    RightClick(list_, {200, 100}, {160, 103});
    EXPECT_EQ(Filer().CurrentFolder(), &RootFolder());
    EXPECT_TRUE(menu.menus.empty());
    // To the right: forward again.
    RightClick(list_, {160, 100}, {200, 98});
    EXPECT_EQ(Filer().CurrentFolder(), sub);

    // 12 pixels of vertical movement make it a click: the menu opens and nothing navigates.
    RightClick(list_, {200, 100}, {160, 112});
    EXPECT_EQ(Filer().CurrentFolder(), sub);
    EXPECT_EQ(menu.menus.size(), 1u);

    // With gestures off every right click is a menu.
    Project().mouseGesture = 0;
    RightClick(list_, {200, 100}, {160, 103});
    EXPECT_EQ(Filer().CurrentFolder(), sub);
    EXPECT_EQ(menu.menus.size(), 2u);
}

TEST_F(FilerInputTest, RightClickSelectsTheItemUnderThePointOrNothing) {
    AddFiles({L"a.txt", L"b.txt", L"c.txt"});
    MenuAnswer menu;

    // On an unselected item: only that item, and the one-entry menu.
    Select(0, true);
    const POINT third = CentreOf(2);
    RightClick(list_, third, third);
    EXPECT_FALSE(Selected(0));
    EXPECT_TRUE(Selected(2));
    EXPECT_EQ(SelectedCount(), 1);
    ASSERT_EQ(menu.menus.size(), 1u);
    EXPECT_EQ(menu.menus[0].rfind(L"10 - ", 0), 0u) << menu.menus[0];

    // On one of several selected items: the selection stays and the several-entry menu opens.
    Select(0, true);
    const POINT first = CentreOf(0);
    RightClick(list_, first, first);
    EXPECT_EQ(SelectedCount(), 2);
    ASSERT_EQ(menu.menus.size(), 2u);
    EXPECT_EQ(menu.menus[1].rfind(L"11 {Colour:", 0), 0u) << menu.menus[1];

    // On empty space: nothing selected and the kind's menu, which is empty for a plain folder.
    RightClick(list_, {first.x, 400}, {first.x, 400});
    EXPECT_EQ(SelectedCount(), 0);
    ASSERT_EQ(menu.menus.size(), 3u);
    EXPECT_EQ(menu.menus[2], L"");
}

}  // namespace
