#include "Dpi/DpiWindows.h"

#include "Associations/InitDlg.h"
#include "Backup/Dialogs/BackupCommentDlg.h"
#include "Backup/Dialogs/BackupDlg.h"
#include "Backup/Dialogs/BackupHistoryDlg.h"
#include "Choosers/AppSelectDlg.h"
#include "Choosers/MulSelAppSelectDlg.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Config/Settings.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "Filer/KvFiler.h"
#include "Kv/KvCopyProgress.h"
#include "Kv/KvDpi.h"
#include "Kv/KvWindow.h"
#include "MainWindow/MainWindow.h"
#include "ProjectSetup/PrjSetupDlg.h"
#include "Search/Dialogs/SearchEntryDlg.h"
#include "Search/Dialogs/SearchEntryPathDlg.h"
#include "Search/Dialogs/SearchEntryView.h"
#include "Support/TestSupport.h"
#include "Tree/Tree.h"

#include <commctrl.h>

namespace tf_test {
namespace {

// A project with a subfolder and two files shown in the filer with the project's column widths, so
// that the tree, the columns and the status bar all have something to show.
void OpenMainWindow(const WindowCheck& check) {
    GlobalText::Load();
    ReadSettings(Settings());
    ResetFolderModel();
    ResetProject();
    if (MainWindow().Create()) {
        HWND hwnd = MainWindow().Hwnd();
        const UINT dpi = KvDpiOfWindow(hwnd);
        SetWindowPos(hwnd, nullptr, 0, 0, KvScale(700, dpi), KvScale(500, dpi), SWP_NOZORDER);
        Project().treePane = 1;
        Project().treeWidth = 160;
        Project().statusBar = 1;
        MainWindow().Layout();
        ShowWindow(hwnd, SW_SHOWNORMAL);
        Tree().SetRootFolder(&RootFolder());
        Filer().ShowFolder(&RootFolder(), true);
        const uint32_t* widths = Project().window.columnWidths;
        Filer().ApplyColumns(FilerColumnWidths{widths[0], widths[1], widths[2], widths[3], widths[4]}, kFilerViewReport);
        Filer().NewFolder(kFolderKindMusic);
        SendMessageW(Filer().ListView(), LVM_CANCELEDITLABEL, 0, 0);
        const std::wstring self = ExeDirectory();
        Filer().AddPaths({self + L"Dpi_test.exe", self + L"GT"}, false);
        PumpMessages(300);
        check(hwnd);
    }
    MainWindow().Destroy();
    ResetFolderModel();
    ResetProject();
}

void OpenApplicationEditor(const WindowCheck& check) {
    ProjectApp app;
    CheckModal([&] { CMulSelAppSelectDlg::Run(app, nullptr, GlobalText::Get(kGtAppEditorTitle)); }, check);
}

void OpenBackupComment(const WindowCheck& check) {
    std::wstring comment = L"comment";
    CheckModal([&] { CBackupCommentDlg::Run(comment, nullptr, GlobalText::Get(kGtHistoryEditComment)); }, check);
}

// The dialogs below open on an entry of a fresh project whose file lies beside the test.
CEntry& FreshEntry() {
    ResetFolderModel();
    ResetProject();
    CEntry& entry = RootFolder().Append();
    entry.name = L"GT";
    entry.path = ExeDirectory() + L"GT";
    return entry;
}

// Each page of a tabbed dialog in turn, chosen as a click on its tab would.
WindowCheck EveryPage(const WindowCheck& check) {
    return [check](HWND dlg) {
        HWND tab = FindWindowExW(dlg, nullptr, WC_TABCONTROLW, nullptr);
        const int pages = tab ? TabCtrl_GetItemCount(tab) : 0;
        check(dlg);
        for (int page = 1; page < pages; ++page) {
            NMHDR header{tab, static_cast<UINT_PTR>(GetDlgCtrlID(tab)), static_cast<UINT>(TCN_SELCHANGING)};
            SendMessageW(dlg, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
            TabCtrl_SetCurSel(tab, page);
            header.code = static_cast<UINT>(TCN_SELCHANGE);
            SendMessageW(dlg, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
            PumpMessages(100);
            check(dlg);
        }
    };
}

void OpenProjectSettings(const WindowCheck& check) {
    FreshEntry();
    CheckModal([] { CPrjSetupDlg::Run(nullptr, GlobalText::Get(kGtSetupTitle)); }, EveryPage(check));
}

void OpenSearchSettings(const WindowCheck& check) {
    SearchSettings settings;
    std::vector<std::wstring> results;
    CheckModal([&] { CSearchEntryDlg::Run(settings, nullptr, GlobalText::Get(kGtMenuSearch), results); },
               EveryPage(check));
}

// The result view once its walk of the test's folder has ended and its add button shows.
void OpenSearchResults(const WindowCheck& check) {
    SearchSettings settings;
    settings.path = ExeDirectory();
    settings.path.pop_back();
    std::vector<std::wstring> results;
    CheckModal([&] { CSearchEntryView::Run(SearchViewMode::Search, &settings, nullptr, results); },
               [&](HWND view) {
                   for (int wait = 0; wait < 100 && !IsWindowVisible(GetDlgItem(view, 200)); ++wait) PumpMessages(100);
                   check(view);
               });
}

void OpenSearchPath(const WindowCheck& check) {
    std::wstring path = L"C:\\";
    CheckModal([&] { CSearchEntryPathDlg::Run(path, nullptr); }, check);
}

void OpenProgramChooser(const WindowCheck& check) {
    CEntry& entry = FreshEntry();
    std::wstring chosen;
    CheckModal([&] { CKvAppSelectDlg::Run(entry, nullptr, GlobalText::Get(kGtChooserTitle), chosen); }, check);
}

void OpenBackup(const WindowCheck& check) {
    CEntry& entry = FreshEntry();
    Project().backupDir = ExeDirectory() + L"dpi-backups";
    CheckModal([&] { CBackupDlg::Run(entry, backup::BackupMode::Normal, nullptr, GlobalText::Get(kGtBackupTitle)); },
               check);
}

// The history of an entry with one version, made through the backup dialog.
void OpenHistory(const WindowCheck& check) {
    CEntry& entry = FreshEntry();
    Project().backupDir = ExeDirectory() + L"dpi-backups";
    {
        ModalResponder answers(IDOK);
        CBackupDlg::Run(entry, backup::BackupMode::Normal, nullptr, GlobalText::Get(kGtBackupTitle));
    }
    CheckModal([&] { CBackupHistoryDlg::Run(entry, nullptr, GlobalText::Get(kGtBackupHistory)); }, check);
}

// The progress window of a copy large enough to show it for a while (the file is sparse, so it costs
// no disk space); the copy is cancelled.
void OpenCopyProgress(const WindowCheck& check) {
    const std::wstring source = ExeDirectory() + L"dpi-large.bin";
    if (!WriteSparseFile(source, 4LL << 30, 1, 2)) return;
    CheckModal([&] { KvCopyFileWithProgress(nullptr, L"TessaraFolder", source, source + L".copy"); }, check);
    DeleteFileW(source.c_str());
}

void OpenFirstRun(const WindowCheck& check) {
    CheckModal([] { CInitDlg::DoModal(); }, check);
}

void OpenWarningBox(const WindowCheck& check) {
    CheckModal([] { KvMessageBox(nullptr, L"TessaraFolder", GlobalText::Get(kGtHistoryBackupFirst), KvMbYesNoCancel); },
               check);
}

}  // namespace

void CheckModal(const std::function<void()>& run, const WindowCheck& check) {
    bool checked = false;
    ModalResponder responder([&](HWND dlg, const ModalSeen&) {
        if (!checked) {
            checked = true;
            PumpMessages(300);
            check(dlg);
        }
        return IDCANCEL;
    });
    run();
}

const std::vector<DpiWindowRow>& DpiWindowRows() {
    static const std::vector<DpiWindowRow> rows = {
        {L"main window", L"main-window-150.png", OpenMainWindow},
        {L"application editor", L"application-editor-150.png", OpenApplicationEditor},
        {L"backup comment", L"backup-comment-150.png", OpenBackupComment},
        {L"project settings", nullptr, OpenProjectSettings},
        {L"search settings", nullptr, OpenSearchSettings},
        {L"search path", nullptr, OpenSearchPath},
        {L"program chooser", nullptr, OpenProgramChooser},
        {L"backup", nullptr, OpenBackup},
        {L"history", nullptr, OpenHistory},
        {L"search results", nullptr, OpenSearchResults},
        {L"copy progress", nullptr, OpenCopyProgress},
        {L"first run", nullptr, OpenFirstRun},
        {L"question box", nullptr, OpenWarningBox},
    };
    return rows;
}

}  // namespace tf_test
