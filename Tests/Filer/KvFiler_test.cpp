// The filer's list view driven for real: display data of files, directories and missing entries,
// adding paths, sorting by clicked columns, new folders, selection status, type-ahead order, the
// view mode and the column layout the project file keeps.
#include <gtest/gtest.h>


#include "Filer/Kinds/FilerKind.h"
#include "Support/FilerTestFixture.h"
#include "Config/Settings.h"

using filer_test::AddSubfolder;
using tf_test::TempDir;
using tf_test::WriteBytes;

namespace {

class KvFilerTest : public filer_test::FilerFixture {};

class KvFilerTreeTest : public filer_test::FilerFixture {
protected:
    void SetUp() override {
        withTree_ = true;
        FilerFixture::SetUp();
    }
};

std::vector<unsigned char> Bytes(size_t count) {
    return std::vector<unsigned char>(count, 'x');
}

// Sets a file's last-write time to the given UTC calendar time.
bool SetWriteTime(const std::wstring& path, WORD year, WORD month, WORD day, WORD hour, WORD minute) {
    SYSTEMTIME when{};
    when.wYear = year;
    when.wMonth = month;
    when.wDay = day;
    when.wHour = hour;
    when.wMinute = minute;
    FILETIME written{};
    if (!SystemTimeToFileTime(&when, &written)) return false;
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = SetFileTime(file, nullptr, nullptr, &written) != 0;
    CloseHandle(file);
    return ok;
}

TEST_F(KvFilerTest, DisplayDataOfFilesDirectoriesAndMissingEntries) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"alpha.txt", Bytes(1025)));
    ASSERT_TRUE(WriteBytes(dir / L"empty.txt", {}));
    ASSERT_TRUE(CreateDirectoryW((dir / L"subdir").c_str(), nullptr));
    ASSERT_TRUE(SetWriteTime(dir / L"alpha.txt", 2008, 10, 1, 13, 5));

    ASSERT_TRUE(Filer().AddPath(dir / L"alpha.txt", false));
    ASSERT_TRUE(Filer().AddPath(dir / L"empty.txt", false));
    ASSERT_TRUE(Filer().AddPath(dir / L"subdir", false));
    ASSERT_TRUE(Filer().AddPath(dir / L"gone.doc", false));
    ASSERT_NE(AddSubfolder(RootFolder(), L"Folder"), nullptr);
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
    ASSERT_EQ(ItemCount(), 5);

    // A file: shell name, its path as stored, size rounded up to whole KB, UTC date unpadded. The
    // suite runs east of UTC (its test registration sets TZ), so a conversion to local time shows.
    TIME_ZONE_INFORMATION zone{};
    GetTimeZoneInformation(&zone);
    EXPECT_LT(zone.Bias, 0) << "run this suite in a time zone east of UTC";
    EXPECT_EQ(ItemText(0, 0).rfind(L"alpha", 0), 0u) << ItemText(0, 0);
    EXPECT_EQ(ItemText(0, 1), dir / L"alpha.txt");
    EXPECT_EQ(ItemText(0, 2), L"2KB");
    EXPECT_FALSE(ItemText(0, 3).empty());
    EXPECT_EQ(ItemText(0, 4), L"2008/10/1 13:5");
    EXPECT_EQ(EntryAt(RootFolder(), 0).Display().sizeValue, 2);
    EXPECT_EQ(ItemText(1, 2), L"0KB");

    // A directory has a type but no size or date.
    EXPECT_EQ(ItemText(2, 0), L"subdir");
    EXPECT_EQ(ItemText(2, 2), L"");
    EXPECT_EQ(ItemText(2, 4), L"");
    EXPECT_FALSE(ItemText(2, 3).empty());

    // A missing entry keeps its place, shows its bare file name and "Unknown", and keeps its name.
    const CEntry& missing = EntryAt(RootFolder(), 3);
    EXPECT_EQ(ItemText(3, 0), L"gone");
    EXPECT_TRUE(missing.missing);
    EXPECT_EQ(ItemText(3, 3), L"Unknown");
    EXPECT_EQ(ItemText(3, 2), L"");
    EXPECT_EQ(ItemText(3, 4), L"");
    EXPECT_EQ(missing.Display().iconIndex, -1);

    // A subfolder entry: its name, no path, no type.
    EXPECT_EQ(ItemText(4, 0), L"Folder");
    EXPECT_EQ(ItemText(4, 1), L"");
    EXPECT_EQ(ItemText(4, 3), L"");

    // Requests out of row order still find the right entries (position cache).
    EXPECT_EQ(ItemText(3, 0), L"gone");
    EXPECT_EQ(ItemText(4, 0), L"Folder");
    EXPECT_EQ(ItemText(2, 0), L"subdir");
    EXPECT_EQ(ItemText(2, 0), L"subdir");
    EXPECT_EQ(ItemText(0, 2), L"2KB");
    EXPECT_EQ(ItemText(7, 0), L"");

    // Leaving the folder drops its display data.
    CFolder* sub = RootFolder().EntryAt(4)->subfolder.get();
    ASSERT_TRUE(Filer().ShowFolder(sub, false));
    EXPECT_TRUE(EntryAt(RootFolder(), 0).Display().displayText.empty());
    EXPECT_EQ(EntryAt(RootFolder(), 0).Display().sizeValue, 0);
    EXPECT_EQ(ItemCount(), 0);
}

TEST_F(KvFilerTest, AddingAPathThatIsThereSelectsItAndAddsNothing) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"a.txt", Bytes(10)));
    ASSERT_TRUE(WriteBytes(dir / L"b.txt", Bytes(10)));
    ASSERT_TRUE(Filer().AddPath(dir / L"a.txt", true));
    ASSERT_TRUE(Filer().AddPath(dir / L"b.txt", true));
    EXPECT_FALSE(Selected(0));

    EXPECT_FALSE(Filer().AddPath(dir / L"b.txt", false));
    EXPECT_FALSE(Selected(1));
    EXPECT_FALSE(Filer().AddPath(dir / L"a.txt", true));
    EXPECT_TRUE(Selected(0));
    EXPECT_EQ(RootFolder().Count(), 2u);
    EXPECT_EQ(ItemCount(), 2);

    // The comparison is exact: another letter case is another path.
    EXPECT_TRUE(Filer().AddPath(dir / L"A.TXT", false));
    EXPECT_EQ(ItemCount(), 3);
    EXPECT_FALSE(Filer().AddPath(L"", false));

    // An entry whose path changed behind the filer's back (sort, rename, removal) is still found.
    RootFolder().SortByName(false);
    Filer().ShowFolder(&RootFolder(), false);
    EXPECT_FALSE(Filer().AddPath(dir / L"b.txt", false));
    RootFolder().RemoveAt(static_cast<size_t>(RootFolder().FindByPath(dir / L"b.txt")));
    Filer().ShowFolder(&RootFolder(), false);
    EXPECT_TRUE(Filer().AddPath(dir / L"b.txt", false));

    // A batch adds what is new and updates the list once.
    const int before = ItemCount();
    EXPECT_EQ(Filer().AddPaths({dir / L"c.txt", dir / L"a.txt", dir / L"d.txt", dir / L"c.txt"}, false), 2);
    EXPECT_EQ(ItemCount(), before + 2);

    // Another folder: only the path is stored, and duplicates are refused there too.
    CFolder* other = AddSubfolder(RootFolder(), L"Other");
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(Filer().AddPathToFolder(other, dir / L"a.txt"));
    EXPECT_FALSE(Filer().AddPathToFolder(other, dir / L"a.txt"));
    ASSERT_EQ(other->Count(), 1u);
    EXPECT_EQ(other->entries.front().path, dir / L"a.txt");
    EXPECT_TRUE(other->entries.front().Display().displayText.empty());
}

TEST_F(KvFilerTest, ClickedColumnsSortTheFolderBothWays) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"one.bin", Bytes(1000)));
    ASSERT_TRUE(WriteBytes(dir / L"three.bin", Bytes(3000)));
    ASSERT_TRUE(WriteBytes(dir / L"two.bin", Bytes(2000)));
    ASSERT_TRUE(SetWriteTime(dir / L"one.bin", 2008, 9, 30, 0, 0));
    ASSERT_TRUE(SetWriteTime(dir / L"three.bin", 2008, 10, 1, 0, 0));
    ASSERT_TRUE(SetWriteTime(dir / L"two.bin", 2007, 12, 31, 23, 59));
    for (const wchar_t* name : {L"one.bin", L"three.bin", L"two.bin"}) ASSERT_TRUE(Filer().AddPath(dir / name, false));

    ClickColumn(2);  // first click on a fresh folder: largest first
    EXPECT_EQ(ItemText(0, 2), L"3KB");
    EXPECT_EQ(ItemText(1, 2), L"2KB");
    EXPECT_EQ(ItemText(2, 2), L"1KB");
    EXPECT_EQ(RootFolder().sortFlags, 4);
    ClickColumn(2);
    EXPECT_EQ(ItemText(0, 2), L"1KB");
    EXPECT_EQ(ItemText(2, 2), L"3KB");
    EXPECT_EQ(RootFolder().sortFlags, 0);
    EXPECT_EQ(RootFolder().entries.front().path, dir / L"one.bin");  // the model itself is reordered

    // Dates compare as unpadded text: "2008/9/30" sorts after "2008/10/1".
    ClickColumn(4);
    EXPECT_EQ(ItemText(0, 4), L"2008/9/30 0:0");
    EXPECT_EQ(ItemText(1, 4), L"2008/10/1 0:0");
    EXPECT_EQ(ItemText(2, 4), L"2007/12/31 23:59");
    ClickColumn(4);
    EXPECT_EQ(ItemText(0, 4), L"2007/12/31 23:59");
    EXPECT_EQ(ItemText(2, 4), L"2008/9/30 0:0");

    ClickColumn(7);
    EXPECT_EQ(ItemText(0, 4), L"2007/12/31 23:59");
    EXPECT_EQ(RootFolder().sortFlags, 0);
}

TEST_F(KvFilerTreeTest, NewFoldersOfEachKindGetFreshIdsAndTreeItems) {
    ASSERT_TRUE(Filer().NewFolder(kFolderKindPlain));
    HWND edit = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETEDITCONTROL, 0, 0));
    EXPECT_NE(edit, nullptr);  // the new folder's label is being edited
    SendMessageW(list_, LVM_CANCELEDITLABEL, 0, 0);
    ASSERT_TRUE(Filer().NewFolder(kFolderKindMusic));
    SendMessageW(list_, LVM_CANCELEDITLABEL, 0, 0);
    ASSERT_TRUE(Filer().NewFolder(kFolderKindImage));
    SendMessageW(list_, LVM_CANCELEDITLABEL, 0, 0);

    ASSERT_EQ(RootFolder().Count(), 3u);
    ASSERT_EQ(ItemCount(), 3);
    struct Made {
        uint32_t kind;
        int nameEntry;
    };
    const Made made[] = {{kFolderKindPlain, kGtNewPlainFolderName},
                         {kFolderKindMusic, kGtNewMusicFolderName},
                         {kFolderKindImage, kGtNewImageFolderName}};
    uint32_t expectedId = 2;
    const Made* expected = made;
    for (CEntry& entry : RootFolder().entries) {
        ASSERT_TRUE(entry.IsSubfolderEntry());
        EXPECT_EQ(entry.subfolder->kind, expected->kind);
        EXPECT_EQ(entry.subfolder->id, expectedId++);
        EXPECT_EQ(entry.subfolder->parent, &RootFolder());
        EXPECT_EQ(entry.name, GlobalText::Get(expected->nameEntry));
        EXPECT_NE(entry.subfolder->treeItem, nullptr);
        ++expected;
    }
    EXPECT_EQ(ItemText(1, 0), GlobalText::Get(kGtNewMusicFolderName));

    // Opening a subfolder entry navigates into it.
    Select(2, true);
    NMITEMACTIVATE click{};
    click.iItem = 2;
    Notify(click.hdr, NM_DBLCLK);
    EXPECT_EQ(Filer().CurrentFolder(), RootFolder().EntryAt(2)->subfolder.get());
    EXPECT_TRUE(ButtonEnabled(2517));
    EXPECT_TRUE(ButtonEnabled(2522));
}

TEST_F(KvFilerTest, SelectionUpdatesStatusAndToolBar) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"a.txt", Bytes(2048)));
    ASSERT_TRUE(WriteBytes(dir / L"b.txt", Bytes(5000)));
    ASSERT_TRUE(Filer().AddPath(dir / L"a.txt", false));
    ASSERT_TRUE(Filer().AddPath(dir / L"b.txt", false));
    ASSERT_TRUE(Filer().AddPath(dir / L"missing.txt", false));
    ASSERT_NE(AddSubfolder(RootFolder(), L"Sub"), nullptr);
    Filer().ShowFolder(&RootFolder(), false);
    EXPECT_EQ(StatusText(0), GtFormat(kGtStatusCount, {4}));
    EXPECT_FALSE(ButtonEnabled(2519));
    EXPECT_FALSE(ButtonEnabled(2520));

    Select(1, true);
    EXPECT_EQ(StatusText(0), GtFormat(kGtStatusOneFile, {EntryAt(RootFolder(), 1).Display().typeText, 5}));
    EXPECT_EQ(StatusText(1), GtFormat(kGtStatusSize, {5}));
    EXPECT_TRUE(ButtonEnabled(2519));
    EXPECT_TRUE(ButtonEnabled(2520));

    // Several: the sum leaves out subfolders and missing entries.
    Select(0, true);
    Select(2, true);
    Select(3, true);
    EXPECT_EQ(StatusText(0), GtFormat(kGtStatusSelected, {4}));
    EXPECT_EQ(StatusText(1), GtFormat(kGtStatusSize, {7}));

    Select(-1, false);
    EXPECT_EQ(StatusText(0), GtFormat(kGtStatusCount, {4}));
    EXPECT_EQ(StatusText(1), L"");
    EXPECT_FALSE(ButtonEnabled(2519));

    Select(3, true);
    EXPECT_EQ(StatusText(0), L"");
}

TEST_F(KvFilerTest, TypeAheadBringsMatchesToFrontAndSelectsTheFirst) {
    for (const wchar_t* label : {L"xa", L"Abc", L"b", L"aB"}) {
        CFolder* folder = AddSubfolder(RootFolder(), label);
        ASSERT_NE(folder, nullptr);
    }
    Filer().ShowFolder(&RootFolder(), false);
    Select(2, true);
    Filer().BringMatchesToFront(L"ab");
    EXPECT_EQ(ItemText(0, 0), L"Abc");
    EXPECT_EQ(ItemText(1, 0), L"aB");
    EXPECT_EQ(ItemText(2, 0), L"xa");
    EXPECT_EQ(ItemText(3, 0), L"b");
    EXPECT_TRUE(Selected(0));
    EXPECT_FALSE(Selected(2));
    EXPECT_EQ(SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0), 1);
}

TEST_F(KvFilerTest, PlainKindColoursMissingAndLabelledEntries) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"red.txt", Bytes(1)));
    ASSERT_TRUE(WriteBytes(dir / L"plain.txt", Bytes(1)));
    ASSERT_TRUE(Filer().AddPath(dir / L"red.txt", false));
    ASSERT_TRUE(Filer().AddPath(dir / L"plain.txt", false));
    ASSERT_TRUE(Filer().AddPath(dir / L"missing.txt", false));
    EntryAt(RootFolder(), 0).colour = 2;
    EntryAt(RootFolder(), 2).colour = 2;  // the missing colour wins over a label
    ASSERT_NE(Filer().Kind(), nullptr);
    EXPECT_EQ(Filer().Kind()->Kind(), kFolderKindPlain);

    const COLORREF untouched = RGB(1, 2, 3);
    auto draw = [&](DWORD stage, DWORD_PTR item, COLORREF* text) {
        NMLVCUSTOMDRAW record{};
        record.nmcd.hdr.hwndFrom = list_;
        record.nmcd.dwDrawStage = stage;
        record.nmcd.dwItemSpec = item;
        record.clrText = untouched;
        LRESULT result = 0;
        EXPECT_TRUE(Filer().Kind()->CustomDraw(record, &result));
        if (text) *text = record.clrText;
        return result;
    };
    COLORREF text = 0;
    EXPECT_EQ(draw(CDDS_PREPAINT, 0, nullptr), CDRF_NOTIFYITEMDRAW);
    EXPECT_EQ(draw(CDDS_ITEMPREPAINT, 0, &text), CDRF_NOTIFYPOSTPAINT);
    EXPECT_EQ(text, RGB(255, 0, 0));
    draw(CDDS_ITEMPREPAINT, 1, &text);
    EXPECT_EQ(text, untouched);
    // The missing entry: the background, RGB(200, 200, 255), 20 % of the way to black.
    draw(CDDS_ITEMPREPAINT, 2, &text);
    ASSERT_EQ(Settings().backColor, RGB(200, 200, 255));
    EXPECT_EQ(text, RGB(160, 160, 204));
    EXPECT_EQ(draw(CDDS_ITEMPREPAINT, 3, nullptr), CDRF_SKIPDEFAULT);  // a row past the folder's end

    NMLVCUSTOMDRAW other{};
    other.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
    LRESULT result = 0;
    EXPECT_FALSE(Filer().Kind()->CustomDraw(other, &result));
}

TEST_F(KvFilerTest, ViewModeAndColumnLayout) {
    auto viewBits = [this] { return GetWindowLongPtrW(list_, GWL_STYLE) & LVS_TYPEMASK; };
    EXPECT_EQ(Filer().ViewMode(), kFilerViewReport);
    EXPECT_EQ(viewBits(), LVS_REPORT);
    const FilerColumnWidths initial = Filer().ReadColumns();
    EXPECT_EQ(initial[0], 200u);  // 0.25 of the 800-pixel pane
    EXPECT_EQ(initial[3], 172u);  // 0.215 of it, truncated

    Filer().SetViewMode(kFilerViewList);
    EXPECT_EQ(viewBits(), LVS_LIST);
    const FilerColumnWidths widths = Filer().ReadColumns();
    EXPECT_EQ(widths, initial);
    EXPECT_EQ(viewBits(), LVS_LIST);  // reading the widths leaves the view as it was

    Filer().ApplyColumns({0x10050, 60, 70, 80, 90}, kFilerViewIcons);
    EXPECT_EQ(Filer().ViewMode(), kFilerViewIcons);
    EXPECT_EQ(viewBits(), LVS_ICON);
    const FilerColumnWidths applied = Filer().ReadColumns();
    EXPECT_EQ(applied[0], 0x50u);  // only the low 16 bits are used
    EXPECT_EQ(applied[4], 90u);
}

// The list view (command 2509) shows every entry as an item of the list and nothing of the report
// rows that were on screen before; back in the report view the header and the rows return.
TEST_F(KvFilerTest, ListViewShowsEveryEntryAndNoRowsOfTheReport) {
    TempDir dir;
    for (int i = 0; i < 8; ++i) {
        const std::wstring path = dir / (L"f" + std::to_wstring(i) + L".txt");
        ASSERT_TRUE(WriteBytes(path, Bytes(1)));
        RootFolder().Append().path = path;
    }
    Filer().SetViewMode(kFilerViewReport);
    ShowWindow(parent_, SW_SHOW);
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
    tf_test::PumpMessages(100);
    // Pixels in `area` of the list that differ from its background.
    auto ink = [this](const RECT& area) {
        HDC dc = GetDC(list_);
        const auto background = static_cast<COLORREF>(SendMessageW(list_, LVM_GETBKCOLOR, 0, 0));
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) count += GetPixel(dc, x, y) != background ? 1 : 0;
        ReleaseDC(list_, dc);
        return count;
    };
    RECT pathCell{};
    pathCell.top = 1;
    pathCell.left = LVIR_LABEL;
    ASSERT_TRUE(SendMessageW(list_, LVM_GETSUBITEMRECT, 3, reinterpret_cast<LPARAM>(&pathCell)));
    EXPECT_GT(ink(pathCell), 0);
    HWND header = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
    EXPECT_TRUE(IsWindowVisible(header));

    Filer().SetViewMode(kFilerViewList);
    UpdateWindow(list_);
    tf_test::PumpMessages(100);
    EXPECT_EQ(ink(pathCell), 0) << "a row of the report is left on screen";
    for (int i = 0; i < 8; ++i) {
        RECT label{};
        label.left = LVIR_LABEL;
        ASSERT_TRUE(SendMessageW(list_, LVM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&label)));
        EXPECT_GT(ink(label), 0) << "item " << i;
    }

    Filer().SetViewMode(kFilerViewReport);
    UpdateWindow(list_);
    tf_test::PumpMessages(100);
    EXPECT_TRUE(IsWindowVisible(header));
    EXPECT_GT(ink(pathCell), 0);
}

}  // namespace
