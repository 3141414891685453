#include <gtest/gtest.h>

#include "Kv/KvWalk.h"
#include "Support/DirectoryLinks.h"
#include "Support/TestSupport.h"

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using tf_test::TempDir;

namespace {

// root: a.txt xabcx.txt ABC.txt tmp.txt abc\inner.txt sub\s.txt sub\deep\d.txt tmp\t.txt
void MakeTree(const std::wstring& root) {
    for (const wchar_t* dir : {L"abc", L"sub", L"sub\\deep", L"tmp"}) CreateDirectoryW((root + dir).c_str(), nullptr);
    for (const wchar_t* file : {L"a.txt", L"xabcx.txt", L"ABC.txt", L"tmp.txt", L"abc\\inner.txt", L"sub\\s.txt",
                                L"sub\\deep\\d.txt", L"tmp\\t.txt"})
        tf_test::WriteText(root + file, "x");
}

// Reported paths relative to `root`, in walk order.
std::vector<std::wstring> Walk(const std::wstring& root, const std::wstring& start, const KvWalkOptions& options) {
    std::atomic<bool> stop{false};
    std::vector<std::wstring> found;
    KvWalkDirectory(start, options, stop, [&](const std::wstring& path, bool) {
        found.push_back(path.compare(0, root.size(), root) == 0 ? path.substr(root.size()) : L"?" + path);
    });
    return found;
}

std::set<std::wstring> Set(const std::vector<std::wstring>& v) {
    return {v.begin(), v.end()};
}

KvWalkOptions Limit(int levels) {
    KvWalkOptions options;
    options.levelLimit = levels;
    return options;
}

}  // namespace

TEST(KvWalk, LevelsFiltersAndSeparators) {
    TempDir dir;
    const std::wstring& root = dir.path();
    MakeTree(root);
    const std::set<std::wstring> top = {L"a.txt", L"xabcx.txt", L"ABC.txt", L"tmp.txt", L"abc", L"sub", L"tmp"};
    const std::wstring bare = root.substr(0, root.size() - 1);

    EXPECT_EQ(Set(Walk(root, bare, Limit(0))), top);
    EXPECT_EQ(Set(Walk(root, root, Limit(1))), top);
    std::set<std::wstring> two = top;
    two.insert({L"abc\\inner.txt", L"sub\\s.txt", L"sub\\deep", L"tmp\\t.txt"});
    EXPECT_EQ(Set(Walk(bare + L"/", bare + L"/", Limit(2))), two);

    const std::vector<std::wstring> all = Walk(root, root, Limit(-1));
    std::set<std::wstring> every = two;
    every.insert(L"sub\\deep\\d.txt");
    EXPECT_EQ(Set(all), every);
    EXPECT_EQ(all.size(), every.size());
    auto at = [&](const wchar_t* p) { return std::find(all.begin(), all.end(), p) - all.begin(); };
    EXPECT_LT(at(L"sub"), at(L"sub\\deep"));
    EXPECT_LT(at(L"sub\\deep"), at(L"sub\\deep\\d.txt"));

    KvWalkOptions include;
    include.includeText = L"abc";
    EXPECT_EQ(Set(Walk(root, root, include)), (std::set<std::wstring>{L"xabcx.txt", L"abc"}));

    KvWalkOptions exclude;
    exclude.exclusionText = L"tmp";
    std::set<std::wstring> kept = every;
    kept.erase(L"tmp");
    kept.erase(L"tmp\\t.txt");
    EXPECT_EQ(Set(Walk(root, root, exclude)), kept);

    EXPECT_TRUE(Walk(root, L"", Limit(-1)).empty());
    EXPECT_TRUE(Walk(root, root + L"missing", Limit(-1)).empty());
}

TEST(KvWalk, StopIsSeenAfterEveryItemAtEveryLevel) {
    TempDir dir;
    MakeTree(dir.path());
    CreateDirectoryW((dir / L"sub\\deep\\deeper").c_str(), nullptr);
    for (int i = 0; i < 20; ++i) tf_test::WriteText(dir / (L"sub\\deep\\deeper\\f" + std::to_wstring(i)), "x");

    std::atomic<bool> stop{false};
    std::vector<std::wstring> found;
    KvWalkDirectory(dir.path(), KvWalkOptions{}, stop, [&](const std::wstring& path, bool) {
        found.push_back(path);
        if (path.find(L"deeper\\f") != std::wstring::npos) stop = true;
    });
    ASSERT_FALSE(found.empty());
    EXPECT_NE(found.back().find(L"deeper\\f"), std::wstring::npos);
    EXPECT_EQ(std::count_if(found.begin(), found.end(),
                            [](const std::wstring& p) { return p.find(L"deeper\\f") != std::wstring::npos; }),
              1);
}

// A path beyond MAX_PATH - 1 characters is skipped whole, never reported cut short; a directory
// link to an ancestor is reported once and not entered, so the walk ends, while a reparse point
// that is no link (a cloud-file placeholder, a deduplicated folder) is walked.
TEST(KvWalk, LongPathsAndLinkLoops) {
    const unsigned long reparseDirectory = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
    EXPECT_TRUE(KvIsDirectoryLink(reparseDirectory, IO_REPARSE_TAG_SYMLINK));
    EXPECT_TRUE(KvIsDirectoryLink(reparseDirectory, IO_REPARSE_TAG_MOUNT_POINT));
    EXPECT_TRUE(KvIsDirectoryLink(reparseDirectory, 0));
    EXPECT_FALSE(KvIsDirectoryLink(reparseDirectory, 0x9000601AUL));  // a cloud-file placeholder
    EXPECT_FALSE(KvIsDirectoryLink(reparseDirectory, 0x80000013UL));  // a deduplicated folder
    EXPECT_FALSE(KvIsDirectoryLink(FILE_ATTRIBUTE_DIRECTORY, 0));

    TempDir dir;
    const std::wstring longDir = dir / std::wstring(120, L'd');
    ASSERT_TRUE(CreateDirectoryW(longDir.c_str(), nullptr));
    const std::wstring longName = std::wstring(MAX_PATH - longDir.size() - 1, L'f');
    const std::wstring fits = longDir + L"\\" + longName.substr(0, longName.size() - 1);
    ASSERT_TRUE(tf_test::WriteText(fits, "x"));
    // Exactly MAX_PATH characters, and one more: neither is reported.
    ASSERT_EQ((longDir + L"\\" + longName).size(), static_cast<size_t>(MAX_PATH));
    ASSERT_TRUE(tf_test::WriteText(L"\\\\?\\" + longDir + L"\\" + longName, "x"));
    ASSERT_TRUE(tf_test::WriteText(L"\\\\?\\" + longDir + L"\\" + longName + L"g", "x"));

    std::vector<std::wstring> found = Walk(dir.path(), dir.path(), Limit(-1));
    EXPECT_EQ(Set(found), (std::set<std::wstring>{longDir.substr(dir.path().size()), fits.substr(dir.path().size())}));

    CreateDirectoryW((dir / L"sub").c_str(), nullptr);
    const std::wstring link = dir / L"sub\\up";
    const tf_test::LinkKind kind = tf_test::MakeDirectoryLink(link, dir.path().substr(0, dir.path().size() - 1));
    if (kind == tf_test::LinkKind::None) GTEST_SKIP() << "no directory link can be made here";
    found = Walk(dir.path(), dir.path(), Limit(-1));
    if (kind == tf_test::LinkKind::UnixSymlink)
        tf_test::RemoveUnixLink(link);
    else
        RemoveDirectoryW(link.c_str());
    EXPECT_EQ(std::count(found.begin(), found.end(), L"sub\\up"), 1);
    EXPECT_EQ(found.size(), 4u);
}
