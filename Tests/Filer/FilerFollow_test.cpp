#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <dbt.h>

#include <functional>
#include <string>

#include "Config/GtEntries.h"
#include "Document/ProjectFile.h"
#include "Filer/Menu/FilerMenu.h"
#include "Follow/DirectoryWatch.h"
#include "Follow/IdentityStore.h"
#include "Kv/KvFiles.h"
#include "Kv/KvWindow.h"
#include "Support/DirectoryLinks.h"
#include "Support/FilerTestFixture.h"

namespace {

using tf_test::ModalResponder;
using tf_test::TempDir;
using tf_test::WriteText;

class FilerFollowTest : public filer_test::FilerFixture {
protected:
    void ShowRoot() {
        ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
        for (int i = 0; i < 500 && Filer().DisplayQueueRunning(); ++i) tf_test::PumpMessages(10);
    }

    // Runs the message loop until `done` holds; false after `seconds`. The rows are expected to
    // follow within a second; the generous limit only keeps a slow machine from failing the test.
    static bool PumpUntil(const std::function<bool()>& done, int seconds = 20) {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > static_cast<DWORD>(seconds) * 1000) return false;
            tf_test::PumpMessages(20);
        }
        return true;
    }

    bool Missing(int index) { return Filer().EntryAtIndex(index)->missing != 0; }

    // The window as the user looks at it: shown and in front (the live view asks only then). Suites
    // running beside this one may take the front at any time, so it is taken back as often as needed.
    void BringToFront() {
        ShowWindow(parent_, SW_SHOW);
        for (int i = 0; i < 100 && GetForegroundWindow() != parent_; ++i) {
            SetForegroundWindow(parent_);
            tf_test::PumpMessages(20);
        }
        ASSERT_EQ(GetForegroundWindow(), parent_);
    }
    // PumpUntil with the window kept in front.
    bool PumpInFrontUntil(const std::function<bool()>& done) {
        return PumpUntil([&] {
            if (GetForegroundWindow() != parent_) SetForegroundWindow(parent_);
            return done();
        });
    }

    // Pumps for `ms` milliseconds, with the window kept in front when `inFront`.
    void PumpFor(DWORD ms, bool inFront = false) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            if (inFront && GetForegroundWindow() != parent_) SetForegroundWindow(parent_);
            tf_test::PumpMessages(20);
        }
    }
};

TEST_F(FilerFollowTest, RowsFollowFilesChangedDeletedRenamedAndCreatedOutside) {
    TempDir dir;
    CFolder& root = RootFolder();
    // Enough entries that the list scrolls; the files the test touches are the last three.
    for (int i = 0; i < 60; ++i) {
        const std::wstring path = dir / (L"fill" + std::to_wstring(i) + L".txt");
        ASSERT_TRUE(WriteText(path, "x"));
        root.Append().path = path;
    }
    const std::wstring gone = dir / L"gone.txt", grows = dir / L"grows.txt", renamed = dir / L"renamed.txt";
    ASSERT_TRUE(WriteText(gone, "a"));
    ASSERT_TRUE(WriteText(grows, "b"));
    ASSERT_TRUE(WriteText(renamed, "c"));
    root.Append().path = gone;
    root.Append().path = grows;
    root.Append().path = renamed;
    ShowRoot();
    const int last = ItemCount() - 1;
    SendMessageW(list_, LVM_ENSUREVISIBLE, last, FALSE);
    Select(last - 1, true);
    const LRESULT top = SendMessageW(list_, LVM_GETTOPINDEX, 0, 0);
    ASSERT_GT(top, 0);
    ASSERT_EQ(ItemText(last - 1, 2), L"1KB");
    // A row whose file does not change is never made anew (its check reads what its row was made from).
    Filer().EntryAtIndex(0)->EditDisplay().typeText = L"unchanged";

    ASSERT_TRUE(DeleteFileW(gone.c_str()));
    ASSERT_TRUE(WriteText(grows, std::string(5000, 'b')));
    ASSERT_TRUE(MoveFileW(renamed.c_str(), (dir / L"elsewhere.txt").c_str()));
    EXPECT_TRUE(PumpUntil([&] { return Missing(last - 2) && Missing(last) && ItemText(last - 1, 2) == L"5KB"; }));
    EXPECT_EQ(ItemText(last - 2, 3), L"Unknown");
    EXPECT_EQ(ItemText(last - 2, 2), L"");
    EXPECT_FALSE(Missing(0));

    // A file that comes back shows again.
    ASSERT_TRUE(WriteText(gone, std::string(3000, 'a')));
    EXPECT_TRUE(PumpUntil([&] { return !Missing(last - 2) && ItemText(last - 2, 2) == L"3KB"; }));

    // A new date with the same size in KB shows too.
    {
        HANDLE file = CreateFileW(grows.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        SYSTEMTIME when{2001, 2, 0, 3, 4, 5, 0, 0};
        FILETIME written{};
        SystemTimeToFileTime(&when, &written);
        ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
        CloseHandle(file);
    }
    EXPECT_TRUE(PumpUntil([&] { return ItemText(last - 1, 4) == L"2001/2/3 4:5"; }));
    EXPECT_EQ(ItemText(last - 1, 2), L"5KB");

    EXPECT_EQ(Filer().EntryAtIndex(0)->Display().typeText, L"unchanged");

    // The folder was never shown again: the selection, the scroll position and the entries stay.
    EXPECT_TRUE(Selected(last - 1));
    EXPECT_EQ(SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(list_, LVM_GETTOPINDEX, 0, 0), top);
    EXPECT_EQ(ItemCount(), last + 1);
}

TEST_F(FilerFollowTest, DirectoriesBeyondTheWatchLimitAreFollowedByThePeriodicCheck) {
    TempDir dir;
    CFolder& root = RootFolder();
    // kMaxWatchedDirectories directories of two entries each are watched first; the one-entry
    // directory after them is left to the periodic check.
    for (size_t d = 0; d < kMaxWatchedDirectories; ++d) {
        const std::wstring sub = dir / (L"d" + std::to_wstring(d));
        ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
        for (int i = 0; i < 2; ++i) {
            const std::wstring path = sub + L"\\f" + std::to_wstring(i) + L".txt";
            ASSERT_TRUE(WriteText(path, "x"));
            root.Append().path = path;
        }
    }
    const std::wstring lone = dir / L"lone";
    ASSERT_TRUE(CreateDirectoryW(lone.c_str(), nullptr));
    ASSERT_TRUE(WriteText(lone + L"\\only.txt", "x"));
    root.Append().path = lone + L"\\only.txt";
    ShowRoot();
    const int only = ItemCount() - 1;
    ASSERT_FALSE(Missing(only));

    ASSERT_TRUE(DeleteFileW((lone + L"\\only.txt").c_str()));
    ASSERT_TRUE(DeleteFileW((dir / L"d0\\f1.txt").c_str()));
    EXPECT_TRUE(PumpUntil([&] { return Missing(only) && Missing(1); }));
}

TEST_F(FilerFollowTest, MovedFilesAreFoundAgainAndRelinkedAfterOneQuestion) {
    TempDir dir, elsewhere;
    for (const wchar_t* sub : {L"a", L"b"}) ASSERT_TRUE(CreateDirectoryW((dir / sub).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((elsewhere / L"used").c_str(), nullptr));
    const std::wstring sibling = dir / L"a\\to-sibling.txt", distant = dir / L"a\\to-distant.txt", same = dir / L"a\\same.txt";
    ASSERT_TRUE(WriteText(sibling, "one"));
    ASSERT_TRUE(WriteText(distant, "two two"));
    ASSERT_TRUE(WriteText(same, "same"));
    ASSERT_TRUE(WriteText(elsewhere / L"used\\stays.txt", "x"));
    CFolder& root = RootFolder();
    CEntry& first = root.Append();
    first.path = sibling;
    first.alias = L"alias";
    first.aliasMode = 1;
    first.colour = 3;
    first.appPath = L"C:\\windows\\notepad.exe";
    first.backupName = L"b1";
    root.Append().path = distant;
    root.Append().path = same;
    // The project's other directory is used by an entry of a subfolder.
    CFolder* sub = filer_test::AddSubfolder(root, L"sub");
    ASSERT_NE(sub, nullptr);
    sub->Append().path = elsewhere / L"used\\stays.txt";
    ProjectIdentities().Clear();
    ProjectIdentities().Refresh(root);
    BringToFront();
    ShowRoot();

    // Moved to a sibling directory, moved and renamed into another directory of the project, and a
    // file replaced by a different one of the same name in the sibling directory.
    ASSERT_TRUE(MoveFileW(sibling.c_str(), (dir / L"b\\to-sibling.txt").c_str()));
    ASSERT_TRUE(MoveFileW(distant.c_str(), (elsewhere / L"used\\renamed.txt").c_str()));
    ASSERT_TRUE(DeleteFileW(same.c_str()));
    ASSERT_TRUE(WriteText(dir / L"b\\same.txt", "same"));
    ModalResponder answers(IDYES);
    EXPECT_TRUE(PumpInFrontUntil([&] { return !answers.seen().empty() && !Missing(0) && !Missing(1); }));
    ASSERT_EQ(answers.seen().size(), 1u);
    const std::wstring& question = answers.seen()[0].text;
    EXPECT_EQ(answers.seen()[0].title, GlobalText::Get(kGtRelinkTitle));
    EXPECT_NE(question.find(sibling), std::wstring::npos);
    EXPECT_NE(question.find(dir / L"b\\to-sibling.txt"), std::wstring::npos);
    EXPECT_NE(question.find(elsewhere / L"used\\renamed.txt"), std::wstring::npos);
    EXPECT_EQ(question.find(L"same.txt"), std::wstring::npos);

    CEntry& relinked = *root.EntryAt(0);
    EXPECT_EQ(relinked.path, dir / L"b\\to-sibling.txt");
    EXPECT_EQ(relinked.alias, L"alias");
    EXPECT_EQ(relinked.colour, 3);
    EXPECT_EQ(relinked.appPath, L"C:\\windows\\notepad.exe");
    EXPECT_EQ(relinked.backupName, L"b1");
    EXPECT_EQ(root.EntryAt(1)->path, elsewhere / L"used\\renamed.txt");
    EXPECT_EQ(ItemText(1, 1), elsewhere / L"used\\renamed.txt");
    EXPECT_EQ(root.EntryAt(2)->path, same);
    EXPECT_TRUE(Missing(2));

    // On demand: the entry whose file was replaced is looked for again, and nothing is found.
    for (int i = 0; i < 100 && Filer().SearchingMovedFiles(); ++i) tf_test::PumpMessages(20);
    ModalResponder ok(IDOK);
    Select(2, true);
    Filer().RunMenuCommand(kFilerCmdFindMoved);
    EXPECT_TRUE(PumpUntil([&] { return !ok.seen().empty(); }));
    ASSERT_EQ(ok.seen().size(), 1u);
    EXPECT_EQ(ok.seen()[0].text, KvToCrLf(GlobalText::Get(kGtFindMovedNone)));
    EXPECT_EQ(root.EntryAt(2)->path, same);
    ProjectIdentities().Clear();
}

// The relink question waits while the window is hidden, lists the moved file and not a different
// file of the same size and time beside its old place, and a No is remembered (also across saving
// and loading the project): sorting, refreshing and time bring no new question. Relinking into a
// folder that already lists the new path leaves one entry for it, not two.
TEST_F(FilerFollowTest, RelinkQuestionWaitsForTheUserRemembersNoAndMakesNoDuplicate) {
    TempDir dir, store;
    for (const wchar_t* sub : {L"a", L"b"}) ASSERT_TRUE(CreateDirectoryW((dir / sub).c_str(), nullptr));
    const std::wstring old = dir / L"a\\moved.txt", now = dir / L"b\\moved.txt", decoy = dir / L"a\\decoy.txt";
    ASSERT_TRUE(WriteText(old, "moved!"));
    ASSERT_TRUE(WriteText(dir / L"a\\other.txt", "other"));
    CFolder& root = RootFolder();
    root.Append().path = old;
    root.Append().path = dir / L"a\\other.txt";
    ProjectIdentities().Clear();
    ProjectIdentities().Refresh(root);
    ShowRoot();

    ASSERT_TRUE(MoveFileW(old.c_str(), now.c_str()));
    ASSERT_TRUE(WriteText(decoy, "decoy!"));
    {
        FILETIME written{};
        HANDLE moved = CreateFileW(now.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        HANDLE other = CreateFileW(decoy.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_TRUE(GetFileTime(moved, nullptr, nullptr, &written));
        ASSERT_TRUE(SetFileTime(other, nullptr, nullptr, &written));
        CloseHandle(moved);
        CloseHandle(other);
    }
    ModalResponder no(IDNO);
    PumpFor(3000);
    EXPECT_TRUE(no.seen().empty()) << "asked while the window was hidden";
    BringToFront();
    EXPECT_TRUE(PumpInFrontUntil([&] { return !no.seen().empty(); }));
    ASSERT_EQ(no.seen().size(), 1u);
    EXPECT_NE(no.seen()[0].text.find(now), std::wstring::npos);
    EXPECT_EQ(no.seen()[0].text.find(L"decoy"), std::wstring::npos);
    EXPECT_EQ(root.EntryAt(0)->path, old);
    EXPECT_TRUE(root.EntryAt(0)->relinkDeclined);

    Filer().Refresh();
    ClickColumn(0);
    ClickColumn(0);
    PumpFor(3000, true);
    EXPECT_EQ(no.seen().size(), 1u);

    const std::wstring project = store / L"p.tfolder";
    ASSERT_TRUE(SaveProject(project));
    ResetFolderModel();
    ASSERT_TRUE(LoadProject(project));
    ASSERT_EQ(root.Count(), 2u);
    const size_t lost = root.EntryAt(0)->path == old ? 0 : 1;
    EXPECT_TRUE(root.EntryAt(lost)->relinkDeclined);
    ShowRoot();
    PumpFor(3000, true);
    EXPECT_EQ(no.seen().size(), 1u);

    // Asked for on the entry's menu, and the folder already lists the new path: Yes leaves one entry.
    root.Append().path = now;
    ShowRoot();
    ModalResponder yes(IDYES);
    Select(static_cast<int>(lost), true);
    Filer().RunMenuCommand(kFilerCmdFindMoved);
    EXPECT_TRUE(PumpUntil([&] { return !yes.seen().empty(); }));
    PumpFor(100);
    EXPECT_EQ(root.Count(), 2u);
    EXPECT_EQ(root.FindByPath(old), -1);
    EXPECT_GE(root.FindByPath(now), 0);
    EXPECT_EQ(ItemCount(), 2);
    ProjectIdentities().Clear();
}

// A drive letter no drive is mapped to.
char FreeDriveLetter() {
    const DWORD used = GetLogicalDrives();
    for (char letter = 'q'; letter <= 'y'; ++letter)
        if (!(used & (1u << (letter - 'a')))) return letter;
    return 0;
}

// An entry on an absent drive is offline, not missing; renaming and backing it up are refused
// while the drive is away, but it can be removed after one question naming the drive (a drive
// gone for good must not keep its entries for ever).
TEST_F(FilerFollowTest, EntryOnAnAbsentDriveIsOfflineRefusesRenameAndBackupAndIsRemovedAfterOneQuestion) {
    const char letter = FreeDriveLetter();
    ASSERT_NE(letter, 0);
    TempDir dir;
    ASSERT_TRUE(CreateDirectoryW((dir / L"docs").c_str(), nullptr));
    ASSERT_TRUE(WriteText(dir / L"docs\\plan.txt", std::string(2048, 'p')));
    const std::wstring drive = std::wstring(1, static_cast<wchar_t>(letter - 'a' + 'A')) + L":\\";
    const std::wstring onDrive = drive + L"docs\\plan.txt";
    CFolder& root = RootFolder();
    root.Append().path = onDrive;
    root.Append().path = dir / L"docs\\lost.txt";  // a missing file of a drive that is there
    root.Append().path = drive + L"docs\\gone.txt";
    Project().allowRename = 1;
    Project().backupEnabled = 1;
    ShowRoot();

    CEntry& entry = *Filer().EntryAtIndex(0);
    EXPECT_TRUE(entry.offline);
    EXPECT_EQ(ItemText(0, 3), GlobalText::Get(kGtOfflineType));
    EXPECT_EQ(ItemText(0, 0), L"plan");
    EXPECT_FALSE(Filer().EntryAtIndex(1)->offline);
    EXPECT_TRUE(Filer().EntryAtIndex(1)->missing);
    EXPECT_EQ(ItemText(1, 3), L"Unknown");

    {
        const std::wstring why = KvToCrLf(GtFormat(kGtOfflineRefused, {onDrive}).c_str());
        ModalResponder answers(IDOK);
        Select(0, true);
        EXPECT_FALSE(BeginEditAllowed(0));
        Filer().RunMenuCommand(kFilerCmdBackup);
        ASSERT_EQ(answers.seen().size(), 2u);
        for (const tf_test::ModalSeen& seen : answers.seen()) EXPECT_EQ(seen.text, why);
        Select(0, false);
    }
    {
        // Two offline entries and a missing one: one question, naming the drive once; Cancel keeps all.
        const std::wstring question = KvToCrLf(GtFormat(kGtOfflineRemove, {drive}).c_str());
        ModalResponder cancel(IDCANCEL);
        Select(-1, true);
        EXPECT_EQ(Filer().RemoveSelected(true), 0);
        ASSERT_EQ(cancel.seen().size(), 1u);
        EXPECT_EQ(cancel.seen()[0].text, question);
        EXPECT_EQ(ItemCount(), 3);
        ModalResponder ok(IDOK);
        EXPECT_EQ(Filer().RemoveSelected(true), 3);
        ASSERT_EQ(ok.seen().size(), 1u);
        EXPECT_EQ(ok.seen()[0].text, question);
        EXPECT_EQ(ItemCount(), 0);
        EXPECT_EQ(RootFolder().Count(), 0u);
    }
    root.Append().path = onDrive;
    ShowRoot();
    ASSERT_TRUE(Filer().EntryAtIndex(0)->offline);

    // The drive comes: the entry is normal again; it goes: offline again.
    // The system tells the main window of a drive that came or went, which tells the filer; Wine
    // does not for the drives its tests make.
    if (!tf_test::MapWineDrive(letter, dir.path())) GTEST_SKIP() << "no drive mapping outside Wine";
    struct Unmap {
        char letter;
        ~Unmap() { tf_test::UnmapWineDrive(letter); }
    } unmap{letter};
    Filer().DevicesChanged();
    EXPECT_TRUE(PumpUntil([&] { return !Filer().EntryAtIndex(0)->missing && ItemText(0, 2) == L"2KB"; }));
    EXPECT_FALSE(Filer().EntryAtIndex(0)->offline);
    EXPECT_TRUE(tf_test::UnmapWineDrive(letter));
    Filer().DevicesChanged();
    EXPECT_TRUE(PumpUntil([&] { return Filer().EntryAtIndex(0)->offline != 0; }));
    EXPECT_EQ(ItemText(0, 3), GlobalText::Get(kGtOfflineType));
}

// "Safely remove" while a folder of that drive is shown: the system asks first, naming one watched
// handle, and every watch on that volume lets go at once; while the removal is under way nothing
// opens the volume again, and a removal that failed brings the watches back.
TEST_F(FilerFollowTest, RemovalQueryClosesTheWatchesOnThatVolumeUntilTheRemovalFails) {
    TempDir dir;
    CFolder& root = RootFolder();
    for (const wchar_t* sub : {L"a", L"b"}) {
        ASSERT_TRUE(CreateDirectoryW((dir / sub).c_str(), nullptr));
        const std::wstring path = dir / sub + L"\\file.txt";
        ASSERT_TRUE(WriteText(path, "x"));
        root.Append().path = path;
    }
    ShowRoot();
    const DirectoryWatch& watch = Filer().LiveWatch();
    ASSERT_TRUE(PumpUntil([&] { return watch.Watched().size() == 2; }));
    const HANDLE handles[] = {watch.DirectoryHandle(0), watch.DirectoryHandle(1)};
    HWND container = GetParent(Filer().ListView());
    auto tell = [&](WPARAM what, HANDLE handle) {
        DEV_BROADCAST_HANDLE event{};
        event.dbch_size = sizeof(event);
        event.dbch_devicetype = DBT_DEVTYP_HANDLE;
        event.dbch_handle = handle;
        return SendMessageW(container, WM_DEVICECHANGE, what, reinterpret_cast<LPARAM>(&event));
    };

    EXPECT_EQ(tell(DBT_DEVICEQUERYREMOVE, handles[1]), TRUE);
    EXPECT_TRUE(watch.Watched().empty());
    // The handle values may have been given to new handles since; none of them names the directory.
    for (HANDLE handle : handles) {
        wchar_t named[MAX_PATH] = {};
        const DWORD length = GetFinalPathNameByHandleW(handle, named, MAX_PATH, FILE_NAME_NORMALIZED);
        EXPECT_TRUE(length == 0 || length >= MAX_PATH || KvUpperPath(named).find(KvUpperPath(dir.path())) == std::wstring::npos)
            << named;
    }
    // The query for the other handle finds it closed already; the periodic check and showing the
    // folder again leave the volume alone.
    EXPECT_EQ(tell(DBT_DEVICEQUERYREMOVE, handles[0]), TRUE);
    ShowRoot();
    PumpFor(1500);
    EXPECT_TRUE(watch.Watched().empty());

    EXPECT_EQ(tell(DBT_DEVICEQUERYREMOVEFAILED, handles[1]), TRUE);
    EXPECT_TRUE(PumpUntil([&] { return watch.Watched().size() == 2; }));
}

}  // namespace
