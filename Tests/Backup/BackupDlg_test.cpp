// The backup dialog through the toolkit's modal seam: its questions for unchanged files and for
// dropped versions, the several-entries form with yes-to-all and no-to-all, and what each answer
// leaves in the store.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "Backup/Dialogs/BackupDlg.h"
#include "Backup/Store/BackupInfo.h"
#include "Backup/Store/BackupStore.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "Kv/KvCopyProgress.h"
#include "Kv/KvFiles.h"
#include "Kv/KvWindow.h"
#include "Support/EmptyProject.h"
#include "Support/TestSupport.h"

namespace {

using backup::BackupMode;
using tf_test::FileExists;
using tf_test::ReadBytes;
using tf_test::TempDir;
using tf_test::WriteText;

std::string Read(const std::wstring& path) {
    const auto bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

class BackupDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tf_test::StartWithEmptyProject());
        Project().backupDir = dir_ / L"store\\";
    }
    void TearDown() override {
        ResetFolderModel();
        ResetProject();
    }

    CEntry& AddEntry(const std::wstring& name, const std::string& content) {
        CEntry& e = RootFolder().Append();
        e.name = name;
        e.path = dir_ / name;
        WriteText(e.path, content);
        return e;
    }

    std::wstring Store(const std::wstring& name) const { return dir_ / (L"store\\" + name + L"\\"); }

    // Answers every window: the backup dialog gets `comment` typed and its button 1 pressed at once
    // (and is cancelled when it stays open); boxes get the answer `answers` gives for their title.
    // Returns the title and text of every box in order.
    std::vector<std::wstring> RunWith(const std::function<bool()>& run, bool& result,
                                      const std::function<int(const std::wstring& title)>& answers) {
        std::vector<std::wstring> boxes;
        tf_test::ModalResponder responder([&](HWND dlg, const tf_test::ModalSeen& seen) {
            if (seen.className == L"CBackupDlg") {
                SetDlgItemTextW(dlg, 200, L"my comment");
                SendMessageW(dlg, WM_COMMAND, IDOK, 0);
                return IsWindow(dlg) ? IDCANCEL : 0;
            }
            boxes.push_back(seen.title + L"|" + seen.text);
            return answers(seen.title);
        });
        result = run();
        return boxes;
    }

    static std::wstring Box(int title, const std::wstring& text) {
        return GlobalText::Get(title) + (L"|" + KvToCrLf(text.c_str()));
    }

    TempDir dir_;
};

TEST_F(BackupDlgTest, OneEntryAsksBeforeRepeatingAFileOrDroppingLaterVersions) {
    CEntry& e = AddEntry(L"doc.txt", "one");
    const wchar_t* title = GlobalText::Get(kGtBackupTitle);
    auto once = [&] { return CBackupDlg::Run(e, BackupMode::Normal, nullptr, title); };
    bool ran = false;
    const std::wstring done = Box(kGtBackupTitle, GlobalText::Get(kGtBackupDoneOne));

    auto boxes = RunWith(once, ran, [](const std::wstring&) { return IDOK; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(boxes, std::vector<std::wstring>{done});
    EXPECT_EQ(Read(Store(L"doc.txt") + L"1"), "one");
    EXPECT_NE(Read(Store(L"doc.txt") + L"info.xml").find(">my comment</comment>"), std::string::npos);

    // Unchanged: asked; Cancel keeps the dialog and writes nothing.
    const std::string index = Read(Store(L"doc.txt") + L"info.xml");
    boxes = RunWith(once, ran, [](const std::wstring&) { return IDCANCEL; });
    EXPECT_FALSE(ran);
    EXPECT_EQ(boxes, std::vector<std::wstring>{Box(kGtBackupUnchangedTitle, GlobalText::Get(kGtBackupUnchangedOne))});
    EXPECT_FALSE(FileExists(Store(L"doc.txt") + L"2"));
    EXPECT_EQ(Read(Store(L"doc.txt") + L"info.xml"), index);

    // Versions 2 and 3, then back to 1: a normal backup asks before dropping 2 and 3.
    boxes = RunWith(once, ran, [](const std::wstring&) { return IDOK; });
    EXPECT_EQ(boxes.size(), 2u);
    WriteText(e.path, "three");
    RunWith(once, ran, [](const std::wstring&) { return IDOK; });
    ASSERT_TRUE(FileExists(Store(L"doc.txt") + L"3"));
    ASSERT_TRUE(backup::UpdateVersion(Store(L"doc.txt"), 1));
    WriteText(e.path, "new two");
    const std::wstring drop = Box(kGtBackupTitle, GtFormat(kGtBackupDropLaterOne, {2}));
    boxes = RunWith(once, ran, [](const std::wstring&) { return IDNO; });
    EXPECT_FALSE(ran);
    EXPECT_EQ(boxes, std::vector<std::wstring>{drop});
    EXPECT_EQ(Read(Store(L"doc.txt") + L"2"), "one");

    boxes = RunWith(once, ran, [](const std::wstring&) { return IDYES; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(boxes, (std::vector<std::wstring>{drop, done}));
    EXPECT_EQ(Read(Store(L"doc.txt") + L"2"), "new two");
    EXPECT_FALSE(FileExists(Store(L"doc.txt") + L"3"));
    backup::Versions counters;
    ASSERT_TRUE(backup::GetVersion(Store(L"doc.txt"), counters));
    EXPECT_EQ(counters.endVersion, 2);
    EXPECT_EQ(counters.nowVersion, 2);

    // The entry's file is gone: warned, nothing recorded.
    DeleteFileW(e.path.c_str());
    boxes = RunWith(once, ran, [](const std::wstring&) { return IDOK; });
    EXPECT_FALSE(ran);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].find(L"警告|"), 0u);
    EXPECT_FALSE(FileExists(Store(L"doc.txt") + L"3"));
}

TEST_F(BackupDlgTest, SeveralEntriesYesToAllAndNoToAllAskOnce) {
    std::vector<CEntry*> entries = {&AddEntry(L"a.txt", "a"), &AddEntry(L"b.txt", "b"), &AddEntry(L"c.txt", "c")};
    auto all = [&] { return CBackupDlg::Run(entries, nullptr, GlobalText::Get(kGtBackupTitle)); };
    bool ran = false;
    auto boxes = RunWith(all, ran, [](const std::wstring&) { return IDOK; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(boxes, std::vector<std::wstring>{Box(kGtBackupTitle, GtFormat(kGtBackupDoneMany, {3}))});

    const std::wstring unchangedTitle = GlobalText::Get(kGtBackupUnchangedTitle);
    boxes = RunWith(all, ran, [&](const std::wstring& title) { return title == unchangedTitle ? 3 : IDOK; });
    EXPECT_EQ(boxes,
              (std::vector<std::wstring>{Box(kGtBackupUnchangedTitle, GtFormat(kGtBackupUnchangedMany, {L"a.txt"})),
                                         Box(kGtBackupTitle, GtFormat(kGtBackupDoneMany, {3}))}));
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) EXPECT_TRUE(FileExists(Store(name) + L"2")) << name;

    boxes = RunWith(all, ran, [&](const std::wstring& title) { return title == unchangedTitle ? 4 : IDOK; });
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes.back(), Box(kGtBackupTitle, GtFormat(kGtBackupDoneMany, {0})));
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) EXPECT_FALSE(FileExists(Store(name) + L"3")) << name;
}

// A directory belongs to one entry: a cancelled or failed first backup leaves no directory and no
// backupName behind, so a second entry of the same name gets the name and the first one the next;
// a directory already there (an older program's leftover) is never taken over. A copy that fails
// names the file and the system's reason. Also: OK on an unchanged file makes the version anyway,
// and the several-entries form asks entry 158 before dropping versions and skips the entry on No.
TEST_F(BackupDlgTest, AFirstBackupClaimsADirectoryOfItsOwnOnlyWhenItsVersionIsStored) {
    CEntry& a = AddEntry(L"memo.txt", "a");
    CEntry& b = RootFolder().Append();
    b.name = L"memo.txt";
    b.path = dir_ / L"b-memo.txt";
    WriteText(b.path, "b");
    const wchar_t* title = GlobalText::Get(kGtBackupTitle);
    bool ran = true;
    const auto once = [&](CEntry& e) { return [&] { return CBackupDlg::Run(e, BackupMode::Normal, nullptr, title); }; };

    // Cancelled at the comment: nothing made.
    tf_test::ModalResponder cancel(IDCANCEL);
    EXPECT_FALSE(CBackupDlg::Run(a, BackupMode::Normal, nullptr, title));
    EXPECT_TRUE(a.backupName.empty());
    EXPECT_FALSE(FileExists(Store(L"memo.txt")));

    // The copy fails (the file is held open without sharing): warned with the path and the reason,
    // the new directory removed again.
    HANDLE held = CreateFileW(a.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    auto boxes = RunWith(once(a), ran, [](const std::wstring&) { return IDOK; });
    CloseHandle(held);
    EXPECT_FALSE(ran);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], L"警告|" + KvToCrLf((GlobalText::Get(kGtBackupCopyFailed) + (L"\n" + a.path) + L"\n" +
                                               backup::SystemErrorText(ERROR_SHARING_VIOLATION)).c_str()));
    EXPECT_TRUE(a.backupName.empty());
    EXPECT_FALSE(FileExists(Store(L"memo.txt")));

    RunWith(once(b), ran, [](const std::wstring&) { return IDOK; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(b.backupName, L"memo.txt\\");
    RunWith(once(a), ran, [](const std::wstring&) { return IDOK; });
    EXPECT_EQ(a.backupName, L"memo.txt1\\");
    EXPECT_EQ(Read(Store(L"memo.txt") + L"1"), "b");
    EXPECT_EQ(Read(Store(L"memo.txt1") + L"1"), "a");
    EXPECT_NE(a.BackupPath(), b.BackupPath());

    // OK on the unchanged-file question makes version 2 all the same.
    boxes = RunWith(once(a), ran, [](const std::wstring&) { return IDOK; });
    EXPECT_EQ(boxes, (std::vector<std::wstring>{Box(kGtBackupUnchangedTitle, GlobalText::Get(kGtBackupUnchangedOne)),
                                                Box(kGtBackupTitle, GlobalText::Get(kGtBackupDoneOne))}));
    EXPECT_EQ(Read(Store(L"memo.txt1") + L"2"), "a");

    // An empty directory of that name from before is left alone.
    CEntry& other = AddEntry(L"other.txt", "o");
    ASSERT_TRUE(CreateDirectoryW(Store(L"other.txt").c_str(), nullptr));
    RunWith(once(other), ran, [](const std::wstring&) { return IDOK; });
    EXPECT_EQ(other.backupName, L"other.txt1\\");
    EXPECT_FALSE(FileExists(Store(L"other.txt") + L"1"));

    // Several entries: a (NowVersion 1 of 2) is asked about dropping version 2 and skipped on No.
    ASSERT_TRUE(backup::UpdateVersion(Store(L"memo.txt1"), 1));
    WriteText(a.path, "a changed");
    WriteText(b.path, "b changed");
    std::vector<CEntry*> both = {&a, &b};
    boxes = RunWith([&] { return CBackupDlg::Run(both, nullptr, title); }, ran,
                    [](const std::wstring& t) { return t == GlobalText::Get(kGtBackupTitle) ? IDNO : IDOK; });
    EXPECT_EQ(boxes, (std::vector<std::wstring>{Box(kGtBackupTitle, GtFormat(kGtBackupDropLaterMany, {L"memo.txt", 2})),
                                                Box(kGtBackupTitle, GtFormat(kGtBackupDoneMany, {1}))}));
    EXPECT_EQ(Read(Store(L"memo.txt1") + L"2"), "a");
    EXPECT_EQ(Read(Store(L"memo.txt") + L"2"), "b changed");
}

// Names from outside: folder and entry names the system refuses or treats specially become safe
// directory names inside the backup directory, and a stored backupName that leads elsewhere is
// refused with a warning, writing nothing and offering nothing to delete.
TEST_F(BackupDlgTest, NamesFromOutsideNeverLeadOutOfTheBackupDirectory) {
    CEntry& dated = RootFolder().Append();
    dated.name = L"2024/05";
    ASSERT_TRUE(RootFolder().CreateSubfolder(dated, 0));
    CEntry& qa = dated.subfolder->Append();
    qa.name = L"Q&A?";
    ASSERT_TRUE(dated.subfolder->CreateSubfolder(qa, 0));
    const wchar_t* title = GlobalText::Get(kGtBackupTitle);
    const std::vector<std::pair<std::wstring, std::wstring>> names = {
        {L"..", L"__"}, {L"CON", L"_CON"}, {L"memo. ", L"memo__"}, {L"a:b|c", L"a_b_c"}, {L"nul.txt", L"_nul.txt"}};
    for (const auto& [name, directory] : names) {
        CEntry& e = qa.subfolder->Append();
        e.name = name;
        e.path = dir_ / (L"file" + std::to_wstring(e.name.size()));
        WriteText(e.path, "x");
        bool ran = false;
        RunWith([&] { return CBackupDlg::Run(e, BackupMode::Normal, nullptr, title); }, ran,
                [](const std::wstring&) { return IDOK; });
        EXPECT_TRUE(ran) << name;
        EXPECT_EQ(e.backupName, L"2024_05\\Q&A_\\" + directory + L"\\") << name;
        EXPECT_TRUE(FileExists(Store(L"2024_05\\Q&A_\\" + directory) + L"info.xml")) << name;
    }

    const std::wstring outside = dir_ / L"X\\";
    ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
    WriteText(outside + L"keep", "keep");
    CEntry& crafted = AddEntry(L"crafted.txt", "c");
    for (const wchar_t* name : {L"..\\X\\", L"store\\..\\..\\X\\", L"C:\\X\\", L"\\X\\", L"a\\\\b\\"}) {
        crafted.backupName = name;
        EXPECT_TRUE(crafted.BackupPath().empty()) << name;
        EXPECT_FALSE(crafted.HasBackup()) << name;
        bool ran = true;
        auto boxes = RunWith([&] { return CBackupDlg::Run(crafted, BackupMode::Normal, nullptr, title); }, ran,
                             [](const std::wstring&) { return IDOK; });
        EXPECT_FALSE(ran);
        EXPECT_EQ(boxes, std::vector<std::wstring>{L"警告|" + KvToCrLf(GtFormat(kGtBackupNameRefused, {std::wstring(name)}).c_str())});
        EXPECT_EQ(crafted.backupName, name);
    }
    EXPECT_EQ(Read(outside + L"keep"), "keep");
    EXPECT_FALSE(FileExists(outside + L"1"));
    EXPECT_FALSE(FileExists(outside + L"info.xml"));
}

// A large file is copied on a worker behind a progress window: Cancel there stops the copy and
// stores nothing; left alone, the window closes by itself when the version is stored.
TEST_F(BackupDlgTest, ALargeCopyShowsItsProgressAndCanBeCancelled) {
    const std::string big(static_cast<size_t>(kKvCopyProgressThreshold) + 4096, 'L');
    CEntry& e = AddEntry(L"large.bin", big);
    const wchar_t* title = GlobalText::Get(kGtBackupTitle);
    std::vector<std::wstring> seen;
    int progressAnswer = IDCANCEL;
    bool ran = true;
    // Each block takes a while, so that Cancel comes while the copy runs.
    KvSetCopyProgressHook([](const std::wstring&, unsigned long long, unsigned long long) {
        Sleep(100);
        return true;
    });
    {
        tf_test::ModalResponder responder([&](HWND dlg, const tf_test::ModalSeen& window) {
            seen.push_back(window.className);
            if (window.className == L"CBackupDlg") {
                SendMessageW(dlg, WM_COMMAND, IDOK, 0);
                return IsWindow(dlg) ? IDCANCEL : 0;
            }
            return window.className == L"KvCopyProgress" ? progressAnswer : IDOK;
        });
        ran = CBackupDlg::Run(e, BackupMode::Normal, nullptr, title);
    }
    EXPECT_FALSE(ran);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"CBackupDlg", L"KvCopyProgress", L"__kv_ErrorBox__"}));
    EXPECT_FALSE(FileExists(Store(L"large.bin")));
    EXPECT_TRUE(e.backupName.empty());

    progressAnswer = 0;
    seen.clear();
    {
        tf_test::ModalResponder responder([&](HWND dlg, const tf_test::ModalSeen& window) {
            seen.push_back(window.className);
            if (window.className == L"CBackupDlg") {
                SendMessageW(dlg, WM_COMMAND, IDOK, 0);
                return IsWindow(dlg) ? IDCANCEL : 0;
            }
            return window.className == L"KvCopyProgress" ? progressAnswer : IDOK;
        });
        ran = CBackupDlg::Run(e, BackupMode::Normal, nullptr, title);
    }
    KvSetCopyProgressHook({});
    EXPECT_TRUE(ran);
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_TRUE(Read(Store(L"large.bin") + L"1") == big);
}

}  // namespace
