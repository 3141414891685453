#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Document/Folder.h"
#include "Document/Project.h"
#include "Document/ProjectFile.h"
#include "Document/ProjectView.h"
#include "Support/ProjectBytes.h"
#include "Support/ProjectState.h"
#include "Support/TestSupport.h"

using tf_test::ProjectBytes;
using tf_test::SampleProject;

namespace {

constexpr size_t kLongest = 32766;  // characters of the longest encodable string

// The numbers the project file stores for the named folder kinds and view modes.
static_assert(kFolderKindPlain == 1 && kFolderKindMusic == 2 && kFolderKindImage == 3, "stored folder kinds");
static_assert(kFilerViewIcons == 0 && kFilerViewReport == 1 && kFilerViewSmallIcons == 2 && kFilerViewList == 3,
              "stored view modes");

class ProjectFileTest : public testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        SetProjectView(nullptr);
        ResetFolderModel();
        ResetProject();
    }
    std::wstring Write(const std::wstring& name, const std::vector<unsigned char>& bytes) {
        std::wstring path = dir / name;
        EXPECT_TRUE(tf_test::WriteBytes(path, bytes));
        return path;
    }
    std::vector<std::wstring> DirectoryListing() {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((dir / L"*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            std::wstring n = data.cFileName;
            if (n != L"." && n != L"..") names.push_back(n);
        } while (FindNextFileW(find, &data));
        FindClose(find);
        return names;
    }
    tf_test::TempDir dir;
};

// Records what loading and saving ask of the window side, and what the model held at that moment.
class RecordingView : public ProjectView {
public:
    std::vector<std::string> calls;
    RECT movedTo{};
    WINDOWPLACEMENT applied{};
    size_t rootCountAtColumns = 0;
    size_t rootCountAtShow = 0;
    WINDOWPLACEMENT reported{};
    uint32_t reportedWidths[5] = {11, 22, 33, 44, 55};

    void MoveWindowTo(const RECT& rect) override {
        calls.push_back("move");
        movedTo = rect;
    }
    void ApplyPlacement(const WINDOWPLACEMENT& placement) override {
        calls.push_back("placement");
        applied = placement;
    }
    bool GetPlacement(WINDOWPLACEMENT& placement) override {
        calls.push_back("getPlacement");
        placement = reported;
        return true;
    }
    void RefreshTitle() override {
        calls.push_back("title:" + std::string(Project().stem.begin(), Project().stem.end()));
    }
    void ApplyOptions() override { calls.push_back("options"); }
    void SetTrayModeOff() override { calls.push_back("trayOff"); }
    void ApplyFilerColumns(const uint32_t widths[5], uint32_t viewStyle) override {
        calls.push_back("columns:" + std::to_string(widths[4]) + "/" + std::to_string(viewStyle));
        rootCountAtColumns = RootFolder().Count();
    }
    void ReadFilerColumns(uint32_t widths[5], uint32_t& viewStyle) override {
        calls.push_back("readColumns");
        for (int i = 0; i < 5; ++i) widths[i] = reportedWidths[i];
        viewStyle = kFilerViewSmallIcons;
    }
    void ShowRootFolder() override {
        calls.push_back("showRoot");
        rootCountAtShow = RootFolder().Count();
    }
};

void ExpectSearchDefaults(const SearchSettings& s) {
    EXPECT_EQ(s.path, L"");
    EXPECT_EQ(s.depth, 1);
    EXPECT_TRUE(s.limitDepth);
    EXPECT_FALSE(s.useInclude);
    EXPECT_FALSE(s.useExclusion);
    EXPECT_FALSE(s.autoUpdate);
    EXPECT_FALSE(s.multipleFolders);
    EXPECT_TRUE(s.folders.empty());
}

}  // namespace

TEST_F(ProjectFileTest, ReadsEveryVersion) {
    for (int v = 1; v <= 10; ++v) {
        SCOPED_TRACE("version " + std::to_string(v));
        Reset();
        const std::wstring stem = L"s" + std::to_wstring(v);
        const std::wstring path = Write(stem + L".tfolder", SampleProject(v));
        ASSERT_TRUE(LoadProject(path));
        const CProject& p = Project();
        EXPECT_EQ(p.filePath, path);
        EXPECT_EQ(p.directory, dir.path());
        EXPECT_EQ(p.stem, stem);
        EXPECT_EQ(p.extension, L".tfolder");
        EXPECT_EQ(p.titleFormat, L"%FileName% - %DirPath%");
        EXPECT_EQ(p.window.placement.rcNormalPosition.left, 10);
        EXPECT_EQ(p.window.placement.rcNormalPosition.bottom, 420);
        EXPECT_EQ(p.window.placement.showCmd, 1u);

        EXPECT_EQ(p.allowRename, v >= 6 ? 1 : 0);
        EXPECT_EQ(p.appMarkStyle, v >= 6 ? 0 : 2);
        EXPECT_EQ(p.backupEnabled, v >= 6 ? 1 : 0);
        EXPECT_EQ(p.menuExtensionApps, v >= 7 ? 0 : 1) << "forced on before version 7";
        EXPECT_EQ(p.backupDir, v >= 6 ? std::wstring(L"C:\\bk\\") : DefaultBackupDir(stem));
        ASSERT_EQ(p.apps.size(), v >= 7 ? 2u : 0u);
        if (v >= 7) {
            EXPECT_EQ(p.apps[0].extensions, (std::vector<std::wstring>{L".txt", L".log"}));
            EXPECT_EQ(p.apps[1].path, L"C:\\b.exe");
        }
        EXPECT_EQ(p.trayMode, v >= 8 ? 1 : 0);
        EXPECT_EQ(p.statusBar, v >= 8 ? 0 : 1);
        EXPECT_EQ(p.allowAlias, v >= 8 ? 1 : 0);
        EXPECT_EQ(p.mouseGesture, v >= 9 ? 0 : 1);
        EXPECT_EQ(p.menuOpenWithSubmenu, v >= 9 ? 1 : 0);
        EXPECT_EQ(p.menuShellItems, v >= 9 ? 1 : 0);
        EXPECT_EQ(p.menuShellSubmenu, v >= 9 ? 1 : 0);
        EXPECT_EQ(p.treePane, v >= 9 ? 1 : 0);
        EXPECT_EQ(p.treeWidth, v >= 9 ? 222 : 150);
        EXPECT_EQ(p.window.columnWidths[0], 100u);
        EXPECT_EQ(p.window.columnWidths[4], 500u);
        EXPECT_EQ(p.window.viewStyle, kFilerViewList);

        const CFolder& root = RootFolder();
        EXPECT_EQ(root.id, 1u);
        ASSERT_EQ(root.Count(), 3u);
        if (v <= 2) {
            EXPECT_EQ(FolderIdCounter(), 1u);
            unsigned colour = 1;
            for (const CEntry& e : root.entries) {
                EXPECT_EQ(e.name, L"");
                EXPECT_EQ(e.colour, v == 2 ? colour++ : 0u);
                EXPECT_EQ(e.subfolder, nullptr);
                EXPECT_EQ(e.owner, &root);
            }
            EXPECT_EQ(root.entries.back().path, L"C:\\two.txt");
            continue;
        }
        EXPECT_EQ(FolderIdCounter(), 9u);
        EXPECT_EQ(root.reserved, 7);
        EXPECT_EQ(root.sortFlags, 0x15);
        const CEntry& one = root.entries.front();
        EXPECT_EQ(one.name, L"one");
        EXPECT_EQ(one.path, L"C:\\one.txt");
        EXPECT_EQ(one.appPath, L"C:\\ed.exe");
        EXPECT_EQ(one.aliasMode, 1);
        EXPECT_EQ(one.colour, 3);
        EXPECT_EQ(one.relative, 0);
        EXPECT_EQ(one.backupName, v >= 6 ? L"bk1" : L"");
        EXPECT_EQ(one.alias, v >= 9 ? L"uno" : L"");
        const CEntry& sub = *std::next(root.entries.begin());
        ASSERT_NE(sub.subfolder, nullptr);
        const CFolder& folder = *sub.subfolder;
        EXPECT_EQ(folder.id, 5u);
        EXPECT_EQ(folder.sortFlags, 2);
        EXPECT_EQ(folder.kind, v >= 9 ? kFolderKindImage : kFolderKindPlain);
        EXPECT_EQ(folder.parent, &root);
        EXPECT_EQ(folder.ownerEntry, &sub);
        ASSERT_EQ(folder.Count(), 1u);
        EXPECT_EQ(folder.entries.front().path, L"..\\deep.txt");
        EXPECT_EQ(folder.entries.front().relative, 1);
        EXPECT_EQ(folder.entries.front().owner, &folder);
        EXPECT_EQ(root.entries.back().name, L"two");
        EXPECT_EQ(RootFolder().FindById(5), &folder);

        const SearchSettings& s = root.search;
        if (v == 3) {
            ExpectSearchDefaults(s);
        } else {
            EXPECT_EQ(s.path, L"C:\\s");
            EXPECT_EQ(s.depth, 0);
            EXPECT_EQ(s.includeText, L"inc");
            EXPECT_EQ(s.exclusionText, L"");
            EXPECT_TRUE(s.useInclude);
            EXPECT_EQ(s.limitDepth, v == 10) << "before 10: depth 0 means no limit";
            EXPECT_EQ(s.useExclusion, v == 10);
            EXPECT_EQ(s.autoUpdate, v == 10);
            EXPECT_EQ(s.multipleFolders, v == 10);
            ASSERT_EQ(s.folders.size(), v == 10 ? 1u : 0u);
            if (v == 10) {
                EXPECT_EQ(s.folders[0].path, L"C:\\m");
                EXPECT_EQ(s.folders[0].depth, 3);
                EXPECT_EQ(s.folders[0].includeText, L"i");
                EXPECT_EQ(s.folders[0].exclusionText, L"x");
                EXPECT_FALSE(s.folders[0].limitDepth);
                EXPECT_TRUE(s.folders[0].useInclude);
                EXPECT_TRUE(s.folders[0].useExclusion);
            }
            ExpectSearchDefaults(folder.search);
        }
    }
}

TEST_F(ProjectFileTest, WritesVersion10ByteForByte) {
    // Loading the sample and saving it gives the sample back with its reserved parts zeroed.
    const std::wstring path = Write(L"p.tfolder", SampleProject(10));
    ASSERT_TRUE(LoadProject(path));
    ASSERT_TRUE(SaveProject(path));
    EXPECT_EQ(tf_test::ReadBytes(path), SampleProject(10, true));
    EXPECT_EQ(DirectoryListing(), std::vector<std::wstring>{L"p.tfolder"}) << "no temporary file left";

    // Older versions save as version 10 too and load back to the same state.
    for (int v = 1; v <= 9; ++v) {
        Reset();
        const std::wstring old = Write(L"v" + std::to_wstring(v) + L".tfolder", SampleProject(v));
        ASSERT_TRUE(LoadProject(old));
        const std::wstring before = tf_test::ProjectFingerprint();
        ASSERT_TRUE(SaveProject(old));
        const std::vector<unsigned char> saved = tf_test::ReadBytes(old);
        ASSERT_GT(saved.size(), 16u);
        EXPECT_EQ(std::string(saved.begin(), saved.begin() + 16), "KVTFolder10     ");
        Reset();
        ASSERT_TRUE(LoadProject(old));
        EXPECT_EQ(tf_test::ProjectFingerprint(), before) << "version " << v;
    }
}

TEST_F(ProjectFileTest, RoundTripsEveryStoredField) {
    CProject& p = Project();
    p.titleFormat = L"T %DirName%";
    p.allowRename = 1;
    p.appMarkStyle = 1;
    p.backupEnabled = 1;
    p.menuExtensionApps = 0;
    p.menuOpenWithSubmenu = 1;
    p.menuShellItems = 1;
    p.menuShellSubmenu = 1;
    p.backupDir = L"D:\\backup\\";
    p.apps.push_back({L"C:\\x.exe", L"X", {L".a", L".b", L".c"}});
    p.trayMode = 1;
    p.statusBar = 0;
    p.treePane = 1;
    p.treeWidth = 333;
    p.allowAlias = 1;
    p.mouseGesture = 0;
    p.window.placement.length = 44;
    p.window.placement.showCmd = 3;
    p.window.placement.rcNormalPosition = {-5, 6, 700, 800};
    p.window.viewStyle = kFilerViewSmallIcons;
    for (int i = 0; i < 5; ++i) p.window.columnWidths[i] = 70000u + i;  // above 16 bits: kept

    CFolder& root = RootFolder();
    root.reserved = 0xBEEF;
    root.sortFlags = 0x1F;
    root.kind = kFolderKindMusic;
    root.search.path = L"C:\\search";
    root.search.depth = -7;
    root.search.includeText = L"inc";
    root.search.useExclusion = true;
    root.search.limitDepth = false;
    root.search.autoUpdate = true;
    root.search.folders.push_back({L"C:\\f1", 4, L"i1", L"e1", false, true, false});
    root.search.folders.push_back({L"", 0, L"", L"", true, false, true});
    CEntry& e = root.Append();
    e.name = L"名前";
    e.alias = L"別名";
    e.path = L"rel\\a.txt";
    e.appPath = L"C:\\app.exe";
    e.backupName = L"b";
    e.relative = 1;
    e.aliasMode = 1;
    e.colour = 255;
    CEntry& s = root.Append();
    s.name = L"S";
    ASSERT_TRUE(root.CreateSubfolder(s, kFolderKindImage));
    s.subfolder->reserved = 0;
    s.subfolder->sortFlags = 0x8001;
    s.subfolder->Append().path = L"inner";
    SetFolderIdCounter(77);

    const std::wstring path = dir / L"rt.tfolder";
    SplitProjectPath(path, p.directory, p.stem, p.extension);
    ASSERT_TRUE(SaveProject(path));
    EXPECT_EQ(Project().filePath, path);
    const std::wstring before = tf_test::ProjectFingerprint();
    Reset();
    ASSERT_TRUE(LoadProject(path));
    EXPECT_EQ(tf_test::ProjectFingerprint(), before);
    EXPECT_EQ(Project().window.columnWidths[4], 70004u);

    // Saving what was loaded gives the same bytes again.
    const std::vector<unsigned char> first = tf_test::ReadBytes(path);
    ASSERT_TRUE(SaveProject(path));
    EXPECT_EQ(tf_test::ReadBytes(path), first);
}

TEST_F(ProjectFileTest, EmptyFileIsANewProject) {
    RootFolder().Append().path = L"C:\\kept";
    const std::wstring path = Write(L"new.tfolder", {});
    RecordingView view;
    SetProjectView(&view);
    ASSERT_TRUE(LoadProject(path));
    EXPECT_EQ(view.calls, (std::vector<std::string>{"title:new", "trayOff"}));
    EXPECT_EQ(Project().filePath, path);
    EXPECT_EQ(Project().stem, L"new");
    EXPECT_EQ(RootFolder().Count(), 1u) << "the tree stays as it is";
    const std::wstring& backup = Project().backupDir;
    EXPECT_EQ(backup, DefaultBackupDir(L"new"));
    const std::wstring prefix = tf_test::ExeDirectory() + L"backup\\new";
    EXPECT_EQ(backup.compare(0, prefix.size(), prefix), 0) << backup;
    EXPECT_EQ(backup.back(), L'\\');
    const std::wstring tag = BackupRunTag();
    EXPECT_EQ(backup, prefix + tag + L"\\");
    EXPECT_EQ(tag.find_first_not_of(L"0123456789abcdef"), std::wstring::npos) << tag;

    SetProjectView(nullptr);
    ASSERT_TRUE(SaveProject(path));
    const std::vector<unsigned char> saved = tf_test::ReadBytes(path);
    ASSERT_GT(saved.size(), 16u);
    EXPECT_EQ(std::string(saved.begin(), saved.begin() + 16), "KVTFolder10     ");
    Reset();
    ASSERT_TRUE(LoadProject(path));
    EXPECT_EQ(RootFolder().entries.front().path, L"C:\\kept");
}

TEST_F(ProjectFileTest, SplitsProjectPaths) {
    std::wstring d, s, e;
    SplitProjectPath(L"x.tfolder", d, s, e);
    EXPECT_EQ(d, L"\\");
    EXPECT_EQ(s, L"x");
    EXPECT_EQ(e, L".tfolder");
    SplitProjectPath(L"C:/a\\b/c.d.e", d, s, e);
    EXPECT_EQ(d, L"C:/a\\b\\");
    EXPECT_EQ(s, L"c.d");
    EXPECT_EQ(e, L".e");
    SplitProjectPath(L"C:\\a.b\\noext", d, s, e);
    EXPECT_EQ(d, L"C:\\a.b\\");
    EXPECT_EQ(s, L"noext");
    EXPECT_EQ(e, L"");
}

TEST_F(ProjectFileTest, OverlongStringsAreCutAndReadingStaysInStep) {
    auto header = [](ProjectBytes& f, const std::wstring& title) {
        f.Magic(6).U32(44).Placement(0, 0, 1, 1).Str(title).U16(1).U16(1).U16(1).U16(1).Str(L"bk");
    };
    auto tail = [](ProjectBytes& f) {
        f.Fill(6 * 4 + 64).U32(1).U32(0).U32(1).U16(1).U16(0);  // columns, counter, empty root
        f.Str(L"").I32(1).Str(L"");
    };
    for (size_t chars : {511u, 512u, 600u, 32766u}) {
        Reset();
        ProjectBytes f;
        header(f, std::wstring(chars, L'a'));
        tail(f);
        ASSERT_TRUE(LoadProject(Write(L"long.tfolder", f.bytes))) << chars;
        EXPECT_EQ(Project().titleFormat.size(), chars < 512 ? chars : 511u);
        EXPECT_EQ(Project().backupDir, L"bk");
    }

    // A string with padding beyond the usual 0-2 bytes is skipped as a whole.
    ProjectBytes padded;
    padded.Magic(6).U32(44).Placement(0, 0, 1, 1).StrRaw(12, 2, L"t").U16(1).U16(1).U16(1).U16(1).Str(L"bk");
    tail(padded);
    ASSERT_TRUE(LoadProject(Write(L"pad.tfolder", padded.bytes)));
    EXPECT_EQ(Project().titleFormat, L"t");
    EXPECT_EQ(Project().backupDir, L"bk");

    // Versions 1 and 2 keep 259 characters of a root entry path.
    ProjectBytes old;
    old.Magic(1).Fill(16).Str(L"t").U32(2).Fill(6 * 4 + 64).Str(std::wstring(300, L'p')).Str(L"next");
    ASSERT_TRUE(LoadProject(Write(L"v1.tfolder", old.bytes)));
    EXPECT_EQ(RootFolder().entries.front().path.size(), 259u);
    EXPECT_EQ(RootFolder().entries.back().path, L"next");

    // The writer never produces a string it cannot encode.
    Reset();
    RootFolder().Append().name = std::wstring(40000, L'n');
    RootFolder().Append().name = L"after";
    const std::wstring path = dir / L"w.tfolder";
    ASSERT_TRUE(SaveProject(path));
    Reset();
    ASSERT_TRUE(LoadProject(path));
    EXPECT_EQ(RootFolder().entries.front().name.size(), 511u);
    EXPECT_EQ(RootFolder().entries.back().name, L"after");
}

TEST_F(ProjectFileTest, RefusedFilesChangeNothing) {
    ASSERT_TRUE(LoadProject(Write(L"good.tfolder", SampleProject(10))));
    const std::wstring before = tf_test::ProjectFingerprint();
    RecordingView view;
    SetProjectView(&view);

    std::vector<std::pair<std::string, std::vector<unsigned char>>> bad;
    std::vector<unsigned char> magic = SampleProject(10);
    magic[15] = 'X';
    bad.push_back({"unknown magic", magic});
    bad.push_back({"short magic", std::vector<unsigned char>(magic.begin(), magic.begin() + 10)});
    const std::vector<unsigned char> full = SampleProject(9);
    bad.push_back({"cut", std::vector<unsigned char>(full.begin(), full.end() - 1)});
    auto headerV10 = [](ProjectBytes& f) { f.Magic(10).U32(44).Placement(0, 0, 1, 1); };
    {
        ProjectBytes f;
        headerV10(f);
        f.StrRaw(2, 4, L"ab");  // padded below text length
        bad.push_back({"P < T", f.bytes});
    }
    {
        ProjectBytes f;
        headerV10(f);
        f.StrRaw(4, 3, L"ab");
        bad.push_back({"odd T", f.bytes});
    }
    {
        ProjectBytes f;
        headerV10(f);
        f.Str(L"t").U16(0).U16(0).U16(0).U16(0).Str(L"").U32(0xFFFFFFFFu);
        bad.push_back({"huge app count", f.bytes});
    }
    {
        ProjectBytes f;
        f.Magic(2).Fill(16).Str(L"t").U32(0x7FFFFFFF).Fill(6 * 4 + 64).Str(L"p").Fill(40);
        bad.push_back({"huge old entry count", f.bytes});
    }
    {
        // A root that claims more entries than the file holds.
        std::vector<unsigned char> f = SampleProject(3);
        ProjectBytes prefix;
        prefix.Magic(3).I32(10).I32(20).I32(310).I32(420).Str(L"%FileName% - %DirPath%").Fill(6 * 4 + 64).U32(9);
        const size_t at = prefix.bytes.size();
        f[at] = 4;
        bad.push_back({"entry count past the end", f});
    }
    {
        ProjectBytes f;
        headerV10(f);
        f.U32(0x10000);  // placement block claims more bytes than the file has
        f.bytes.erase(f.bytes.begin() + 16, f.bytes.begin() + 20);
        bad.push_back({"placement past the end", f.bytes});
    }

    for (const auto& item : bad) {
        const std::wstring path = Write(L"bad.tfolder", item.second);
        EXPECT_FALSE(LoadProject(path)) << item.first;
        EXPECT_EQ(tf_test::ProjectFingerprint(), before) << item.first;
        EXPECT_EQ(tf_test::ReadBytes(path), item.second) << item.first;
    }
    EXPECT_FALSE(LoadProject(dir / L"missing.tfolder"));
    EXPECT_FALSE(LoadProject(dir.path()));
    EXPECT_TRUE(view.calls.empty());
    EXPECT_EQ(tf_test::ProjectFingerprint(), before);
}

TEST_F(ProjectFileTest, LoadAndSaveTalkToTheView) {
    RootFolder().Append();
    RootFolder().Append();
    RecordingView view;
    SetProjectView(&view);
    ASSERT_TRUE(LoadProject(Write(L"v3.tfolder", SampleProject(3))));
    const std::string columns = "columns:500/" + std::to_string(kFilerViewList);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"move", "title:v3", "options", columns, "showRoot"}));
    EXPECT_EQ(view.movedTo.right, 310);
    EXPECT_EQ(view.rootCountAtColumns, 2u) << "the old tree lives until the root is shown again";
    EXPECT_EQ(view.rootCountAtShow, 3u);

    view.calls.clear();
    ASSERT_TRUE(LoadProject(Write(L"v10.tfolder", SampleProject(10))));
    EXPECT_EQ(view.calls.front(), "placement");
    EXPECT_EQ(view.applied.length, sizeof(WINDOWPLACEMENT));
    EXPECT_EQ(view.applied.rcNormalPosition.bottom, 420);

    view.calls.clear();
    view.reported.length = sizeof(WINDOWPLACEMENT);
    view.reported.rcNormalPosition = {1, 2, 3, 4};
    const std::wstring path = dir / L"saved.tfolder";
    ASSERT_TRUE(SaveProject(path));
    EXPECT_EQ(view.calls, (std::vector<std::string>{"getPlacement", "readColumns"}));
    SetProjectView(nullptr);
    Reset();
    ASSERT_TRUE(LoadProject(path));
    EXPECT_EQ(Project().window.placement.rcNormalPosition.right, 3);
    EXPECT_EQ(Project().window.columnWidths[2], 33u);
    EXPECT_EQ(Project().window.viewStyle, kFilerViewSmallIcons);
}

TEST_F(ProjectFileTest, FailedSaveKeepsTheOldFile) {
    const std::vector<unsigned char> original = SampleProject(10);
    const std::wstring path = Write(L"keep.tfolder", original);
    ASSERT_TRUE(LoadProject(path));
    RootFolder().Append().name = L"changed";

    EXPECT_FALSE(SaveProject(dir / L"missing\\x.tfolder"));
    EXPECT_EQ(Project().filePath, path) << "a failed save does not take the path";

    // The target is a directory: nothing replaces it and no temporary file stays behind.
    ASSERT_TRUE(CreateDirectoryW((dir / L"adir.tfolder").c_str(), nullptr));
    EXPECT_FALSE(SaveProject(dir / L"adir.tfolder"));
    EXPECT_EQ(GetFileAttributesW((dir / L"adir.tfolder").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

    // A read-only project cannot be replaced.
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(SaveProject(path));
    EXPECT_EQ(tf_test::ReadBytes(path), original);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));

    // A project held open without delete sharing cannot be replaced either.
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SaveProject(path));
    CloseHandle(held);
    EXPECT_EQ(tf_test::ReadBytes(path), original);

    std::vector<std::wstring> names = DirectoryListing();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"adir.tfolder", L"keep.tfolder"}));

    ASSERT_TRUE(SaveProject(path));
    Reset();
    ASSERT_TRUE(LoadProject(path));
    EXPECT_EQ(RootFolder().entries.back().name, L"changed");
}

TEST_F(ProjectFileTest, DeepNestingNeedsNoDeepStack) {
    // Nesting as deep as the file allows: far beyond what recursive reading could survive.
    constexpr int kLevels = 60000;
    ProjectBytes f;
    f.Magic(3).Fill(16).Str(L"t").Fill(6 * 4 + 64).U32(kLevels + 2);
    for (int level = 0; level < kLevels; ++level) {
        f.U32(1).U32(level + 1).U16(1).U16(0);
        tf_test::SampleEntry(f, 3, L"d", L"", L"", 0, 0, 0, L"", L"", true);
    }
    f.U32(0).U32(kLevels + 1).U16(1).U16(0);
    const std::wstring path = Write(L"deep.tfolder", f.bytes);
    ASSERT_TRUE(LoadProject(path));
    CFolder* deepest = RootFolder().FindById(kLevels + 1);
    ASSERT_NE(deepest, nullptr);
    EXPECT_EQ(deepest->Path(true).size(), 2u * kLevels);
    ASSERT_TRUE(SaveProject(path));
    Reset();
    ASSERT_TRUE(LoadProject(path));
    EXPECT_NE(RootFolder().FindById(kLevels + 1), nullptr);

    // The same chain cut short is refused as a whole.
    Reset();
    const std::vector<unsigned char> cut(f.bytes.begin(), f.bytes.end() - 4);
    EXPECT_FALSE(LoadProject(Write(L"cut.tfolder", cut)));
    EXPECT_EQ(RootFolder().Count(), 0u);
}

TEST_F(ProjectFileTest, LargeFilesStreamAcrossTheReadWindow) {
    // Forty strings of the largest encodable size land on every position of the read window, and
    // a placement block far longer than the window is skipped.
    ProjectBytes f;
    f.Magic(7).U32(300000).Fill(300000, 0x5A).Str(L"t").U16(0).U16(0).U16(0).U16(0).Str(L"bk");
    f.U32(40);
    for (int i = 0; i < 40; ++i) {
        std::wstring path(kLongest, static_cast<wchar_t>(L'A' + i % 26));
        f.Str(path).Str(L"c" + std::to_wstring(i)).U32(1).Str(L".x");
    }
    f.Fill(6 * 4 + 64).U32(2).U32(0).U32(1).U16(1).U16(0).Str(L"").I32(1).Str(L"");
    const LONG leftBefore = Project().window.placement.rcNormalPosition.left;
    tf_test::ModalResponder responder(IDOK);
    ASSERT_TRUE(LoadProject(Write(L"big.tfolder", f.bytes)));
    ASSERT_EQ(responder.seen().size(), 1u) << "the foreign placement block is reported";
    EXPECT_EQ(responder.seen()[0].title, L"警告");
    EXPECT_NE(responder.seen()[0].text.find(L"Failed Load SetWindowPlacement Data."), std::wstring::npos);
    EXPECT_EQ(Project().window.placement.rcNormalPosition.left, leftBefore);
    ASSERT_EQ(Project().apps.size(), 40u);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(Project().apps[i].path, std::wstring(511, static_cast<wchar_t>(L'A' + i % 26)));
        EXPECT_EQ(Project().apps[i].caption, L"c" + std::to_wstring(i));
        EXPECT_EQ(Project().apps[i].extensions, std::vector<std::wstring>{L".x"});
    }
    EXPECT_EQ(FolderIdCounter(), 2u);

    // The same file with its last byte missing is refused.
    Reset();
    f.bytes.pop_back();
    EXPECT_FALSE(LoadProject(Write(L"big.tfolder", f.bytes)));
    EXPECT_TRUE(Project().apps.empty());
}
