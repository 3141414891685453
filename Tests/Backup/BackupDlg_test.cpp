// The backup dialog through the toolkit's modal seam: its questions for unchanged files and for
// dropped versions, the several-entries form with yes-to-all and no-to-all, and what each answer
// leaves in the store.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "Backup/Dialogs/BackupDlg.h"
#include "Backup/Store/BackupInfo.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "Kv/KvWindow.h"
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
        static bool loaded = GlobalText::Load();
        ASSERT_TRUE(loaded);
        ResetFolderModel();
        ResetProject();
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

}  // namespace
