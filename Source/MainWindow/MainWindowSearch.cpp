// The search commands of the main window: the search settings dialog of the current folder (2503)
// and the registered applications (2504). What the result view lists is added to the folder that
// was current when the command ran, existing entries selected instead of added again.
#include "MainWindow/MainWindow.h"

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Filer/KvFiler.h"
#include "Search/Dialogs/SearchEntryDlg.h"
#include "Search/Dialogs/SearchEntryView.h"

void CMainWindow::RunFolderSearch() {
    CFolder* folder = Filer().CurrentFolder();
    if (!folder) return;
    std::vector<std::wstring> found;
    if (!CSearchEntryDlg::Run(folder->search, hwnd_, GlobalText::Get(kGtMenuSearch), found)) return;
    if (Filer().CurrentFolder() == folder) Filer().AddPaths(found, true);
}

void CMainWindow::RunRegisteredApps() {
    CFolder* folder = Filer().CurrentFolder();
    if (!folder) return;
    std::vector<std::wstring> found;
    if (!CSearchEntryView::Run(SearchViewMode::RegisteredApps, nullptr, hwnd_, found)) return;
    if (Filer().CurrentFolder() == folder) Filer().AddPaths(found, true);
}
