// The project settings dialog driven through the modal seam: what OK stores from every page, the
// backup directory question, the application editor, and Cancel leaving the project as it was.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "ProjectSetup/PrjSetupDlg.h"
#include "Support/TestSupport.h"

using tf_test::ModalResponder;
using tf_test::ModalSeen;
using tf_test::TempDir;
using tf_test::WindowText;

namespace {

class PrjSetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        static bool loaded = GlobalText::Load();
        ASSERT_TRUE(loaded);
        ResetProject();
        Project().apps = {{L"C:\\tools\\a.exe", L"", {L"txt"}}, {L"C:\\tools\\b.exe", L"B", {}}};
    }
    void TearDown() override { ResetProject(); }
};

HWND Page(HWND dlg, int index) {
    return GetDlgItem(dlg, kPrjSetupPageFirst + index);
}

void Click(HWND page, int id) {
    SendMessageW(GetDlgItem(page, id), BM_CLICK, 0, 0);
}

bool Enabled(HWND page, int id) {
    return IsWindowEnabled(GetDlgItem(page, id)) != FALSE;
}

HWND AppList(HWND dlg) {
    return GetDlgItem(Page(dlg, 3), 216);
}

void SelectRow(HWND list, int row) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

std::wstring Cell(HWND list, int row, int column) {
    wchar_t text[300] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 300;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

// Answers the system's open-file dialog, which the toolkit's modal seam does not see: a timer of
// this thread finds the dialog once it shows, types `path` into its file name field and presses
// its open button.
class FileDialogAnswer {
public:
    explicit FileDialogAnswer(std::wstring path) {
        path_() = std::move(path);
        timer_ = SetTimer(nullptr, 0, 200, &FileDialogAnswer::Tick);
    }
    ~FileDialogAnswer() { KillTimer(nullptr, timer_); }

private:
    static std::wstring& path_() {
        static std::wstring path;
        return path;
    }
    static BOOL CALLBACK FindDialog(HWND hwnd, LPARAM found) {
        wchar_t cls[32] = {};
        GetClassNameW(hwnd, cls, 32);
        if (std::wstring(cls) != L"#32770" || !IsWindowVisible(hwnd)) return TRUE;
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        HWND dlg = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), &FindDialog, reinterpret_cast<LPARAM>(&dlg));
        if (!dlg) return;
        HWND name = GetDlgItem(dlg, 0x47c);  // cmb13, the file name box of the explorer-style dialog
        if (!name) name = GetDlgItem(dlg, 0x480);  // edt1
        if (!name) name = FindWindowExW(dlg, nullptr, L"Edit", nullptr);
        SetWindowTextW(name, path_().c_str());
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    UINT_PTR timer_ = 0;
};

// Answers the application editor: types `extensions` and `caption`, then OK.
int EditApplication(HWND editor, const wchar_t* extensions, const wchar_t* caption) {
    SetDlgItemTextW(editor, 201, extensions);
    SetDlgItemTextW(editor, 202, caption);
    return IDOK;
}

}  // namespace

TEST_F(PrjSetupTest, OkStoresEveryPageAndOffersToCreateTheBackupDirectory) {
    TempDir dir;
    const std::wstring backup = dir / L"backups\\deeper";
    Project().backupDir = backup;
    struct Seen {
        bool backupOffAtStart = false, onWithBox = false, offAtOnce = false;
        std::wstring firstRow, extensionsBefore, extensionsAfter, editorPath;
    } seen;
    std::vector<std::wstring> questions;
    ModalResponder responder([&](HWND dlg, const ModalSeen& box) {
        const std::wstring cls = box.className;  // the reference does not outlive nested windows
        if (cls == L"CMulSelAppSelectDlg") {
            seen.editorPath = WindowText(GetDlgItem(dlg, 200));
            seen.extensionsBefore = WindowText(GetDlgItem(dlg, 201));
            return EditApplication(dlg, L"txt  log", L"Editor");
        }
        if (cls != L"CPrjSetupDlg") {
            questions.push_back(box.title + L"|" + box.text);
            return IDYES;
        }
        HWND backupPage = Page(dlg, 2);
        seen.backupOffAtStart = !Enabled(backupPage, 206) && !Enabled(backupPage, 208);
        Click(backupPage, 205);
        seen.onWithBox = Enabled(backupPage, 206) && Enabled(backupPage, 208);
        Click(backupPage, 205);
        seen.offAtOnce = !Enabled(backupPage, 206) && !Enabled(backupPage, 208);
        Click(backupPage, 205);

        Click(Page(dlg, 0), 1008);
        Click(Page(dlg, 0), 1007);
        SendMessageW(GetDlgItem(Page(dlg, 0), 202), CB_SETCURSEL, 1, 0);
        SetDlgItemTextW(Page(dlg, 1), 1007, L"%FileName% %DirName%");
        Click(Page(dlg, 3), 214);

        HWND list = AppList(dlg);
        seen.firstRow = Cell(list, 0, 0) + L"|" + Cell(list, 0, 1) + L"|" + Cell(list, 1, 1);
        SelectRow(list, 0);
        SendMessageW(dlg, WM_COMMAND, 219, 0);
        seen.extensionsAfter = Cell(list, 0, 1);
        return IDOK;
    });
    EXPECT_TRUE(CPrjSetupDlg::Run(nullptr, GlobalText::Get(kGtSetupTitle)));

    EXPECT_TRUE(seen.backupOffAtStart);
    EXPECT_TRUE(seen.onWithBox);
    EXPECT_TRUE(seen.offAtOnce) << "unchecking 205 disables the label and the browse button at once";
    EXPECT_EQ(seen.firstRow, std::wstring(L"C:\\tools\\a.exe|txt |") + GlobalText::Get(kGtSetupNoExtensions));
    EXPECT_EQ(seen.editorPath, L"C:\\tools\\a.exe");
    EXPECT_EQ(seen.extensionsBefore, L"txt ");
    EXPECT_EQ(seen.extensionsAfter, L"txt log ");

    const CProject& p = Project();
    EXPECT_EQ(p.allowAlias, 1);
    EXPECT_EQ(p.statusBar, 0);
    EXPECT_EQ(p.appMarkStyle, 1);
    EXPECT_EQ(p.titleFormat, L"%FileName% %DirName%");
    EXPECT_EQ(p.menuShellSubmenu, 1);
    EXPECT_EQ(p.menuExtensionApps, 1);
    EXPECT_EQ(p.backupEnabled, 1);
    EXPECT_EQ(p.backupDir, backup);
    ASSERT_EQ(p.apps.size(), 2u);
    EXPECT_EQ(p.apps[0].extensions, (std::vector<std::wstring>{L"txt", L"log"}));
    EXPECT_EQ(p.apps[0].caption, L"Editor");
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].substr(0, questions[0].find(L'|')), GlobalText::Get(kGtBoxCreateBackupDirTitle));
    EXPECT_NE(questions[0].find(backup), std::wstring::npos);
    EXPECT_TRUE(tf_test::FileExists(backup)) << "created with its missing parent";

    // Once the directory exists OK asks nothing.
    ModalResponder again(IDOK);
    EXPECT_TRUE(CPrjSetupDlg::Run(nullptr, GlobalText::Get(kGtSetupTitle)));
    EXPECT_EQ(again.seen().size(), 1u);
}

TEST_F(PrjSetupTest, CancelLeavesTheProjectAndItsApplicationList) {
    TempDir dir;
    const std::wstring added = dir / L"added.exe";
    ASSERT_TRUE(tf_test::WriteText(added, "MZ"));
    const std::vector<ProjectApp> before = Project().apps;
    int rowsAfterDelete = -1;
    std::wstring addedRow;
    ModalResponder responder([&](HWND dlg, const ModalSeen& box) {
        const std::wstring cls = box.className;
        if (cls == L"CMulSelAppSelectDlg") return EditApplication(dlg, L"doc", L"Changed");
        HWND list = AppList(dlg);
        {
            FileDialogAnswer answer(added);
            SendMessageW(dlg, WM_COMMAND, 217, 0);
        }
        addedRow = Cell(list, 2, 0) + L"|" + Cell(list, 2, 1);
        SelectRow(list, 0);
        SendMessageW(dlg, WM_COMMAND, 218, 0);
        rowsAfterDelete = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        SelectRow(list, 0);
        SendMessageW(dlg, WM_COMMAND, 219, 0);
        Click(Page(dlg, 0), 1006);
        Click(Page(dlg, 2), 205);
        return IDCANCEL;
    });
    EXPECT_FALSE(CPrjSetupDlg::Run(nullptr, GlobalText::Get(kGtSetupTitle)));
    EXPECT_EQ(addedRow, added + L"|" + GlobalText::Get(kGtSetupNoExtensions));
    EXPECT_EQ(rowsAfterDelete, 2);
    ASSERT_EQ(responder.seen().size(), 2u);
    ASSERT_EQ(Project().apps.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(Project().apps[i].path, before[i].path);
        EXPECT_EQ(Project().apps[i].caption, before[i].caption);
        EXPECT_EQ(Project().apps[i].extensions, before[i].extensions);
    }
    EXPECT_EQ(Project().allowRename, 0);
    EXPECT_EQ(Project().backupEnabled, 0);
}

TEST_F(PrjSetupTest, ABackupDirectoryThatCannotBeMadeIsNamedAndTheOptionsStillApply) {
    TempDir dir;
    ASSERT_TRUE(tf_test::WriteText(dir / L"file", "x"));
    const std::wstring impossible = dir / L"file\\backup";
    Project().backupEnabled = 1;
    Project().backupDir = impossible;
    std::vector<std::wstring> titles;
    ModalResponder responder([&](HWND dlg, const ModalSeen& box) {
        const std::wstring cls = box.className;
        titles.push_back(box.title);
        if (cls == L"CPrjSetupDlg") {
            Click(Page(dlg, 0), 1006);
            return IDOK;
        }
        return titles.size() == 2 ? IDYES : IDOK;
    });
    EXPECT_TRUE(CPrjSetupDlg::Run(nullptr, GlobalText::Get(kGtSetupTitle)));
    ASSERT_EQ(titles.size(), 3u);
    EXPECT_EQ(titles[1], GlobalText::Get(kGtBoxCreateBackupDirTitle));
    EXPECT_EQ(titles[2], L"警告");
    EXPECT_NE(responder.seen()[2].text.find(impossible), std::wstring::npos);
    EXPECT_EQ(Project().allowRename, 1);
    EXPECT_EQ(Project().backupDir, impossible);
}

// OK writes only what the user changed: a stored title longer than the edit's old limit, a mark
// style the list cannot show and an untouched check box keep their values; "No" to the backup
// directory question creates nothing; a new backup directory while backups exist in the old one
// says where the old backups stay.
TEST_F(PrjSetupTest, OkKeepsWhatTheUserDidNotChange) {
    TempDir dir;
    CProject& project = Project();
    const std::wstring title = std::wstring(300, L't') + L" %FileName%";
    project.titleFormat = title;
    project.appMarkStyle = 5;
    project.trayMode = 0;
    project.mouseGesture = 1;
    project.statusBar = 2;
    project.backupEnabled = 1;
    project.backupDir = dir / L"missing";
    std::vector<std::wstring> boxes;
    ModalResponder responder([&](HWND dlg, const ModalSeen& box) {
        if (box.className != L"CPrjSetupDlg") {
            boxes.push_back(box.title);
            return IDNO;
        }
        Click(Page(dlg, 0), 1009);
        return IDOK;
    });
    EXPECT_TRUE(CPrjSetupDlg::Run(nullptr, GlobalText::Get(kGtSetupTitle)));
    EXPECT_EQ(project.titleFormat, title);
    EXPECT_EQ(project.appMarkStyle, 5);
    EXPECT_EQ(project.trayMode, 1);
    EXPECT_EQ(project.mouseGesture, 1);
    EXPECT_EQ(project.statusBar, 2);
    ASSERT_EQ(boxes, (std::vector<std::wstring>{GlobalText::Get(kGtBoxCreateBackupDirTitle)}));
    EXPECT_FALSE(tf_test::FileExists(dir / L"missing"));

    // The title typed to its full length is kept whole.
    const std::wstring longest(511, L'x');
    ModalResponder typed([&](HWND dlg, const ModalSeen& box) {
        if (box.className != L"CPrjSetupDlg") return IDNO;
        SetDlgItemTextW(Page(dlg, 1), 1007, longest.c_str());
        SendMessageW(GetDlgItem(Page(dlg, 0), 202), CB_SETCURSEL, 0, 0);
        return IDOK;
    });
    EXPECT_TRUE(CPrjSetupDlg::Run(nullptr, GlobalText::Get(kGtSetupTitle)));
    EXPECT_EQ(project.titleFormat, longest);
    EXPECT_EQ(project.appMarkStyle, 0);

    // Backups in the old directory: choosing another one says they stay where they are.
    const std::wstring old = dir / L"old", moved = dir / L"new";
    ASSERT_TRUE(CreateDirectoryW(old.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(moved.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((old + L"\\b1").c_str(), nullptr));
    ASSERT_TRUE(tf_test::WriteText(old + L"\\b1\\info.xml", "<info/>"));
    project.backupDir = old;
    RootFolder().Append().backupName = L"b1";
    std::vector<ModalSeen> told;
    ModalResponder change([&](HWND dlg, const ModalSeen& box) {
        if (box.className != L"CPrjSetupDlg") {
            told.push_back(box);
            return IDOK;
        }
        SetDlgItemTextW(Page(dlg, 2), 207, moved.c_str());
        return IDOK;
    });
    EXPECT_TRUE(CPrjSetupDlg::Run(nullptr, GlobalText::Get(kGtSetupTitle)));
    ResetFolderModel();
    EXPECT_EQ(project.backupDir, moved);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].text.find(old), std::wstring::npos);
    EXPECT_TRUE(tf_test::FileExists(old + L"\\b1\\info.xml"));
}
