// The filer's commands: removal with its questions (including the backup question and Cancel), the
// Delete key, the project's programs for a selection, and the commands that change entries.
#include <gtest/gtest.h>

#include "Support/FilerMenuTestSupport.h"
#include "Support/FilerTestFixture.h"
#include "Kv/KvWindow.h"

using filer_test::MenuAnswer;
using filer_test::ShellRecorder;
using tf_test::FileExists;
using tf_test::ModalResponder;
using tf_test::ModalSeen;
using tf_test::TempDir;
using tf_test::WriteText;

namespace {

class FilerCommandsTest : public filer_test::FilerFixture {
protected:
    void AddFiles(std::initializer_list<const wchar_t*> names) {
        for (const wchar_t* name : names) {
            ASSERT_TRUE(WriteText(dir_ / name, "x"));
            ASSERT_TRUE(Filer().AddPath(dir_ / name, false));
        }
    }

    // Gives entry `index` of the root backup data in "<dir>\backup\<name>".
    void GiveBackup(size_t index, const std::wstring& name) {
        Project().backupDir = dir_ / L"backup";
        CreateDirectoryW(Project().backupDir.c_str(), nullptr);
        CEntry& entry = EntryAt(RootFolder(), index);
        entry.backupName = name;
        ASSERT_TRUE(CreateDirectoryW(entry.BackupPath().c_str(), nullptr));
        ASSERT_TRUE(WriteText(entry.BackupPath() + L"\\info.xml", "<i/>"));
    }

    void SelectAll() {
        for (int i = 0; i < ItemCount(); ++i) Select(i, true);
    }

    void Command(int id) { SendMessageW(list_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    TempDir dir_;
};

TEST_F(FilerCommandsTest, RemovalAsksFirstAndNeverTouchesFiles) {
    AddFiles({L"a.txt", L"b.txt", L"c.txt"});
    EXPECT_EQ(Filer().RemoveSelected(true), 0);  // nothing selected, nothing asked

    Select(1, true);
    {
        ModalResponder cancel(IDCANCEL);
        SendMessageW(list_, WM_KEYDOWN, VK_DELETE, 0);
        ASSERT_EQ(cancel.seen().size(), 1u);
        EXPECT_EQ(cancel.seen()[0].title, GlobalText::Get(kGtBoxRemoveTitle));
        EXPECT_EQ(cancel.seen()[0].text, KvToCrLf(GlobalText::Get(kGtBoxRemoveOne)));
    }
    EXPECT_EQ(RootFolder().Count(), 3u);
    EXPECT_TRUE(ButtonEnabled(2520));  // still selected

    Select(0, true);
    {
        ModalResponder ok(IDOK);
        Command(11);
        ASSERT_EQ(ok.seen().size(), 1u);
        EXPECT_EQ(ok.seen()[0].text, KvToCrLf(GtFormat(kGtBoxRemoveMany, {2}).c_str()));
    }
    ASSERT_EQ(RootFolder().Count(), 1u);
    EXPECT_EQ(EntryAt(RootFolder(), 0).path, dir_ / L"c.txt");
    EXPECT_EQ(ItemCount(), 1);
    EXPECT_FALSE(ButtonEnabled(2520));
    EXPECT_TRUE(FileExists(dir_ / L"a.txt"));
    EXPECT_TRUE(FileExists(dir_ / L"b.txt"));
}

TEST_F(FilerCommandsTest, BackupQuestionCancelStopsAndYesDeletesTheBackup) {
    AddFiles({L"a.txt", L"b.txt", L"c.txt"});
    GiveBackup(0, L"ba");
    GiveBackup(2, L"bc");
    const std::wstring backupA = EntryAt(RootFolder(), 0).BackupPath();
    const std::wstring backupC = EntryAt(RootFolder(), 2).BackupPath();

    // The highest index is asked about first; Cancel there removes nothing at all.
    SelectAll();
    {
        ModalResponder answers([](HWND, const ModalSeen& seen) {
            return seen.title == GlobalText::Get(kGtBoxRemoveTitle) ? IDOK : IDCANCEL;
        });
        EXPECT_EQ(Filer().RemoveSelected(true), 0);
        ASSERT_EQ(answers.seen().size(), 2u);
        EXPECT_EQ(answers.seen()[1].title, GlobalText::Get(kGtBoxRemoveBackupTitle));
        const std::wstring question = GtFormat(kGtBoxRemoveBackup, {EntryAt(RootFolder(), 2).Display().displayText, backupC});
        EXPECT_EQ(answers.seen()[1].text, KvToCrLf(question.c_str()));
    }
    EXPECT_EQ(RootFolder().Count(), 3u);
    EXPECT_TRUE(FileExists(backupC + L"\\info.xml"));

    // Yes deletes c's backup, b has none, No keeps a's; without asking first (an internal move).
    {
        int backupQuestions = 0;
        ModalResponder answers([&](HWND, const ModalSeen& seen) {
            if (seen.title != GlobalText::Get(kGtBoxRemoveBackupTitle)) return IDCANCEL;
            return ++backupQuestions == 1 ? IDYES : IDNO;
        });
        EXPECT_EQ(Filer().RemoveSelected(false), 3);
        EXPECT_EQ(answers.seen().size(), 2u);
    }
    EXPECT_EQ(RootFolder().Count(), 0u);
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_FALSE(FileExists(backupC));
    EXPECT_TRUE(FileExists(backupA + L"\\info.xml"));
    EXPECT_TRUE(FileExists(dir_ / L"c.txt"));
}

TEST_F(FilerCommandsTest, ProgramOfTheSelectionStartsOnceWithEveryPathQuoted) {
    AddFiles({L"a.txt", L"b.txt", L"skip.txt", L"c.txt"});
    Project().apps = {{L"C:\\tools\\viewer.exe", L"Viewer", {L"txt"}}};
    Select(0, true);
    Select(1, true);
    Select(3, true);
    ShellRecorder shell;
    MenuAnswer menu(1000);
    Filer().ShowContextMenu();
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].file, L"C:\\tools\\viewer.exe");
    EXPECT_EQ(shell.calls[0].parameters,
              L"\"" + (dir_ / L"a.txt") + L"\" \"" + (dir_ / L"b.txt") + L"\" \"" + (dir_ / L"c.txt") + L"\" ");
}

TEST_F(FilerCommandsTest, CommandsThatChangeTheSelectedEntries) {
    Project().directory = dir_.path();
    Project().allowAlias = 1;
    AddFiles({L"a.txt", L"b.txt"});
    CEntry& a = EntryAt(RootFolder(), 0);
    CEntry& b = EntryAt(RootFolder(), 1);
    a.alias = L"Alias A";
    b.appPath = L"C:\\tools\\editor.exe";
    const std::wstring nameA = ItemText(0, 0);
    SelectAll();

    Command(19 + 5);
    EXPECT_EQ(a.colour, 5);
    EXPECT_EQ(b.colour, 5);

    Command(17);
    EXPECT_TRUE(a.aliasMode);
    EXPECT_EQ(ItemText(0, 0), L"Alias A");
    EXPECT_EQ(b.Display().displayText, b.ShownName());
    Command(18);
    EXPECT_FALSE(a.aliasMode);
    EXPECT_EQ(ItemText(0, 0), nameA);

    Command(15);
    EXPECT_TRUE(a.relative);
    EXPECT_NE(a.path, dir_ / L"a.txt");
    EXPECT_EQ(a.ResolvedPath(), dir_ / L"a.txt");
    EXPECT_EQ(ItemText(1, 1), b.path);
    // Showing the folder again leaves nothing selected.
    EXPECT_EQ(Filer().FirstSelected(), -1);
    SelectAll();
    Command(16);
    EXPECT_EQ(a.path, dir_ / L"a.txt");
    EXPECT_FALSE(b.relative);

    Select(1, true);
    Command(13);
    EXPECT_EQ(b.appPath, L"");
}

TEST_F(FilerCommandsTest, BackupCommandsFillTheStoreThatRemovalOffersToDelete) {
    Project().backupDir = dir_ / L"backup";
    AddFiles({L"a.txt", L"b.txt"});
    std::vector<std::wstring> boxes;
    auto answer = [&](HWND dlg, const ModalSeen& seen) {
        if (seen.className == L"CBackupDlg") {
            SendMessageW(dlg, WM_COMMAND, IDOK, 0);
            return IsWindow(dlg) ? IDCANCEL : 0;
        }
        boxes.push_back(seen.title);
        if (seen.title == GlobalText::Get(kGtBackupUnchangedTitle)) return 2;
        return seen.title == GlobalText::Get(kGtBoxRemoveBackupTitle) ? IDYES : IDOK;
    };
    Select(0, true);
    {
        ModalResponder answers(answer);
        Command(26);
    }
    const CEntry& a = EntryAt(RootFolder(), 0);
    ASSERT_TRUE(a.HasBackup());
    EXPECT_TRUE(FileExists(a.BackupPath() + L"1"));

    // Both selected: a is unchanged and skipped, b gets its first version.
    Select(1, true);
    {
        ModalResponder answers(answer);
        Command(27);
    }
    EXPECT_EQ(boxes,
              (std::vector<std::wstring>{GlobalText::Get(kGtBackupTitle), GlobalText::Get(kGtBackupUnchangedTitle),
                                         GlobalText::Get(kGtBackupTitle)}));
    EXPECT_FALSE(FileExists(a.BackupPath() + L"2"));
    EXPECT_TRUE(FileExists(EntryAt(RootFolder(), 1).BackupPath() + L"1"));

    const std::wstring store = a.BackupPath();
    Select(1, false);
    {
        ModalResponder answers(answer);
        Command(11);
    }
    EXPECT_EQ(RootFolder().Count(), 1u);
    EXPECT_FALSE(FileExists(store));
    EXPECT_TRUE(FileExists(dir_ / L"a.txt"));
}

}  // namespace
