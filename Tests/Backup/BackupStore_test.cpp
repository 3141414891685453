// The backup store against real files and the platform's DOM: directory naming, numbering in both
// modes, the bytes of info.xml, damaged indexes and failed copies.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>

#include "Backup/Store/BackupInfo.h"
#include "Backup/Store/BackupStore.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "Kv/KvFiles.h"
#include "Backup/BackupTestSupport.h"
#include "Support/EmptyProject.h"
#include "Support/TestSupport.h"

namespace {

using namespace backup;
using tf_test::ReadBytes;
using tf_test::TempDir;
using tf_test::WriteText;

std::string ReadUtf8(const std::wstring& path) {
    const auto bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// The comments of an info.xml as "ver|time|text" lines, read with a pattern of their own rather
// than the DOM the store writes with.
std::vector<std::string> Comments(const std::string& xml) {
    std::vector<std::string> out;
    const std::regex comment(R"re(<comment ver="([^"]*)" time="([^"]*)"(?:/>|>([^<]*)</comment>))re");
    for (std::sregex_iterator it(xml.begin(), xml.end(), comment), end; it != end; ++it)
        out.push_back((*it)[1].str() + "|" + (*it)[2].str() + "|" + (*it)[3].str());
    return out;
}

class BackupStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tf_test::StartWithEmptyProject());
        Project().backupDir = dir_ / L"store";
    }

    CEntry& AddEntry(const std::wstring& name, const std::string& content) {
        CEntry& e = RootFolder().Append();
        e.name = name;
        e.path = dir_ / name;
        WriteText(e.path, content);
        return e;
    }

    int Backup(CEntry& e, BackupMode mode, const std::wstring& comment,
               const std::wstring& time = L"2024/01/05 09:07 3") {
        return tf_test::StoreBackup(e, mode, comment, time);
    }

    TempDir dir_;
};

TEST_F(BackupStoreTest, NumbersVersionsInBothModesAndWritesTheStoredLayout) {
    tf_test::ModalResponder boxes;
    CEntry& e = AddEntry(L"memo.txt", "one");
    ASSERT_EQ(Backup(e, BackupMode::Normal, L"最初"), 1);
    EXPECT_EQ(e.backupName, L"memo.txt\\");
    const std::wstring directory = dir_ / L"store\\memo.txt\\";
    EXPECT_EQ(ReadUtf8(directory + L"1"), "one");
    const std::string first = ReadUtf8(directory + L"info.xml");
    EXPECT_NE(
        first.find("<root>\n\t<BackupFormat>1</BackupFormat><EndVersion>1</EndVersion><NowVersion>1</NowVersion>\n"
                   "<comment ver=\"1\" time=\"2024/01/05 09:07 3\">\xE6\x9C\x80\xE5\x88\x9D</comment>\n</root>"),
        std::string::npos)
        << first;
    EXPECT_EQ(first.rfind("<?xml version=", 0), 0u) << first;
    EXPECT_NE(first.find("encoding=", 0), std::string::npos) << first;

    for (int v = 2; v <= 5; ++v) {
        WriteText(e.path, "v" + std::to_string(v));
        ASSERT_EQ(Backup(e, BackupMode::Normal, L"c" + std::to_wstring(v)), v);
    }
    ASSERT_TRUE(UpdateVersion(directory, 3));

    // Append: version 6 after the end, nothing else moves.
    ASSERT_EQ(Backup(e, BackupMode::Append, L"append"), 6);
    Versions counters;
    ASSERT_TRUE(GetVersion(directory, counters));
    EXPECT_EQ(counters.endVersion, 6);
    EXPECT_EQ(counters.nowVersion, 3);
    EXPECT_EQ(Comments(ReadUtf8(directory + L"info.xml")).size(), 6u);

    // Normal from NowVersion 3: version 4 replaces the line after 3.
    WriteText(e.path, "new four");
    ASSERT_EQ(Backup(e, BackupMode::Normal, L"line\nbreak", L"2025/12/31 23:59 0"), 4);
    ASSERT_TRUE(GetVersion(directory, counters));
    EXPECT_EQ(counters.endVersion, 4);
    EXPECT_EQ(counters.nowVersion, 4);
    EXPECT_EQ(ReadUtf8(directory + L"4"), "new four");
    EXPECT_FALSE(tf_test::FileExists(directory + L"5"));
    EXPECT_FALSE(tf_test::FileExists(directory + L"6"));
    const std::vector<std::string> expected = {"1|2024/01/05 09:07 3|\xE6\x9C\x80\xE5\x88\x9D",
                                               "2|2024/01/05 09:07 3|c2", "3|2024/01/05 09:07 3|c3",
                                               "4|2025/12/31 23:59 0|line\nbreak"};
    EXPECT_EQ(Comments(ReadUtf8(directory + L"info.xml")), expected);

    std::vector<VersionNote> notes = {{2}, {4}};
    ASSERT_TRUE(EditComment(directory, 2, L"edited"));
    ASSERT_TRUE(SetVerComment(directory, 4, notes));
    EXPECT_EQ(notes[0].comment, L"edited");
    EXPECT_EQ(notes[1].time, L"2025/12/31 23:59 0");
    EXPECT_FALSE(tf_test::FileExists(directory + L"info.new"));

    // A read-only file's version is stored writable, and a version left read-only by an earlier
    // program is still replaced and dropped by a later normal backup.
    SetFileAttributesW(e.path.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(Backup(e, BackupMode::Append, L"read-only"), 5);
    EXPECT_FALSE(GetFileAttributesW((directory + L"5").c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((directory + L"4").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((directory + L"5").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(e.path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(UpdateVersion(directory, 3));
    WriteText(e.path, "four again");
    ASSERT_EQ(Backup(e, BackupMode::Normal, L"again"), 4);
    EXPECT_FALSE(tf_test::FileExists(directory + L"5"));
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(BackupStoreTest, NamesDirectoriesAndRefusesUnusablePlaces) {
    tf_test::ModalResponder boxes;
    CEntry& a = AddEntry(L"same.txt", "a");
    CEntry& b = AddEntry(L"same.txt", "b");
    ASSERT_EQ(Backup(a, BackupMode::Normal, L""), 1);
    ASSERT_EQ(Backup(b, BackupMode::Normal, L""), 1);
    EXPECT_EQ(b.backupName, L"same.txt1\\");
    EXPECT_EQ(ReadUtf8(dir_ / L"store\\same.txt1\\1"), "b");
    EXPECT_TRUE(boxes.seen().empty());

    // Over 251 characters: warned, backupName cleared, nothing made.
    CEntry& longer = AddEntry(L"x", "x");
    longer.name = std::wstring(260 - Project().backupDir.size(), L'n');
    BackupPlace place;
    EXPECT_FALSE(OpenBackupFolder(longer, place));
    EXPECT_TRUE(longer.backupName.empty());
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].title, L"警告");
    EXPECT_NE(boxes.seen()[0].text.find(GlobalText::Get(kGtBackupPathTooLong)), std::wstring::npos);

    // A file where the backup directory should be, and a drive that is not there.
    WriteText(dir_ / L"plain", "file");
    Project().backupDir = dir_ / L"plain";
    CEntry& c = AddEntry(L"c.txt", "c");
    EXPECT_EQ(Backup(c, BackupMode::Normal, L""), -1);
    Project().backupDir = L"Q:\\nowhere\\";
    EXPECT_EQ(Backup(c, BackupMode::Normal, L""), -1);
    Project().backupDir.clear();
    EXPECT_FALSE(OpenBackupFolder(c, place));
    EXPECT_TRUE(c.backupName.empty());
}

TEST_F(BackupStoreTest, DamagedIndexesAreReportedAndNeverRewritten) {
    const std::wstring directory = dir_ / L"store\\d\\";
    ASSERT_TRUE(CreateDirectoryW((dir_ / L"store").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
    const char* const damaged[] = {
        "not xml at all",
        "<?xml version='1.0'?><other><EndVersion>1</EndVersion><NowVersion>1</NowVersion></other>",
        "<root><BackupFormat>1</BackupFormat><NowVersion>1</NowVersion></root>",
        "<root><EndVersion>2</EndVersion></root>",
        "<root><EndVersion>two</EndVersion><NowVersion>1</NowVersion></root>",
        "<root><EndVersion>-3</EndVersion><NowVersion>1</NowVersion></root>",
        "<root><EndVersion>99999999999</EndVersion><NowVersion>1</NowVersion></root>",
        "<root><EndVersion>2</EndVersion><NowVersion>5</NowVersion></root>",
    };
    for (const char* text : damaged) {
        SCOPED_TRACE(text);
        WriteText(directory + L"info.xml", text);
        tf_test::ModalResponder boxes;
        Versions counters;
        EXPECT_FALSE(GetVersion(directory, counters));
        EXPECT_FALSE(UpdateVersion(directory, 1));
        EXPECT_FALSE(EditComment(directory, 1, L"x"));
        EXPECT_EQ(boxes.seen().size(), 3u);
        EXPECT_EQ(ReadUtf8(directory + L"info.xml"), text);
    }

    // Comments with bad numbers or for versions whose files are gone are skipped, not trusted.
    WriteText(
        directory + L"info.xml",
        "<root><EndVersion>2</EndVersion><NowVersion>2</NowVersion><comment ver=\"x\">bad</comment>"
        "<comment time=\"t\">none</comment><comment ver=\"9\">high</comment><comment ver=\"2\">ok</comment></root>");
    std::vector<VersionNote> notes = {{1}, {2}};
    ASSERT_TRUE(SetVerComment(directory, 2, notes));
    EXPECT_EQ(notes[0].comment, L"");
    EXPECT_EQ(notes[1].comment, L"ok");
}

TEST_F(BackupStoreTest, AFailedCopyLeavesTheFileAndTheIndexAsTheyWere) {
    tf_test::ModalResponder boxes;
    CEntry& e = AddEntry(L"keep.txt", "original");
    ASSERT_EQ(Backup(e, BackupMode::Normal, L"v1"), 1);
    const std::wstring directory = dir_ / L"store\\keep.txt\\";
    const std::string index = ReadUtf8(directory + L"info.xml");

    // The copy beside the version file cannot be made: no version 2, the index unchanged.
    ASSERT_TRUE(CreateDirectoryW((directory + L"copy.new").c_str(), nullptr));
    WriteText(e.path, "changed");
    EXPECT_EQ(Backup(e, BackupMode::Normal, L"v2"), -1);
    EXPECT_FALSE(tf_test::FileExists(directory + L"2"));
    EXPECT_EQ(ReadUtf8(directory + L"info.xml"), index);

    // Restoring over the entry's file when the copy cannot be made leaves the file whole.
    ASSERT_TRUE(CreateDirectoryW((e.path + L".tfcopy").c_str(), nullptr));
    StoreFailure failure;
    EXPECT_FALSE(RestoreFile(VersionPath(directory, 1), e.path, failure));
    EXPECT_EQ(ReadUtf8(e.path), "changed");
    // A version file that is gone is no source either.
    EXPECT_FALSE(RestoreFile(VersionPath(directory, 7), dir_ / L"other", failure));
    EXPECT_EQ(failure.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(tf_test::FileExists(dir_ / L"other"));
    EXPECT_TRUE(boxes.seen().empty());
}

}  // namespace

namespace {

// At the length limit on both sides: an entry's directory of exactly 251 characters keeps its
// index through every save (its temporary files are no longer than "info.xml"), one character more
// is refused; and a file of 259 characters is restored through its copy beside it.
TEST_F(BackupStoreTest, PathsAtTheLimitOnBothSides) {
    tf_test::ModalResponder boxes;
    std::wstring base = dir_ / L"s";
    base += std::wstring(251 - base.size() - std::wstring(L"\\memo.txt\\").size(), L'b');
    ASSERT_TRUE(CreateDirectoryW(base.c_str(), nullptr));
    Project().backupDir = base;
    CEntry& e = AddEntry(L"memo.txt", "one");
    ASSERT_EQ(Backup(e, BackupMode::Normal, L"1"), 1);
    const std::wstring directory = e.BackupPath();
    ASSERT_EQ(directory.size(), 251u);
    WriteText(e.path, "two");
    ASSERT_EQ(Backup(e, BackupMode::Normal, L"2"), 2);
    WriteText(e.path, "three");
    ASSERT_EQ(Backup(e, BackupMode::Append, L"3"), 3);
    Versions counters;
    ASSERT_TRUE(GetVersion(directory, counters));
    EXPECT_EQ(counters.endVersion, 3);
    EXPECT_EQ(counters.nowVersion, 2);
    EXPECT_EQ(Comments(ReadUtf8(directory + L"info.xml")).size(), 3u);
    EXPECT_TRUE(boxes.seen().empty());

    CEntry& longer = AddEntry(L"memo.txtx", "x");
    EXPECT_EQ(Backup(longer, BackupMode::Normal, L""), -1);
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_NE(boxes.seen()[0].text.find(GlobalText::Get(kGtBackupPathTooLong)), std::wstring::npos);

    std::wstring folder = dir_ / L"f";
    folder += std::wstring(259 - folder.size() - 6, L'f');
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring file = folder + L"\\a.txt";
    ASSERT_EQ(file.size(), 259u);
    WriteText(file, "current");
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN);
    StoreFailure failure;
    EXPECT_TRUE(RestoreFile(VersionPath(directory, 1), file, failure)) << failure.error;
    EXPECT_EQ(ReadUtf8(file), "one");
    EXPECT_TRUE(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(tf_test::FileExists(ReachablePath(file + L".tfcopy")));
}

}  // namespace
