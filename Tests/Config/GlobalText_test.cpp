#include <gtest/gtest.h>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvWindow.h"
#include "Support/TestSupport.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

using namespace tf_test;

namespace {

// UTF-16LE bytes of `units` (which may hold NULs), after the mark FF FE unless told otherwise.
std::vector<unsigned char> Utf16(const std::wstring& units, bool mark = true) {
    std::vector<unsigned char> bytes;
    if (mark) bytes = {0xFF, 0xFE};
    for (wchar_t c : units) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    return bytes;
}

std::wstring WithoutCr(std::wstring s) {
    s.erase(std::remove(s.begin(), s.end(), L'\r'), s.end());
    return s;
}

class GlobalTextTest : public ::testing::Test {
protected:
    void TearDown() override { GlobalText::Release(); }

    // Loads `bytes` from a fresh file; no box is expected.
    void LoadBytes(const std::vector<unsigned char>& bytes) {
        const std::wstring path = dir_ / L"GT";
        ASSERT_TRUE(WriteBytes(path, bytes));
        ModalResponder responder;
        ASSERT_TRUE(GlobalText::LoadFrom(path));
        EXPECT_TRUE(responder.seen().empty());
    }

    // Expects LoadFrom(path) to fail with exactly one error box showing `prefix` and the path
    // from line `line`, and returns nothing else.
    void ExpectRefused(const std::wstring& path, const wchar_t* prefix, int line) {
        ModalResponder responder;
        EXPECT_FALSE(GlobalText::LoadFrom(path));
        ASSERT_EQ(responder.seen().size(), 1u);
        const std::wstring expected = KvComposeErrorText((std::wstring(prefix) + L"\n" + path).c_str(),
                                                         L".\\Source\\GlobalText", L"GlobalText::Load", line);
        EXPECT_EQ(WithoutCr(responder.seen()[0].text), WithoutCr(expected));
    }

    TempDir dir_;
};

TEST_F(GlobalTextTest, SlotsAreCountedByPositionAndBoundedByTheFile) {
    // An empty text is a slot of its own and does not shift the later ones.
    LoadBytes(Utf16(std::wstring(L"first\0\0third\0", 13)));
    EXPECT_STREQ(GlobalText::Get(0), L"first");
    EXPECT_STREQ(GlobalText::Get(1), L"");
    EXPECT_STREQ(GlobalText::Get(2), L"third");
    // Fewer than 187 texts: the rest read as empty, as do numbers out of range.
    EXPECT_STREQ(GlobalText::Get(3), L"");
    EXPECT_STREQ(GlobalText::Get(186), L"");
    EXPECT_STREQ(GlobalText::Get(187), L"");
    EXPECT_STREQ(GlobalText::Get(-1), L"");

    // A last text without its NUL ends at the end of the file.
    LoadBytes(Utf16(std::wstring(L"a\0tail", 6)));
    EXPECT_STREQ(GlobalText::Get(0), L"a");
    EXPECT_STREQ(GlobalText::Get(1), L"tail");
    EXPECT_STREQ(GlobalText::Get(2), L"");

    // An odd byte count: the lone last byte is not part of any text.
    std::vector<unsigned char> odd = Utf16(std::wstring(L"x\0y", 3));
    odd.push_back(0x41);
    LoadBytes(odd);
    EXPECT_STREQ(GlobalText::Get(1), L"y");
    EXPECT_STREQ(GlobalText::Get(2), L"");

    // Only the mark.
    LoadBytes({0xFF, 0xFE});
    EXPECT_STREQ(GlobalText::Get(0), L"");

    // More texts than slots: the extra ones are ignored.
    std::wstring many;
    for (int i = 0; i < 190; ++i) many += L"t" + std::to_wstring(i) + L'\0';
    LoadBytes(Utf16(many));
    EXPECT_STREQ(GlobalText::Get(0), L"t0");
    EXPECT_STREQ(GlobalText::Get(186), L"t186");

    GlobalText::Release();
    EXPECT_STREQ(GlobalText::Get(0), L"");
}

TEST_F(GlobalTextTest, RefusedFilesShowTheirBoxAndKeepTheTable) {
    LoadBytes(Utf16(std::wstring(L"kept\0", 5)));

    const std::wstring bigEndian = dir_ / L"be";
    std::vector<unsigned char> be = {0xFE, 0xFF, 0x00, 0x41, 0x00, 0x00};
    ASSERT_TRUE(WriteBytes(bigEndian, be));
    ExpectRefused(bigEndian, L"MenuText is not UniCode!", 77);

    const std::wstring noMark = dir_ / L"nomark";
    ASSERT_TRUE(WriteBytes(noMark, Utf16(std::wstring(L"A\0", 2), false)));
    ExpectRefused(noMark, L"MenuText is not UniCode!", 77);

    const std::wstring empty = dir_ / L"empty";
    ASSERT_TRUE(WriteBytes(empty, {}));
    ExpectRefused(empty, L"MenuText is not UniCode!", 77);

    ExpectRefused(dir_ / L"missing", L"MenuText Load Error!", 49);

    EXPECT_STREQ(GlobalText::Get(0), L"kept");
}

TEST_F(GlobalTextTest, FormatsMatchingArguments) {
    EXPECT_EQ(GtFormatText(L"%s: %d 件", {L"abc", 5}), L"abc: 5 件");
    EXPECT_EQ(GtFormatText(L"100%%", {}), L"100%");
    EXPECT_EQ(GtFormatText(L"[%5d|%-5d|%05d|%+d|% d|%.3d]", {42, 42, -42, 7, 7, 5}), L"[   42|42   |-0042|+7| 7|005]");
    EXPECT_EQ(GtFormatText(L"%x %X %#x %#X %08x", {255, 255, 255, 0, 0xBEEF}), L"ff FF 0xff 0 0000beef");
    EXPECT_EQ(GtFormatText(L"%u %d %i", {-1, INT_MIN, INT_MAX}), L"4294967295 -2147483648 2147483647");
    EXPECT_EQ(GtFormatText(L"%hd %hu %lld %llu", {70000, -1, -5000000000LL, 5000000000LL}),
              L"4464 65535 -5000000000 5000000000");
    EXPECT_EQ(GtFormatText(L"%ls|%S|%hs|%.2s|%5s|%-5s|", {L"w", L"s", L"h", L"abcdef", L"ab", L"ab"}),
              L"w|s|h|ab|   ab|ab   |");
    EXPECT_EQ(GtFormatText(L"%c%lc", {0x3042, 0x3044}), L"あい");
    EXPECT_EQ(GtFormatText(L"%s", {std::wstring(L"%d %n")}), L"%d %n");
    EXPECT_EQ(GtFormatText(nullptr, {1}), L"");
}

TEST_F(GlobalTextTest, MismatchedFormatsGiveTheBareText) {
    const wchar_t* const bare[] = {L"%s", L"%d",    L"%d %d", L"%n",    L"%p",      L"%f",      L"%*d", L"%.*s",
                                   L"%o", L"%I64d", L"%lls",  L"end %", L"%99999d", L"%.5000s", L"%"};
    for (const wchar_t* f : bare) {
        EXPECT_EQ(GtFormatText(f, {}), f) << "no arguments: " << testing::PrintToString(std::wstring(f));
    }
    EXPECT_EQ(GtFormatText(L"%s", {12}), L"%s");
    EXPECT_EQ(GtFormatText(L"%d", {L"text"}), L"%d");
    EXPECT_EQ(GtFormatText(L"%c", {L"x"}), L"%c");
    EXPECT_EQ(GtFormatText(L"%d %d", {1}), L"%d %d");
    EXPECT_EQ(GtFormatText(L"%d", {1, 2}), L"%d");
    EXPECT_EQ(GtFormatText(L"no conversion", {1}), L"no conversion");
    EXPECT_EQ(GtFormatText(L"%s then %d", {3, L"swapped"}), L"%s then %d");
    EXPECT_EQ(GtFormatText(L"%d%n", {1, 2}), L"%d%n");

    LoadBytes(Utf16(std::wstring(L"%d items\0%s\0", 12)));
    EXPECT_EQ(GtFormat(0, {3}), L"3 items");
    EXPECT_EQ(GtFormat(1, {3}), L"%s");
    EXPECT_EQ(GtFormat(500, {3}), L"");
}

// What each formatted entry's user passes, in order: 's' a string, 'd' an integer.
struct FormattedEntry {
    int entry;
    const char* kinds;
};

const FormattedEntry kFormattedEntries[] = {
    {kGtBoxRemoveMany, "d"},       {kGtBoxRemoveBackup, "ss"},   {kGtNameWithoutAlias, "s"},
    {kGtStatusOneFile, "sd"},      {kGtStatusSelected, "d"},     {kGtStatusCount, "d"},
    {kGtStatusSize, "d"},          {kGtBoxCreateBackupDir, "s"}, {kGtBackupOne, "s"},
    {kGtBackupNewVersion, "d"},    {kGtBackupUnreadable, "d"},   {kGtBackupDoneMany, "d"},
    {kGtBackupUnchangedMany, "s"}, {kGtBackupDropLaterOne, "d"}, {kGtBackupDropLaterMany, "sd"},
    {kGtHistoryVersion, "d"},      {kGtHistoryRestored, "d"},    {kGtOfflineRefused, "s"},
    {kGtBackupNameRefused, "s"},   {kGtHistoryIndexDamaged, "s"},
    {kGtFindCount, "d"},           {kGtMissingChecking, "d"},    {kGtMissingCount, "d"},
    {kGtMissingRemoveQuestion, "d"}, {kGtMissingSearching, "d"},
    {kGtOfflineRemove, "s"},       {kGtBackupDirOldKept, "s"},
};

bool IsFormatted(int entry) {
    for (const FormattedEntry& f : kFormattedEntries) {
        if (f.entry == entry) return true;
    }
    return false;
}

TEST_F(GlobalTextTest, ShippedTableHoldsEveryEntryWithTheConversionsItsUsersPass) {
    const std::wstring shipped = ExeDirectory() + L"GT";
    const std::vector<unsigned char> bytes = ReadBytes(shipped);
    ASSERT_GE(bytes.size(), 2u);
    size_t nuls = 0;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == 0 && bytes[i + 1] == 0) ++nuls;
    }
    EXPECT_EQ(nuls, static_cast<size_t>(GlobalText::kEntryCount));
    EXPECT_EQ(bytes.size() % 2, 0u);

    ModalResponder responder;
    ASSERT_TRUE(GlobalText::Load());
    EXPECT_TRUE(responder.seen().empty());

    for (int e = 0; e < GlobalText::kEntryCount; ++e) {
        const std::wstring text = GlobalText::Get(e);
        if (e != kGtChooserPathInitial) {
            EXPECT_FALSE(text.empty()) << "entry " << e;
        }
        // Only formatted entries and the two title-token texts may hold a percent sign, so a
        // caller that shows a text as it is never shows a stray conversion.
        if (!IsFormatted(e) && e != kGtSetupTitleTokens && e != kGtDefaultTitleFormat) {
            EXPECT_EQ(text.find(L'%'), std::wstring::npos) << "entry " << e;
        }
    }

    // Formatting with exactly the expected kinds succeeds (every marker appears); a text with other
    // conversions would come back bare, without the markers.
    for (const FormattedEntry& f : kFormattedEntries) {
        std::vector<std::wstring> markers;
        std::vector<GtArg> args;
        for (const char* k = f.kinds; *k; ++k) {
            const int n = static_cast<int>(k - f.kinds);
            if (*k == 's') {
                markers.push_back(L"<arg" + std::to_wstring(n) + L">");
                args.emplace_back(markers.back());
            } else {
                markers.push_back(std::to_wstring(7001 + n));
                args.emplace_back(7001 + n);
            }
        }
        std::wstring out;
        switch (args.size()) {
        case 1:
            out = GtFormat(f.entry, {args[0]});
            break;
        case 2:
            out = GtFormat(f.entry, {args[0], args[1]});
            break;
        default:
            FAIL() << "entry " << f.entry;
        }
        for (const std::wstring& m : markers) {
            EXPECT_NE(out.find(m), std::wstring::npos) << "entry " << f.entry << " lacks its " << f.kinds;
        }
    }

    // The default title template uses only the tokens the title code knows.
    const std::wstring title = GlobalText::Get(kGtDefaultTitleFormat);
    for (size_t p = title.find(L'%'); p != std::wstring::npos; p = title.find(L'%', p)) {
        const size_t close = title.find(L'%', p + 1);
        ASSERT_NE(close, std::wstring::npos);
        const std::wstring token = title.substr(p, close - p + 1);
        EXPECT_TRUE(token == L"%FileName%" || token == L"%FileExt%" || token == L"%DirPath%" || token == L"%DirName%")
            << "unknown title token";
        p = close + 1;
    }
}

}  // namespace
