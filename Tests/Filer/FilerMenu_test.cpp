// The filer's context menu as it is built for one entry, several entries and none, under the project
// options that change it, with its owner-drawn application items and the shell's own items.
#include <gtest/gtest.h>

#include "Support/FilerMenuTestSupport.h"
#include "Support/FilerTestFixture.h"

using filer_test::AddSubfolder;
using filer_test::MenuAnswer;
using filer_test::MenuText;
using filer_test::ShellRecorder;
using tf_test::TempDir;
using tf_test::WriteText;

namespace {

const wchar_t kColours[] = L"{Colour: 19 20 21 22 23 24 25}";
const wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.tfmenuow";

class FilerMenuTest : public filer_test::FilerFixture {
protected:
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kFileExts);
        FilerFixture::TearDown();
    }

    CEntry& AddFile(const wchar_t* name) {
        EXPECT_TRUE(WriteText(dir_ / name, "x"));
        EXPECT_TRUE(Filer().AddPath(dir_ / name, false));
        return EntryAt(RootFolder(), RootFolder().Count() - 1);
    }

    // The menu built for the current selection.
    std::wstring MenuFor(std::initializer_list<int> items) {
        LVITEMW none{};
        none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
        for (int item : items) Select(item, true);
        menu_.menus.clear();
        Filer().ShowContextMenu();
        return menu_.menus.empty() ? L"<none>" : menu_.menus.back();
    }

    // The system's open-with list of ".tfmenuow" names the text-file class, opened by Notepad.
    static void RegisterOpenWith() {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kFileExts) + L"\\OpenWithList").c_str(), 0, nullptr,
                                  0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kFileExts) + L"\\OpenWithProgids").c_str(), 0,
                                  nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, L"txtfile", 0, REG_NONE, nullptr, 0);
        RegCloseKey(key);
    }

    TempDir dir_;
    MenuAnswer menu_;
};

TEST_F(FilerMenuTest, OneEntryMenusFollowTheEntryAndTheOptions) {
    CEntry& file = AddFile(L"plain.tfmenunone");
    ASSERT_TRUE(Filer().AddPath(dir_ / L"gone.txt", false));
    ASSERT_NE(AddSubfolder(RootFolder(), L"Sub"), nullptr);
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));

    // Defaults: no open-with programs for this extension, no alias, no backup, no shell items.
    EXPECT_EQ(MenuFor({0}), L"10 - 12 - 11 - 14 " + std::wstring(kColours) + L" - 15 16*");
    EXPECT_EQ(MenuFor({1}), L"30 - 11 - 14 " + std::wstring(kColours));  // missing: its file can be looked for
    EXPECT_EQ(MenuFor({2}), L"11 - " + std::wstring(kColours));     // subfolder

    CProject& project = Project();
    project.allowAlias = 1;
    project.backupEnabled = 1;
    project.menuOpenWithSubmenu = 1;
    project.backupDir = dir_ / L"backup";
    file.aliasMode = 1;
    file.relative = 1;
    file.appPath = L"C:\\windows\\system32\\notepad.exe";
    file.backupName = L"b1";
    EXPECT_EQ(MenuFor({0}),
              L"10 - {OpenWith: 12} 13 - 11 - 14 " + std::wstring(kColours) + L" - 18 17* - 15* 16 - 26 28~");

    // With backup data the history becomes available.
    ASSERT_TRUE(CreateDirectoryW(project.backupDir.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(file.BackupPath().c_str(), nullptr));
    ASSERT_TRUE(WriteText(file.BackupPath() + L"\\info.xml", "<i/>"));
    const std::wstring withBackup = MenuFor({0});
    EXPECT_EQ(withBackup.substr(withBackup.size() - 7), L"- 26 28") << withBackup;
}

TEST_F(FilerMenuTest, OpenWithProgramsAreOwnerDrawnItemsThatOpenTheEntry) {
    RegisterOpenWith();
    AddFile(L"doc.tfmenuow");
    const std::wstring tail = L" - 11 - 14 " + std::wstring(kColours) + L" - 15 16*";

    Project().menuExtensionApps = 0;
    EXPECT_EQ(MenuFor({0}), L"10 - 12" + tail);

    Project().menuExtensionApps = 1;
    bool measured = false;
    bool drawn = false;
    std::wstring label;
    menu_.inspect = [&](HMENU menu) {
        label = MenuText(menu, 100);
        MEASUREITEMSTRUCT measure{ODT_MENU, 0, 100, 0, 0, 0};
        measured = SendMessageW(list_, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)) == TRUE &&
                   measure.itemWidth > 18 && measure.itemHeight >= 16;
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 20);
        HGDIOBJ old = SelectObject(dc, bitmap);
        DRAWITEMSTRUCT draw{ODT_MENU, 0, 100, ODA_DRAWENTIRE, ODS_SELECTED, nullptr, dc, {0, 0, 200, 20}, 0};
        drawn = SendMessageW(list_, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)) == TRUE;
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    };
    const std::wstring flat = MenuFor({0});
    EXPECT_EQ(flat.rfind(L"10 - o100 ", 0), 0u) << flat;
    EXPECT_NE(flat.find(L" 12" + tail), std::wstring::npos) << flat;
    EXPECT_TRUE(measured);
    EXPECT_TRUE(drawn);
    EXPECT_NE(label.find(L"otepad"), std::wstring::npos) << label;
    menu_.inspect = nullptr;

    Project().menuOpenWithSubmenu = 1;
    const std::wstring nested = MenuFor({0});
    EXPECT_EQ(nested.rfind(L"10 - {OpenWith: o100 ", 0), 0u) << nested;

    // Choosing the program opens the entry with it.
    ShellRecorder shell;
    menu_.SetAnswer(100);
    MenuFor({0});
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_NE(shell.calls[0].file.find(L"notepad.exe"), std::wstring::npos) << shell.calls[0].file;
    EXPECT_EQ(shell.calls[0].parameters, L"\"" + (dir_ / L"doc.tfmenuow") + L"\"");
}

TEST_F(FilerMenuTest, ShellItemsGoIntoTheMenuOrTheirSubmenu) {
    AddFile(L"shell.txt");
    Project().menuShellItems = 1;
    const std::wstring flat = MenuFor({0});
    const size_t shell = flat.find(L" 12 - S - 11 - 14 ");
    EXPECT_NE(shell, std::wstring::npos) << flat;

    Project().menuShellSubmenu = 1;
    const std::wstring nested = MenuFor({0});
    EXPECT_NE(nested.find(L" 12 - {Shell: S} - 11 - 14 "), std::wstring::npos) << nested;
}

TEST_F(FilerMenuTest, SeveralEntriesListTheProjectProgramsForAllTheirExtensions) {
    AddFile(L"a.txt");
    AddFile(L"b.md");
    AddFile(L"c.txt");
    ASSERT_NE(AddSubfolder(RootFolder(), L"Sub"), nullptr);
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
    Project().apps = {
        {L"C:\\tools\\alpha.exe", L"Alpha", {L"txt", L"md"}},
        {L"C:\\tools\\beta.exe", L"", {L"txt"}},
        {L"C:\\tools\\gamma.exe", L"Gamma", {L"md", L"TXT"}},
    };

    EXPECT_EQ(MenuFor({0, 1}), L"o1000 - 11 " + std::wstring(kColours) + L" - 15 16");
    std::wstring labels[2];
    menu_.inspect = [&](HMENU menu) {
        labels[0] = MenuText(menu, 1000);
        labels[1] = MenuText(menu, 1001);
    };
    EXPECT_EQ(MenuFor({0, 2}), L"o1000 o1001 - 11 " + std::wstring(kColours) + L" - 15 16");
    EXPECT_EQ(labels[0], L"Alpha");
    EXPECT_NE(labels[1].find(L"beta"), std::wstring::npos) << labels[1];
    menu_.inspect = nullptr;

    // A subfolder in the selection has no extension any program lists.
    Project().allowAlias = 1;
    Project().backupEnabled = 1;
    EXPECT_EQ(MenuFor({0, 3}), L"11 " + std::wstring(kColours) + L" - 18 17 - 15 16 - 27");

    // Nothing selected: only the kind's items, none for a plain folder.
    EXPECT_EQ(MenuFor({}), L"");
}

}  // namespace
