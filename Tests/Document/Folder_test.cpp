#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "Document/Folder.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Project.h"
#include "Support/TestSupport.h"

namespace {

class FolderTest : public testing::Test {
protected:
    void SetUp() override {
        ResetFolderModel();
        ResetProject();
    }
    void TearDown() override {
        ResetFolderModel();
        ResetProject();
    }
};

std::vector<std::wstring> DisplayOrder(const CFolder& folder) {
    std::vector<std::wstring> out;
    for (const CEntry& e : folder.entries) out.push_back(e.Display().displayText);
    return out;
}

CEntry& AddShown(CFolder& folder, const std::wstring& text, int size = 0, const std::wstring& path = L"") {
    CEntry& e = folder.Append();
    e.EditDisplay().displayText = text;
    e.EditDisplay().sizeValue = size;
    e.path = path;
    return e;
}

// A UI text table whose kGtNameWithoutAlias entry is "[%s]".
void LoadTextTable(const tf_test::TempDir& dir) {
    std::wstring text;
    for (int i = 0; i < GlobalText::kEntryCount; ++i) {
        text += i == kGtNameWithoutAlias ? L"[%s]" : L"t" + std::to_wstring(i);
        text += L'\0';
    }
    std::vector<unsigned char> bytes{0xFF, 0xFE};
    for (wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    ASSERT_TRUE(tf_test::WriteBytes(dir / L"GT", bytes));
    ASSERT_TRUE(GlobalText::LoadFrom(dir / L"GT"));
}

}  // namespace

TEST_F(FolderTest, InsertRemoveAndPositions) {
    CFolder& root = RootFolder();
    EXPECT_EQ(root.InsertAt(1), root.End()) << "past the end inserts nothing";
    EXPECT_EQ(root.Count(), 0u);
    auto first = root.InsertAt(0);
    ASSERT_NE(first, root.End());
    EXPECT_EQ(first->owner, &root);
    EXPECT_EQ(first->Display().iconIndex, CEntry::kIconUnset);
    first->EditDisplay().displayText = L"a";
    root.InsertAt(1)->EditDisplay().displayText = L"c";  // count: appends
    root.InsertAt(1)->EditDisplay().displayText = L"b";
    root.InsertAt(0)->EditDisplay().displayText = L"_";
    EXPECT_EQ(DisplayOrder(root), (std::vector<std::wstring>{L"_", L"a", L"b", L"c"}));
    EXPECT_EQ(root.InsertAt(5), root.End());
    EXPECT_EQ(root.Count(), 4u);

    EXPECT_EQ(root.EntryAt(3)->Display().displayText, L"c");
    EXPECT_EQ(root.EntryAt(1)->Display().displayText, L"a");
    EXPECT_EQ(root.EntryAt(4), root.End());

    auto after = root.RemoveAt(1);
    ASSERT_NE(after, root.End());
    EXPECT_EQ(after->Display().displayText, L"b");
    EXPECT_EQ(root.RemoveAt(3), root.End());
    EXPECT_EQ(root.RemoveAt(2), root.End()) << "removing the last entry returns the end";
    EXPECT_EQ(DisplayOrder(root), (std::vector<std::wstring>{L"_", L"b"}));

    // Removing a subfolder entry destroys the tree below it.
    CEntry& sub = *root.EntryAt(1);
    ASSERT_TRUE(root.CreateSubfolder(sub, kFolderKindPlain));
    ASSERT_TRUE(sub.subfolder->CreateSubfolder(sub.subfolder->Append(), kFolderKindPlain));
    const uint32_t deepId = sub.subfolder->entries.front().subfolder->id;
    EXPECT_NE(root.FindById(deepId), nullptr);
    root.RemoveAt(1);
    EXPECT_EQ(root.FindById(deepId), nullptr);
    root.Clear();
    EXPECT_EQ(root.Count(), 0u);
}

TEST_F(FolderTest, FolderIdsSkipUsedIdsAndNeverGiveZero) {
    CFolder& root = RootFolder();
    EXPECT_EQ(NewFolderId(), 2u) << "root holds 1, the counter starts at 1";

    CEntry& e = root.Append();
    ASSERT_TRUE(root.CreateSubfolder(e, kFolderKindImage));
    EXPECT_EQ(e.subfolder->id, 3u);
    EXPECT_EQ(e.subfolder->kind, kFolderKindImage);
    EXPECT_EQ(e.subfolder->parent, &root);
    EXPECT_EQ(e.subfolder->ownerEntry, &e);
    EXPECT_FALSE(root.CreateSubfolder(e, kFolderKindPlain)) << "an entry holds one subfolder";

    SetFolderIdCounter(0xFFFFFFFFu);
    EXPECT_EQ(NewFolderId(), 2u) << "wraps to 1, which the root holds";
    SetFolderIdCounter(0xFFFFFFFFu);
    e.subfolder->id = 2;
    EXPECT_EQ(NewFolderId(), 3u);
    SetFolderIdCounter(0);
    EXPECT_EQ(NewFolderId(), 3u) << "1 and 2 are taken";
}

TEST_F(FolderTest, TreePathsAndLookups) {
    CFolder& root = RootFolder();
    EXPECT_EQ(root.Path(true), L"");
    CEntry& a = root.Append();
    a.name = L"A";
    ASSERT_TRUE(root.CreateSubfolder(a, kFolderKindPlain));
    CEntry& b = a.subfolder->Append();
    b.name = L"B";
    ASSERT_TRUE(a.subfolder->CreateSubfolder(b, kFolderKindPlain));
    CEntry& c = root.Append();
    c.name = L"C";
    ASSERT_TRUE(root.CreateSubfolder(c, kFolderKindPlain));
    EXPECT_EQ(b.subfolder->Path(true), L"A\\B\\");
    EXPECT_EQ(b.subfolder->Path(false), L"A/B/");
    EXPECT_EQ(b.subfolder->Name(), L"B");

    // Depth first in entry order: with a duplicated id the deeper folder under A comes first.
    c.subfolder->id = b.subfolder->id;
    EXPECT_EQ(root.FindById(b.subfolder->id), b.subfolder.get());
    EXPECT_EQ(root.FindById(12345), nullptr);
    EXPECT_EQ(root.FindById(1), &root);

    HTREEITEM item = reinterpret_cast<HTREEITEM>(static_cast<uintptr_t>(0x40));
    c.subfolder->treeItem = item;
    EXPECT_EQ(root.FindByTreeItem(item), c.subfolder.get());
}

TEST_F(FolderTest, RelativePathsResolveAgainstTheProjectDirectory) {
    Project().directory = L"C:\\p\\q\\";
    CFolder& root = RootFolder();
    CEntry& rel = root.Append();
    rel.path = L"..\\x.txt";
    rel.relative = 1;
    EXPECT_EQ(rel.ResolvedPath(), L"C:\\p\\x.txt");
    CEntry& abs = root.Append();
    abs.path = L"C:\\p\\q\\y.txt";
    EXPECT_EQ(abs.ResolvedPath(), L"C:\\p\\q\\y.txt");

    EXPECT_EQ(root.FindByPath(L"C:\\p\\x.txt"), 0);
    EXPECT_EQ(root.FindByPath(L"..\\x.txt"), -1) << "the resolved form is compared";
    EXPECT_EQ(root.FindByPath(L"c:\\p\\X.txt"), -1) << "case-sensitive";
    EXPECT_EQ(root.FindByPath(L"C:\\p\\q\\y.txt"), 1);

    abs.MakeRelative();
    EXPECT_EQ(abs.relative, 1);
    EXPECT_EQ(abs.ResolvedPath(), L"C:\\p\\q\\y.txt");
    abs.MakeAbsolute();
    EXPECT_EQ(abs.relative, 0);
    EXPECT_EQ(abs.path, L"C:\\p\\q\\y.txt");

    CEntry& other = root.Append();
    other.path = L"C:\\p\\z.txt";
    other.MakeRelative();
    EXPECT_EQ(other.relative, 1);
    EXPECT_EQ(other.path, L"..\\z.txt");
    EXPECT_EQ(other.ResolvedPath(), L"C:\\p\\z.txt");

    // Root-relative and absolute texts in a relative entry resolve as the current directory would.
    rel.path = L"\\top.txt";
    EXPECT_EQ(rel.ResolvedPath(), L"C:\\top.txt");
    rel.path = L"D:\\d.txt";
    EXPECT_EQ(rel.ResolvedPath(), L"D:\\d.txt");

    // A resolved path longer than 259 characters is never cut: two such entries stay apart, and
    // neither can be made absolute, because the stored path would not fit.
    std::wstring deep;
    for (int i = 0; i < 30; ++i) deep += L"folder" + std::to_wstring(i) + L"\\";
    rel.path = deep + L"one.txt";
    CEntry& twin = root.Append();
    twin.path = deep + L"two.txt";
    twin.relative = 1;
    EXPECT_EQ(rel.ResolvedPath(), L"C:\\p\\q\\" + deep + L"one.txt");
    EXPECT_NE(rel.ResolvedPath(), twin.ResolvedPath());
    twin.MakeAbsolute();
    EXPECT_EQ(twin.relative, 1);
    EXPECT_EQ(twin.path, deep + L"two.txt");

    // Without a project directory nothing converts.
    Project().directory.clear();
    CEntry& plain = root.Append();
    plain.path = L"C:\\w.txt";
    plain.MakeRelative();
    EXPECT_EQ(plain.relative, 0);
    EXPECT_EQ(plain.path, L"C:\\w.txt");
}

TEST_F(FolderTest, PathIndexAnswersLikeFindByPath) {
    Project().directory = L"C:\\p\\";
    CFolder& root = RootFolder();
    root.Append().path = L"C:\\a";
    root.Append().path = L"C:\\b";
    root.Append().path = L"C:\\a";
    CEntry& rel = root.Append();
    rel.path = L"c";
    rel.relative = 1;
    FolderPathIndex index(root);
    for (const wchar_t* p : {L"C:\\a", L"C:\\b", L"C:\\p\\c", L"c", L"C:\\A"})
        EXPECT_EQ(index.Find(p), root.FindByPath(p)) << p;

    // A bulk add of many paths, each refused when present.
    for (int i = 0; i < 100000; ++i) {
        std::wstring path = L"C:\\bulk\\" + std::to_wstring(i % 50000);
        if (index.Find(path) >= 0) continue;
        root.Append().path = path;
        index.NoteAppended(path);
    }
    EXPECT_EQ(root.Count(), 4u + 50000u);
    EXPECT_EQ(index.Find(L"C:\\bulk\\49999"), static_cast<int>(root.Count()) - 1);
}

TEST_F(FolderTest, ColumnSortsToggleDirectionAndStayStable) {
    CFolder& root = RootFolder();
    AddShown(root, L"a", 2);
    AddShown(root, L"b", 1);
    AddShown(root, L"c", 2);
    AddShown(root, L"d", 3);
    EXPECT_FALSE(root.SortByColumn(CFolder::kColumnSize)) << "first click sorts descending";
    EXPECT_EQ(DisplayOrder(root), (std::vector<std::wstring>{L"d", L"a", L"c", L"b"}));
    EXPECT_EQ(root.sortFlags, 1 << 2);
    EXPECT_TRUE(root.SortByColumn(CFolder::kColumnSize));
    EXPECT_EQ(DisplayOrder(root), (std::vector<std::wstring>{L"b", L"a", L"c", L"d"}));
    EXPECT_EQ(root.sortFlags, 0);

    // Text keys compare as unsigned code units: U+FF21 after 'a', 'B' before 'a'.
    root.Clear();
    AddShown(root, L"\xFF21");
    AddShown(root, L"a");
    AddShown(root, L"B");
    AddShown(root, L"ab");
    root.SortByName(true);
    EXPECT_EQ(DisplayOrder(root), (std::vector<std::wstring>{L"B", L"a", L"ab", L"\xFF21"}));

    // Path: descending reverses the previous order of equal paths, ascending keeps it.
    root.Clear();
    AddShown(root, L"p1", 0, L"C:\\same");
    AddShown(root, L"q", 0, L"C:\\other");
    AddShown(root, L"p2", 0, L"C:\\same");
    root.SortByPath(false);
    EXPECT_EQ(DisplayOrder(root), (std::vector<std::wstring>{L"p2", L"p1", L"q"}));
    root.SortByPath(true);
    EXPECT_EQ(DisplayOrder(root), (std::vector<std::wstring>{L"q", L"p2", L"p1"}));

    // Sorting relinks nodes: a subfolder's owner entry stays valid.
    CEntry& owner = AddShown(root, L"0", 0, L"A:\\");
    ASSERT_TRUE(root.CreateSubfolder(owner, kFolderKindPlain));
    root.SortByPath(true);
    EXPECT_EQ(&root.entries.front(), &owner);
    EXPECT_EQ(owner.subfolder->ownerEntry, &owner);
}

TEST_F(FolderTest, PrefixSortBringsMatchesToFront) {
    CFolder& root = RootFolder();
    for (const wchar_t* t : {L"xa", L"Abc", L"b", L"aB"}) AddShown(root, t);
    EXPECT_TRUE(root.SortByPrefix(L"ab"));
    EXPECT_EQ(DisplayOrder(root), (std::vector<std::wstring>{L"Abc", L"aB", L"xa", L"b"}));
    EXPECT_FALSE(root.SortByPrefix(L"ab")) << "already in front";
    EXPECT_FALSE(root.SortByPrefix(L""));
    EXPECT_FALSE(root.SortByPrefix(L"zz"));
    EXPECT_TRUE(root.SortByPrefix(L"X"));
    EXPECT_EQ(DisplayOrder(root), (std::vector<std::wstring>{L"xa", L"Abc", L"aB", L"b"}));
    // Only A-Z fold: full-width letters and accented letters compare exactly.
    AddShown(root, L"\xFF41");
    EXPECT_FALSE(root.SortByPrefix(L"\xFF21"));
    EXPECT_FALSE(root.SortByPrefix(L"abcd"));
}

TEST_F(FolderTest, ShownNameAndBackupPaths) {
    tf_test::TempDir dir;
    LoadTextTable(dir);
    CEntry& e = RootFolder().Append();
    e.name = L"file";
    EXPECT_EQ(e.ShownName(), L"[file]");
    e.alias = L"nick";
    EXPECT_EQ(e.ShownName(), L"nick");

    EXPECT_EQ(e.BackupPath(), L"") << "no backup name";
    e.backupName = L"b1";
    EXPECT_EQ(e.BackupPath(), L"") << "no backup directory";
    Project().backupDir = L"C:\\bk";
    EXPECT_EQ(e.BackupPath(), L"C:\\bk\\b1");
    Project().backupDir = L"C:\\bk\\";
    EXPECT_EQ(e.BackupPath(), L"C:\\bk\\b1");
    Project().backupDir = L"C:\\" + std::wstring(245, L'x') + L"\\";
    EXPECT_EQ(e.BackupPath().size(), 251u);
    e.backupName = L"b12";
    EXPECT_EQ(e.BackupPath(), L"") << "252 characters is too long";

    Project().backupDir = dir.path();
    e.backupName = L"entry";
    EXPECT_FALSE(e.HasBackup());
    ASSERT_TRUE(CreateDirectoryW((dir / L"entry").c_str(), nullptr));
    EXPECT_FALSE(e.HasBackup());
    ASSERT_TRUE(tf_test::WriteText(dir / L"entry\\info.xml", "<x/>"));
    EXPECT_TRUE(e.HasBackup());
    GlobalText::Release();
}

// Entry texts: empty ones allocate nothing, set ones read back exactly (beyond ASCII, from their own
// characters, through copies and moves), and the blocks behind them are reused once freed.
TEST_F(FolderTest, EntryTextsAndTheirBlocks) {
    static_assert(sizeof(EntryText) == sizeof(void*), "an entry text is one pointer");
    CEntry& e = RootFolder().Append();
    EXPECT_TRUE(e.alias.empty());
    EXPECT_EQ(e.alias.c_str()[0], L'\0');
    EXPECT_FALSE(e.HasDisplay());
    EXPECT_EQ(e.Display().iconIndex, CEntry::kIconUnset);

    e.name = std::wstring(L"\u65e5\u672c\u8a9e.txt");
    EXPECT_EQ(e.name, L"\u65e5\u672c\u8a9e.txt");
    EXPECT_EQ(e.name.size(), 7u);
    EXPECT_EQ(e.name.c_str()[7], L'\0');
    e.name = e.name.view().substr(3);  // assigned from its own characters
    EXPECT_EQ(e.name, std::wstring(L".txt"));
    EntryText copy = e.name;
    EntryText moved = std::move(copy);
    EXPECT_TRUE(copy.empty());
    EXPECT_EQ(moved + L"!", L".txt!");
    e.name = L"";
    EXPECT_TRUE(e.name.empty());

    void* block = smallblocks::Allocate(40);
    smallblocks::Free(block, 40);
    EXPECT_EQ(smallblocks::Allocate(33), block) << "a freed block serves the next request of its class";
    smallblocks::Free(block, 33);
    void* large = smallblocks::Allocate(smallblocks::kMaxSmallBlock + 1);
    ASSERT_NE(large, nullptr);
    smallblocks::Free(large, smallblocks::kMaxSmallBlock + 1);
}

// Threads taking and giving back blocks of the same classes at once: no block is ever handed to two
// holders (each holder finds its own mark in its blocks until it frees them).
TEST(SmallBlocks, ConcurrentThreadsNeverShareABlock) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 1000000;
    constexpr size_t kHeld = 32;
    bool intact[kThreads] = {};
    std::atomic<int> waiting{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &intact, &waiting] {
            struct Held {
                uint64_t* block;
                size_t bytes;
                uint64_t mark;
            };
            std::vector<Held> held;
            bool ok = true;
            for (--waiting; waiting.load() != 0;) std::this_thread::yield();
            for (uint64_t i = 0; i < kRounds; ++i) {
                const size_t bytes = 16 + (i % 2) * 8;
                const uint64_t mark = (static_cast<uint64_t>(t) << 32) | i;
                auto* block = static_cast<uint64_t*>(smallblocks::Allocate(bytes));
                block[0] = block[1] = mark;
                held.push_back({block, bytes, mark});
                if (held.size() < kHeld) continue;
                for (const Held& h : held) {
                    ok = ok && h.block[0] == h.mark && h.block[1] == h.mark;
                    smallblocks::Free(h.block, h.bytes);
                }
                held.clear();
            }
            for (const Held& h : held) smallblocks::Free(h.block, h.bytes);
            intact[t] = ok;
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_TRUE(intact[t]) << "thread " << t;
}
