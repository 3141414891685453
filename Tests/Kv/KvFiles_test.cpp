#include <gtest/gtest.h>

#include "Kv/KvFiles.h"
#include "Kv/KvHandles.h"
#include "Support/DirectoryLinks.h"
#include "Support/TestSupport.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

using tf_test::FileExists;
using tf_test::LinkKind;
using tf_test::MakeDirectoryLink;
using tf_test::MakeJunction;
using tf_test::ReadBytes;
using tf_test::RemoveUnixLink;
using tf_test::TempDir;
using tf_test::WriteBytes;
using tf_test::WriteText;

namespace {

std::vector<unsigned char> Pattern(size_t size, unsigned seed) {
    std::vector<unsigned char> v(size);
    for (size_t i = 0; i < size; ++i) v[i] = static_cast<unsigned char>((i * 131u + seed) >> 3);
    return v;
}

void MakeNestedTree(const std::wstring& root) {
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW((root + L"\\a").c_str(), nullptr);
    CreateDirectoryW((root + L"\\a\\b").c_str(), nullptr);
    CreateDirectoryW((root + L"\\a\\b\\c").c_str(), nullptr);
    CreateDirectoryW((root + L"\\empty").c_str(), nullptr);
    WriteText(root + L"\\top.txt", "top");
    WriteText(root + L"\\a\\one.txt", "1");
    WriteText(root + L"\\a\\b\\two.dat", "22");
    WriteText(root + L"\\a\\b\\c\\three", "333");
    WriteText(root + L"\\a\\b\\c\\日本語.txt", "jp");
}

}  // namespace

TEST(KvFiles, CompareResultCodes) {
    TempDir dir;
    const std::wstring a = dir / L"a.bin", b = dir / L"b.bin", c = dir / L"c.bin";
    const std::wstring emptyA = dir / L"e1", emptyB = dir / L"e2", one = dir / L"one";
    const std::wstring missing = dir / L"missing.bin";
    ASSERT_TRUE(WriteBytes(a, Pattern(1000, 1)));
    ASSERT_TRUE(WriteBytes(b, Pattern(1000, 1)));
    std::vector<unsigned char> lastDiffers = Pattern(1000, 1);
    lastDiffers.back() ^= 1;
    ASSERT_TRUE(WriteBytes(c, lastDiffers));
    ASSERT_TRUE(WriteBytes(emptyA, {}));
    ASSERT_TRUE(WriteBytes(emptyB, {}));
    ASSERT_TRUE(WriteBytes(one, {0}));

    EXPECT_EQ(KvCompareEqual, KvCompareFiles(a, b));
    EXPECT_EQ(KvCompareEqual, KvCompareFiles(a, a));
    EXPECT_EQ(KvCompareDifferent, KvCompareFiles(a, c));
    EXPECT_EQ(KvCompareEqual, KvCompareFiles(emptyA, emptyB));
    EXPECT_EQ(KvCompareDifferent, KvCompareFiles(emptyA, one));
    EXPECT_EQ(KvCompareDifferent, KvCompareFiles(one, emptyA));
    EXPECT_EQ(KvCompareDifferent, KvCompareFiles(one, a));  // sizes differ
    EXPECT_EQ(KvCompareFailA, KvCompareFiles(missing, a));
    EXPECT_EQ(KvCompareFailB, KvCompareFiles(a, missing));
    EXPECT_EQ(KvCompareFailBoth, KvCompareFiles(missing, missing));
    EXPECT_EQ(KvCompareFailA, KvCompareFiles(dir.path(), a));  // a directory is not a file

    // Another handle writing to A (read and write shared) does not keep the comparison out; one
    // holding it exclusively does.
    HANDLE writer = CreateFileW(a.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    EXPECT_EQ(KvCompareEqual, KvCompareFiles(a, b));
    CloseHandle(writer);
    HANDLE exclusive = CreateFileW(b.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);
    EXPECT_EQ(KvCompareFailB, KvCompareFiles(a, b));
    CloseHandle(exclusive);
}

// Files of 4 GiB and more are compared like any other (sparse files: no data is written).
TEST(KvFiles, CompareFilesOfFourGiBAndMore) {
    TempDir dir;
    const std::wstring big = dir / L"big.bin", other = dir / L"other.bin", small = dir / L"small.bin";
    const auto make = [](const std::wstring& path, long long size, unsigned char first) {
        return tf_test::WriteSparseFile(path, size, first, 0);
    };
    if (!make(big, 0x100000001LL, 1) || !make(other, 0x100000001LL, 2)) GTEST_SKIP() << "cannot make 4 GiB files here";
    ASSERT_TRUE(WriteBytes(small, {1, 2, 3}));
    EXPECT_EQ(KvCompareDifferent, KvCompareFiles(big, small));
    EXPECT_EQ(KvCompareDifferent, KvCompareFiles(small, big));
    EXPECT_EQ(KvCompareDifferent, KvCompareFiles(big, other));  // same size, the first byte differs
    ASSERT_TRUE(make(other, 0x100000000LL, 1));
    EXPECT_EQ(KvCompareDifferent, KvCompareFiles(big, other));  // one byte past 4 GiB longer
    EXPECT_EQ(KvCompareFailB, KvCompareFiles(big, dir / L"none"));  // open failures come first
}

// Files of many read blocks: a difference in any block, including the short last one, and right at
// a block boundary, is found.
TEST(KvFiles, CompareAcrossBlocks) {
    TempDir dir;
    const size_t size = 40u * 1024u * 1024u + 123u;
    const std::vector<unsigned char> data = Pattern(size, 7);
    const std::wstring a = dir / L"a", b = dir / L"b";
    ASSERT_TRUE(WriteBytes(a, data));
    ASSERT_TRUE(WriteBytes(b, data));
    EXPECT_EQ(KvCompareEqual, KvCompareFiles(a, b));

    for (size_t at : {size_t{0}, size_t{16u * 1024u * 1024u}, size_t{32u * 1024u * 1024u - 1}, size - 1}) {
        std::vector<unsigned char> changed = data;
        changed[at] ^= 0x80;
        ASSERT_TRUE(WriteBytes(b, changed));
        EXPECT_EQ(KvCompareDifferent, KvCompareFiles(a, b)) << "difference at " << at;
    }
}

// Named mappings that another program holds must not take part in a comparison.
TEST(KvFiles, CompareIgnoresNamedMappingsOfOthers) {
    TempDir dir;
    const std::wstring a = dir / L"a", b = dir / L"b", c = dir / L"c";
    ASSERT_TRUE(WriteBytes(a, Pattern(4096, 3)));
    ASSERT_TRUE(WriteBytes(b, Pattern(4096, 3)));
    ASSERT_TRUE(WriteBytes(c, Pattern(4096, 4)));

    HANDLE other1 = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"KvLibFile1_");
    HANDLE other2 = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"KvLibFile2_");
    ASSERT_TRUE(other1 && other2);
    void* v1 = MapViewOfFile(other1, FILE_MAP_WRITE, 0, 0, 4096);
    void* v2 = MapViewOfFile(other2, FILE_MAP_WRITE, 0, 0, 4096);
    ASSERT_TRUE(v1 && v2);
    std::memset(v1, 0xAA, 4096);  // the other program's two mappings hold equal data...
    std::memset(v2, 0xAA, 4096);
    EXPECT_EQ(KvCompareDifferent, KvCompareFiles(a, c));
    std::memset(v2, 0x55, 4096);  // ...then different data
    EXPECT_EQ(KvCompareEqual, KvCompareFiles(a, b));
    UnmapViewOfFile(v1);
    UnmapViewOfFile(v2);
    CloseHandle(other1);
    CloseHandle(other2);
}

TEST(KvFiles, PathExists) {
    TempDir dir;
    const std::wstring file = dir / L"f.txt", sub = dir / L"sub";
    ASSERT_TRUE(WriteText(file, "x"));
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));

    EXPECT_TRUE(KvPathExists(file));
    EXPECT_TRUE(KvPathExists(sub));
    EXPECT_TRUE(KvPathExists(sub + L"\\"));
    EXPECT_TRUE(KvPathExists(dir.path()));  // TempDir's path ends with a backslash
    EXPECT_FALSE(KvPathExists(dir / L"nothing"));
    EXPECT_FALSE(KvPathExists(dir / L"nothing\\"));
    EXPECT_FALSE(KvPathExists(L""));
    EXPECT_FALSE(KvPathExists(dir / L"*.txt"));  // matches f.txt, but names no single file
    EXPECT_FALSE(KvPathExists(dir / L"f.tx?"));
    EXPECT_TRUE(KvPathExists(L"C:\\"));
    EXPECT_TRUE(KvPathExists(L"C:"));
}

TEST(KvFiles, DeleteTreeWithAndWithoutTrailingBackslash) {
    TempDir dir;
    const std::wstring first = dir / L"first", second = dir / L"second";
    MakeNestedTree(first);
    MakeNestedTree(second);
    WriteText(dir / L"beside.txt", "stays");

    EXPECT_TRUE(KvDeleteTree(first));
    EXPECT_FALSE(FileExists(first));
    EXPECT_TRUE(KvDeleteTree(second + L"\\"));
    EXPECT_FALSE(FileExists(second));
    EXPECT_TRUE(FileExists(dir / L"beside.txt"));

    EXPECT_FALSE(KvDeleteTree(dir / L"missing"));
    EXPECT_FALSE(KvDeleteTree(dir / L"beside.txt"));  // a file is not a tree
    EXPECT_TRUE(FileExists(dir / L"beside.txt"));
    EXPECT_FALSE(KvDeleteTree(L""));

    // What cannot be deleted is skipped; the rest goes and the result says the top stayed.
    const std::wstring third = dir / L"third";
    MakeNestedTree(third);
    const std::wstring locked = third + L"\\a\\b\\two.dat";
    HANDLE h = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_FALSE(KvDeleteTree(third));
    EXPECT_TRUE(FileExists(locked));
    EXPECT_FALSE(FileExists(third + L"\\a\\b\\c"));
    EXPECT_FALSE(FileExists(third + L"\\top.txt"));
    CloseHandle(h);
    EXPECT_TRUE(KvDeleteTree(third));
}

TEST(KvFiles, DeleteTreeDoesNotFollowDirectoryLinks) {
    TempDir dir;
    const std::wstring outside = dir / L"outside", tree = dir / L"tree", link = tree + L"\\link";
    ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
    ASSERT_TRUE(WriteText(outside + L"\\keep.txt", "keep"));
    MakeNestedTree(tree);
    const LinkKind kind = MakeDirectoryLink(link, outside);
    if (kind == LinkKind::None) GTEST_SKIP() << "no directory link can be made here";
    ASSERT_TRUE(FileExists(link + L"\\keep.txt"));

    const bool removed = KvDeleteTree(tree);
    EXPECT_TRUE(FileExists(outside + L"\\keep.txt"));
    EXPECT_FALSE(FileExists(tree + L"\\a"));
    EXPECT_FALSE(FileExists(tree + L"\\top.txt"));
    // Windows removes a junction as a link; Wine 8 cannot remove a Unix link to a directory that is
    // not empty, so there the link and the top directory stay and the result says so.
    EXPECT_EQ(removed, !FileExists(tree));
    if (kind == LinkKind::Junction) {
        EXPECT_TRUE(removed);
    }

    // Given the link itself, only the link goes.
    if (kind == LinkKind::UnixSymlink) {
        EXPECT_FALSE(KvDeleteTree(link));
        RemoveUnixLink(link);
    } else {
        const std::wstring link2 = dir / L"link2";
        ASSERT_TRUE(MakeJunction(link2, outside));
        EXPECT_TRUE(KvDeleteTree(link2));
    }
    EXPECT_TRUE(FileExists(outside + L"\\keep.txt"));
}

TEST(KvFiles, CopyFileReplacing) {
    TempDir dir;
    const std::wstring source = dir / L"source.txt", dest = dir / L"dest.txt";
    ASSERT_TRUE(WriteText(source, "new contents"));
    ASSERT_TRUE(WriteText(dest, "old"));

    EXPECT_TRUE(KvCopyFileReplacing(source, dest));
    EXPECT_EQ(ReadBytes(source), ReadBytes(dest));

    // A copy that cannot run leaves the destination as it was.
    ASSERT_TRUE(WriteText(dest, "precious"));
    EXPECT_FALSE(KvCopyFileReplacing(dir / L"missing.txt", dest));
    EXPECT_EQ(std::vector<unsigned char>({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}), ReadBytes(dest));
    EXPECT_FALSE(KvCopyFileReplacing(dir / L"*.txt", dest));
    EXPECT_EQ(8u, ReadBytes(dest).size());

    // Onto itself: nothing to do, the file keeps its contents.
    EXPECT_TRUE(KvCopyFileReplacing(source, source));
    EXPECT_EQ(12u, ReadBytes(source).size());

    // Onto a directory: refused, the directory is left alone.
    const std::wstring sub = dir / L"sub";
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    EXPECT_FALSE(KvCopyFileReplacing(source, sub));
    EXPECT_FALSE(FileExists(sub + L"\\source.txt"));

    // A new destination is made.
    EXPECT_TRUE(KvCopyFileReplacing(source, dir / L"fresh.txt"));
    EXPECT_EQ(ReadBytes(source), ReadBytes(dir / L"fresh.txt"));

    // Missing directories are made, and the copy keeps the source's last write time.
    const FILETIME old{0xD53E8000u, 0x01D0A5B0u};
    {
        kv::UniqueFile file(CreateFileW(source.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &old));
    }
    const std::wstring deep = dir / L"a\\b\\deep.txt";
    EXPECT_TRUE(KvCopyFileReplacing(source, deep));
    EXPECT_EQ(ReadBytes(source), ReadBytes(deep));
    WIN32_FILE_ATTRIBUTE_DATA copied{};
    ASSERT_TRUE(GetFileAttributesExW(deep.c_str(), GetFileExInfoStandard, &copied));
    EXPECT_EQ(CompareFileTime(&copied.ftLastWriteTime, &old), 0);

    // A copy stopped midway fails and leaves nothing behind.
    ASSERT_TRUE(WriteText(source, std::string(9 * 1024 * 1024, 's')));
    std::vector<unsigned long long> seen;
    KvSetCopyProgressHook([&](const std::wstring& to, unsigned long long done, unsigned long long total) {
        seen.push_back(done);
        return to == deep ? done < total / 2 : true;
    });
    EXPECT_FALSE(KvCopyFileReplacing(source, deep));
    EXPECT_FALSE(FileExists(deep));
    EXPECT_TRUE(KvCopyFileReplacing(source, dest));
    KvSetCopyProgressHook({});
    EXPECT_EQ(ReadBytes(source), ReadBytes(dest));
    ASSERT_GE(seen.size(), 2u);
    EXPECT_LT(seen.front(), 9u * 1024 * 1024);
    EXPECT_EQ(seen.back(), 9u * 1024 * 1024);
}
