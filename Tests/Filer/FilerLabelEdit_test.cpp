// Label editing in the filer: who may edit, renaming subfolders, aliases and files on disk, and the
// rules that keep a rename inside the file's directory and never overwrite or lose a file.
#include <gtest/gtest.h>

#include "Filer/FilerLabelEdit.h"
#include "Support/FilerTestFixture.h"

using filer_test::AddSubfolder;
using tf_test::FileExists;
using tf_test::ModalResponder;
using tf_test::ReadBytes;
using tf_test::TempDir;
using tf_test::WriteBytes;
using tf_test::WriteText;

namespace {

class FilerLabelEditTest : public filer_test::FilerFixture {};

TEST(FilerFileName, OnlyASingleNameInsideTheDirectoryIsAccepted) {
    for (const wchar_t* good : {L"a.txt", L"no extension", L"日本語.doc", L"..a", L"a..b", L".hidden"})
        EXPECT_TRUE(IsPlainFileName(good)) << testing::PrintToString(std::wstring(good));
    for (const wchar_t* bad : {L"", L".", L"..", L"d\\x.txt", L"..\\x.txt", L"d/x.txt", L"c:x.txt", L"a*b", L"a?b",
                               L"a\"b", L"a<b", L"a>b", L"a|b", L"tab\there", L"\x1f"})
        EXPECT_FALSE(IsPlainFileName(bad)) << testing::PrintToString(std::wstring(bad));
}

TEST_F(FilerLabelEditTest, BeginIsAllowedForFoldersAndForFilesOnlyWhenTheProjectAllowsIt) {
    TempDir dir;
    ASSERT_TRUE(WriteText(dir / L"file.txt", "x"));
    ASSERT_NE(AddSubfolder(RootFolder(), L"Folder"), nullptr);
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
    ASSERT_TRUE(Filer().AddPath(dir / L"file.txt", false));
    ASSERT_TRUE(Filer().AddPath(dir / L"gone.txt", false));

    EXPECT_TRUE(BeginEditAllowed(0));
    EXPECT_FALSE(BeginEditAllowed(1));
    EXPECT_FALSE(BeginEditAllowed(2));
    Project().allowRename = 1;
    EXPECT_TRUE(BeginEditAllowed(1));
    EXPECT_FALSE(BeginEditAllowed(2));  // a missing entry is never renamed
    Project().allowRename = 0;
    Project().allowAlias = 1;
    EXPECT_FALSE(BeginEditAllowed(1));
    EntryAt(RootFolder(), 1).aliasMode = 1;
    EXPECT_TRUE(BeginEditAllowed(1));
}

TEST_F(FilerLabelEditTest, FoldersAndAliasesTakeTheTextWithoutTouchingFiles) {
    TempDir dir;
    ASSERT_TRUE(WriteText(dir / L"file.txt", "x"));
    ASSERT_NE(AddSubfolder(RootFolder(), L"Folder"), nullptr);
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
    ASSERT_TRUE(Filer().AddPath(dir / L"file.txt", false));

    EndEdit(0, L"Renamed");
    EXPECT_EQ(EntryAt(RootFolder(), 0).name, L"Renamed");
    EXPECT_EQ(ItemText(0, 0), L"Renamed");

    Project().allowAlias = 1;
    Project().allowRename = 1;
    CEntry& file = EntryAt(RootFolder(), 1);
    file.aliasMode = 1;
    EndEdit(1, L"my alias");
    EXPECT_EQ(file.alias, L"my alias");
    EXPECT_EQ(ItemText(1, 0), L"my alias");
    EXPECT_EQ(file.path, dir / L"file.txt");
    EXPECT_TRUE(FileExists(dir / L"file.txt"));

    // A cancelled edit changes nothing.
    EndEdit(0, nullptr);
    EndEdit(1, nullptr);
    EXPECT_EQ(EntryAt(RootFolder(), 0).name, L"Renamed");
    EXPECT_EQ(file.alias, L"my alias");
}

TEST_F(FilerLabelEditTest, RenamingAFileMovesItInsideItsDirectoryOnly) {
    TempDir dir;
    ASSERT_TRUE(CreateDirectoryW((dir / L"d").c_str(), nullptr));
    ASSERT_TRUE(WriteText(dir / L"old.txt", "old"));
    ASSERT_TRUE(WriteText(dir / L"taken.txt", "taken"));
    Project().allowRename = 1;
    ASSERT_TRUE(Filer().AddPath(dir / L"old.txt", false));
    Filer().CompleteDisplayData();
    CEntry& entry = EntryAt(RootFolder(), 0);
    const std::wstring oldName = entry.name;

    // Texts that are not one file name are refused with the empty-name message; nothing moves.
    for (const wchar_t* bad : {L"", L"d\\x.txt"}) {
        ModalResponder responder(IDOK);
        EndEdit(0, bad);
        ASSERT_EQ(responder.seen().size(), 1u) << "text: " << testing::PrintToString(std::wstring(bad));
        EXPECT_EQ(responder.seen()[0].title, GlobalText::Get(kGtBoxEmptyName));
        EXPECT_EQ(entry.path, dir / L"old.txt");
        EXPECT_EQ(entry.name, oldName);
    }
    EXPECT_TRUE(FileExists(dir / L"old.txt"));
    EXPECT_FALSE(FileExists(dir / L"d\\x.txt"));
    EXPECT_FALSE(FileExists(dir / L"x.txt"));

    // An existing file of the new name is never replaced, and the entry stays as it was.
    EndEdit(0, L"taken.txt");
    EXPECT_EQ(entry.path, dir / L"old.txt");
    EXPECT_EQ(ReadBytes(dir / L"taken.txt"), std::vector<unsigned char>({'t', 'a', 'k', 'e', 'n'}));
    EXPECT_TRUE(FileExists(dir / L"old.txt"));

    // A good name moves the file; the whole name is replaced, extension included.
    EndEdit(0, L"new.log");
    EXPECT_FALSE(FileExists(dir / L"old.txt"));
    EXPECT_EQ(ReadBytes(dir / L"new.log"), std::vector<unsigned char>({'o', 'l', 'd'}));
    EXPECT_EQ(entry.path, dir / L"new.log");
    EXPECT_EQ(entry.name, L"new.log");
    EXPECT_EQ(ItemText(0, 0), L"new.log");
    EXPECT_EQ(ItemText(0, 1), dir / L"new.log");

    // The renamed path is what the duplicate check now knows.
    EXPECT_FALSE(Filer().AddPath(dir / L"new.log", false));
    EXPECT_TRUE(Filer().AddPath(dir / L"old.txt", false));

    // Without the project's permission the file is left alone.
    Project().allowRename = 0;
    EndEdit(0, L"other.log");
    EXPECT_TRUE(FileExists(dir / L"new.log"));
    EXPECT_EQ(entry.path, dir / L"new.log");
}

TEST_F(FilerLabelEditTest, ARelativeEntryStaysRelativeAfterARename) {
    TempDir dir;
    ASSERT_TRUE(CreateDirectoryW((dir / L"files").c_str(), nullptr));
    ASSERT_TRUE(WriteText(dir / L"files\\a.txt", "a"));
    Project().directory = dir.path();
    Project().allowRename = 1;
    CEntry& entry = RootFolder().Append();
    entry.path = L"files\\a.txt";
    entry.relative = 1;
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
    ASSERT_FALSE(entry.missing);

    EndEdit(0, L"b.txt");
    EXPECT_EQ(entry.path, L"files\\b.txt");
    EXPECT_EQ(entry.relative, 1);
    EXPECT_EQ(entry.ResolvedPath(), dir / L"files\\b.txt");
    EXPECT_TRUE(FileExists(dir / L"files\\b.txt"));
}

TEST_F(FilerLabelEditTest, EditingThroughTheListViewRenamesTheFile) {
    TempDir dir;
    ASSERT_TRUE(WriteText(dir / L"typed.txt", "t"));
    Project().allowRename = 1;
    ASSERT_TRUE(Filer().AddPath(dir / L"typed.txt", false));

    SetFocus(list_);
    HWND edit = reinterpret_cast<HWND>(SendMessageW(list_, LVM_EDITLABELW, 0, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, L"typed2.txt");
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    tf_test::PumpMessages();
    EXPECT_TRUE(FileExists(dir / L"typed2.txt"));
    EXPECT_EQ(EntryAt(RootFolder(), 0).path, dir / L"typed2.txt");

    // Escape cancels: the file keeps its name.
    edit = reinterpret_cast<HWND>(SendMessageW(list_, LVM_EDITLABELW, 0, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, L"never.txt");
    SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
    tf_test::PumpMessages();
    EXPECT_TRUE(FileExists(dir / L"typed2.txt"));
    EXPECT_FALSE(FileExists(dir / L"never.txt"));
}

}  // namespace
