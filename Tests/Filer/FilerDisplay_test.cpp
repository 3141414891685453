#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Filer/FilerDisplaySource.h"
#include "Kv/KvClipboard.h"
#include "Kv/KvHandles.h"
#include "Kv/KvSlowPaths.h"
#include "Config/GtEntries.h"
#include "Support/FilerTestFixture.h"

namespace {

using filer_test::AddSubfolder;
using tf_test::ModalResponder;
using tf_test::TempDir;
using tf_test::WriteText;

class FilerDisplayTest : public filer_test::FilerFixture {
protected:
    // Runs the message loop until the background completion has ended (or a few seconds passed).
    void DrainQueue() {
        for (int i = 0; i < 500 && Filer().DisplayQueueRunning(); ++i) tf_test::PumpMessages(10);
    }

    // `count` files "<stem><i>.<ext>" of `bytes` bytes each, appended to `folder`.
    static void AddFiles(CFolder& folder, const TempDir& dir, const std::wstring& stem, const std::wstring& ext,
                         int count, size_t bytes) {
        for (int i = 0; i < count; ++i) {
            const std::wstring path = dir / (stem + std::to_wstring(i) + (ext.empty() ? L"" : L"." + ext));
            ASSERT_TRUE(WriteText(path, std::string(bytes, 'x')));
            folder.Append().path = path;
        }
    }
};

bool MakeShortcut(const std::wstring& link, const std::wstring& target) {
    kv::ComPtr<IShellLinkW> shellLink;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink))))
        return false;
    shellLink->SetPath(target.c_str());
    kv::ComPtr<IPersistFile> file;
    if (FAILED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) return false;
    return SUCCEEDED(file->Save(link.c_str(), TRUE));
}

// Every kind of entry: files of several types (enough of each for the directory to be listed as a
// whole), programs and shortcuts with icons of their own, directories, missing files, subfolder
// entries, aliases and relative paths. Their texts, icons and flags, whether asked for by the list
// view row by row or completed in the background, equal those of a full shell parse of each path.
TEST_F(FilerDisplayTest, OnDemandDataEqualsAFullParseOfEveryPath) {
    TempDir dir;
    CFolder& root = RootFolder();
    Project().allowAlias = 1;
    Project().directory = dir.path().substr(0, dir.path().size() - 1);
    AddFiles(root, dir, L"note", L"txt", 4, 10);
    AddFiles(root, dir, L"data", L"dat", 3, 3000);
    AddFiles(root, dir, L"Page", L"HTML", 3, 1);
    AddFiles(root, dir, L"plain", L"", 2, 5);
    const std::wstring program = tf_test::ExeDirectory() + L"Filer_test.exe";
    for (const wchar_t* name : {L"tool.exe", L"other.exe"}) {
        ASSERT_TRUE(CopyFileW(program.c_str(), (dir / name).c_str(), FALSE));
        root.Append().path = dir / name;
    }
    ASSERT_TRUE(MakeShortcut(dir / L"tool.lnk", dir / L"tool.exe"));
    root.Append().path = dir / L"tool.lnk";
    ASSERT_TRUE(CreateDirectoryW((dir / L"inner").c_str(), nullptr));
    root.Append().path = dir / L"inner";
    root.Append().path = dir / L"gone.doc";
    root.Append().path = L"Z:\\no such drive\\lost.txt";
    CEntry& relative = root.Append();
    relative.path = L"note1.txt";
    relative.relative = 1;
    CEntry& aliased = root.Append();
    aliased.path = dir / L"note2.txt";
    aliased.aliasMode = 1;
    aliased.alias = L"my note";
    CEntry& withProgram = root.Append();
    withProgram.path = dir / L"data1.dat";
    withProgram.appPath = dir / L"tool.exe";
    AddFiles(root, dir, L"case", L"txt", 1, 1);
    root.Append().path = dir / L"CASE0.TXT";
    for (const wchar_t* name : {L"second", L"third", L"custom"}) {
        ASSERT_TRUE(CreateDirectoryW((dir / name).c_str(), nullptr));
        root.Append().path = dir / name;
    }
    ASSERT_TRUE(SetFileAttributesW((dir / L"custom").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_NE(AddSubfolder(root, L"Sub"), nullptr);

    ASSERT_TRUE(Filer().ShowFolder(&root, false));
    const int count = ItemCount();
    ASSERT_EQ(count, static_cast<int>(root.Count()));
    std::vector<std::wstring> shown;
    for (int i = 0; i < count; ++i) shown.push_back(ItemText(i, 0) + L"|" + ItemText(i, 2) + L"|" + ItemText(i, 3));
    DrainQueue();
    EXPECT_FALSE(Filer().DisplayQueueRunning());

    int index = 0;
    for (const CEntry& entry : root.entries) {
        SCOPED_TRACE(entry.path);
        EXPECT_EQ(shown[index], entry.Display().displayText + L"|" + entry.Display().sizeText + L"|" + entry.Display().typeText);
        ++index;
        if (entry.IsSubfolderEntry()) {
            EXPECT_EQ(entry.Display().displayText, L"Sub");
            continue;
        }
        PathDisplay full;
        ASSERT_TRUE(FilerDisplaySource::DescribeInFull(entry.ResolvedPath(), full));
        EXPECT_EQ(entry.missing != 0, full.missing);
        EXPECT_EQ(entry.Display().typeText, full.typeText);
        if (full.missing) {
            EXPECT_EQ(entry.Display().displayText, full.name);
            EXPECT_EQ(entry.Display().iconIndex, -1);
            continue;
        }
        EXPECT_EQ(entry.name, full.name);
        EXPECT_EQ(entry.Display().displayText, entry.aliasMode ? std::wstring(L"my note") : full.name);
        EXPECT_EQ(entry.Display().sizeText.empty(), full.directory);
        if (entry.appPath.empty()) {
            EXPECT_EQ(entry.Display().iconIndex, full.icon);
        }
    }
    EXPECT_EQ(EntryAt(root, 5).Display().sizeText, L"3KB");
    EXPECT_TRUE(EntryAt(root, 16).missing);
    EXPECT_EQ(EntryAt(root, 22).name, L"case0.txt");  // spelled as on disk
}

// Right after a large folder is shown, before the background work has ended, sorting, type-ahead,
// the status bar and copying see every entry's data.
TEST_F(FilerDisplayTest, LargeFolderIsUsableBeforeTheBackgroundWorkEnds) {
    TempDir dir;
    CFolder& root = RootFolder();
    const int files = 500;
    for (int i = 0; i < files; ++i) {
        const std::wstring path = dir / (L"f" + std::to_wstring(i) + L".txt");
        ASSERT_TRUE(WriteText(path, std::string((files - i) % 7 * 1024, 'x')));
        root.Append().path = path;
    }
    ASSERT_TRUE(Filer().ShowFolder(&root, false));
    ASSERT_TRUE(Filer().DisplayQueueRunning());

    // Sorting by size (descending on the first click) completes the data first.
    ClickColumn(CFolder::kColumnSize);
    int previous = 7;
    for (const CEntry& entry : root.entries) {
        ASSERT_LE(entry.Display().sizeValue, previous) << entry.path;
        previous = entry.Display().sizeValue;
    }
    EXPECT_EQ(EntryAt(root, 0).Display().sizeValue, 6);

    // Type-ahead brings the names that start with the typed text to the front.
    RootFolder().Clear();
    for (int i = 0; i < files; ++i) root.Append().path = dir / (L"f" + std::to_wstring(i) + L".txt");
    ASSERT_TRUE(Filer().ShowFolder(&root, false));
    ASSERT_TRUE(Filer().DisplayQueueRunning());
    Filer().BringMatchesToFront(L"f499");
    EXPECT_EQ(EntryAt(root, 0).Display().displayText.rfind(L"f499", 0), 0u) << EntryAt(root, 0).Display().displayText;

    // The status bar sums the selection, and a copy lists its files.
    ASSERT_TRUE(Filer().ShowFolder(&root, false));
    Select(files - 1, true);
    Select(files - 2, true);
    EXPECT_EQ(StatusText(1),
              GtFormat(kGtStatusSize, {EntryAt(root, files - 1).Display().sizeValue + EntryAt(root, files - 2).Display().sizeValue}));
    ASSERT_TRUE(Filer().CopySelected());
    std::vector<std::wstring> copied;
    ASSERT_TRUE(KvReadClipboardFiles(list_, copied));
    EXPECT_EQ(copied.size(), 2u);
    DrainQueue();
}

// Leaving a folder while its background work runs writes nothing more into it, and removing
// entries under the queue's cursor neither stops it nor makes it touch them.
TEST_F(FilerDisplayTest, LeavingOrChangingTheFolderDuringTheBackgroundWork) {
    TempDir dir;
    CFolder& root = RootFolder();
    CFolder* other = AddSubfolder(root, L"Other");
    ASSERT_NE(other, nullptr);
    // Paths of files that are not there: their display data is quick to make, and not empty.
    for (int i = 0; i < 1000; ++i) {
        root.Append().path = dir / (L"r" + std::to_wstring(i) + L".txt");
        other->Append().path = dir / (L"o" + std::to_wstring(i) + L".txt");
    }

    ASSERT_TRUE(Filer().ShowFolder(&root, false));
    tf_test::PumpMessages(20);
    ASSERT_TRUE(Filer().ShowFolder(other, false));
    DrainQueue();
    // Display data lives only while its folder is shown: the folder left holds none at all.
    for (const CEntry& entry : root.entries) EXPECT_FALSE(entry.HasDisplay());
    for (const CEntry& entry : other->entries) EXPECT_FALSE(entry.Display().displayText.empty());

    ASSERT_TRUE(Filer().ShowFolder(&root, false));
    tf_test::PumpMessages(20);
    for (int i = 100; i < 400; ++i) Select(i, true);
    EXPECT_EQ(Filer().RemoveSelected(false), 300);
    DrainQueue();
    EXPECT_EQ(root.Count(), 701u);
    for (const CEntry& entry : root.entries) EXPECT_FALSE(entry.Display().displayText.empty());
}

// A position into the shown folder is not used after a change of its entries it did not see: a
// removal and an append between two requests keep the count, yet the rows asked for next are the
// entries now at those places. A text asked for with a small buffer is cut inside it.
TEST_F(FilerDisplayTest, PositionsAreNotUsedAfterARemovalAndAnAppendAndTextsFitTheirBuffer) {
    TempDir dir;
    CFolder& root = RootFolder();
    for (int i = 0; i < 10; ++i) root.Append().path = dir / (L"e" + std::to_wstring(i) + L".txt");
    ASSERT_TRUE(Filer().ShowFolder(&root, false));
    DrainQueue();
    EXPECT_EQ(ItemText(4, 1), dir / L"e4.txt");
    root.RemoveAt(4);
    root.Append().path = dir / L"new.txt";
    EXPECT_EQ(ItemText(4, 1), dir / L"e5.txt");
    EXPECT_EQ(ItemText(5, 1), dir / L"e6.txt");
    EXPECT_EQ(ItemText(9, 1), dir / L"new.txt");
    DrainQueue();
    for (const CEntry& entry : root.entries) EXPECT_FALSE(entry.Display().displayText.empty()) << entry.path;

    wchar_t small[6] = {L'#', L'#', L'#', L'#', L'#', L'#'};
    NMLVDISPINFOW info{};
    info.item.mask = LVIF_TEXT;
    info.item.iItem = 0;
    info.item.iSubItem = 1;
    info.item.pszText = small;
    info.item.cchTextMax = 4;
    Notify(info.hdr, LVN_GETDISPINFOW);
    EXPECT_EQ(std::wstring(small, 3), dir.path().substr(0, 3));
    EXPECT_EQ(small[3], L'\0');
    EXPECT_EQ(small[4], L'#');
}

// A share that does not answer: every call on its paths waits until it is released. Meanwhile the
// window answers at every moment: the rows of the other drive are complete, the share's rows show
// their names, and sorting, leaving the folder and coming back never wait. Once the share answers
// its rows fill in with what the shell says of them.
TEST_F(FilerDisplayTest, RowsOfAShareThatHangsFillInOnceItAnswersAndTheWindowNeverWaits) {
    TempDir local, share;
    CFolder* shown = AddSubfolder(RootFolder(), L"Shown");
    ASSERT_NE(shown, nullptr);
    AddFiles(*shown, local, L"n", L"txt", 20, 2048);
    AddFiles(*shown, share, L"s", L"txt", 20, 3072);
    // A local file whose own program lives on the share: the program's icon is read from the share.
    const std::wstring tool = share / L"tool.exe";
    ASSERT_TRUE(CopyFileW((tf_test::ExeDirectory() + L"Filer_test.exe").c_str(), tool.c_str(), FALSE));
    CEntry& withProgram = shown->Append();
    withProgram.path = local / L"n0.txt";
    withProgram.appPath = tool;
    SHFILEINFOW toolInfo{};
    SHGetFileInfoW(tool.c_str(), 0, &toolInfo, sizeof(toolInfo), SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    // The longest wait of a message sent to the list from another thread. A hang releases the
    // share after a while, so that the test fails instead of hanging with it.
    std::atomic<bool> watching{true};
    std::atomic<DWORD> longest{0};
    struct Release {
        ~Release() { KvReleaseCalls(); }
    } release;
    KvSlowDownCalls(share.path(), kKvBlockCalls);
    std::thread watchdog([&, list = list_] {
        while (watching) {
            const DWORD start = GetTickCount();
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(list, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result)) KvReleaseCalls();
            const DWORD waited = GetTickCount() - start;
            if (waited > longest) longest = waited;
            Sleep(10);
        }
    });

    ASSERT_TRUE(Filer().ShowFolder(shown, false));
    DrainQueue();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(ItemText(i, 2), L"2KB");
        EXPECT_EQ(ItemText(20 + i, 0), L"s" + std::to_wstring(i) + L".txt");
        EXPECT_EQ(ItemText(20 + i, 2), L"");
    }
    EXPECT_EQ(ItemText(40, 2), L"");
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
    ASSERT_TRUE(Filer().ShowFolder(shown, false));
    tf_test::PumpMessages(300);
    // Sorted by size (largest first) while the share's answers are still to come: they find their
    // rows at the new places.
    ClickColumn(CFolder::kColumnSize);
    EXPECT_EQ(EntryAt(*shown, 0).Display().sizeValue, 2);
    EXPECT_EQ(ItemText(39, 2), L"");

    KvReleaseCalls();
    PathDisplay full;
    ASSERT_TRUE(FilerDisplaySource::DescribeInFull(share / L"s7.txt", full));
    const DWORD start = GetTickCount();
    auto filled = [&] {
        for (int i = 0; i < 41; ++i)
            if (ItemText(i, 2).empty()) return false;
        return true;
    };
    while (!filled() && GetTickCount() - start < 20000) tf_test::PumpMessages(20);
    EXPECT_TRUE(filled());
    bool seen = false;
    for (const CEntry& entry : shown->entries)
        if (entry.ResolvedPath() == share / L"s7.txt") {
            seen = true;
            EXPECT_EQ(entry.Display().displayText, full.name);
            EXPECT_EQ(entry.Display().typeText, full.typeText);
            EXPECT_EQ(entry.Display().sizeText, L"3KB");
        } else if (entry.appPath == tool) {
            EXPECT_EQ(entry.Display().iconIndex, toolInfo.iIcon);
        }
    EXPECT_TRUE(seen);
    watching = false;
    watchdog.join();
    EXPECT_LT(longest.load(), 2000u);
}

}  // namespace
