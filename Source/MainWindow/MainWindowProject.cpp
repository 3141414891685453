// What loading and saving a project apply to, and read from, the main window and the filer.
#include "MainWindow/MainWindow.h"

#include "Document/Folder.h"
#include "Filer/KvFiler.h"
#include "Document/Project.h"
#include "Document/ProjectView.h"
#include "Tree/Tree.h"

namespace {

class MainProjectView final : public ProjectView {
public:
    void MoveWindowTo(const RECT& rect) override {
        MoveWindow(MainWindow().Hwnd(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    }
    void ApplyPlacement(const WINDOWPLACEMENT& placement) override {
        WINDOWPLACEMENT copy = placement;
        copy.length = sizeof(copy);
        const bool maximised = copy.showCmd == SW_SHOWMAXIMIZED ||
                               (copy.showCmd == SW_SHOWMINIMIZED && (copy.flags & WPF_RESTORETOMAXIMIZED) != 0);
        MainWindow().SetStartShowCommand(maximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
        // The window stays hidden while the project comes in; start-up shows it in that state.
        copy.showCmd = SW_HIDE;
        SetWindowPlacement(MainWindow().Hwnd(), &copy);
    }
    bool GetPlacement(WINDOWPLACEMENT& placement) override {
        placement = WINDOWPLACEMENT{};
        placement.length = sizeof(placement);
        return GetWindowPlacement(MainWindow().Hwnd(), &placement) != FALSE;
    }
    void RefreshTitle() override { MainWindow().RefreshTitle(); }
    void ApplyOptions() override {
        MainWindow().Layout();
        MainWindow().SetTrayMode(Project().trayMode != 0);
    }
    void SetTrayModeOff() override { MainWindow().SetTrayMode(false); }
    void ApplyFilerColumns(const uint32_t widths[5], uint32_t viewStyle) override {
        FilerColumnWidths columns{};
        for (int i = 0; i < kFilerColumnCount; ++i) columns[i] = widths[i];
        Filer().ApplyColumns(columns, viewStyle);
    }
    void ReadFilerColumns(uint32_t widths[5], uint32_t& viewStyle) override {
        const FilerColumnWidths columns = Filer().ReadColumns();
        for (int i = 0; i < kFilerColumnCount; ++i) widths[i] = columns[i];
        viewStyle = Filer().ViewMode();
    }
    void ShowRootFolder() override {
        Filer().ShowRootAfterLoad();
        Tree().SetRootFolder(&RootFolder());
    }
};

MainProjectView g_view;

}  // namespace

void CMainWindow::RegisterProjectView() {
    SetProjectView(&g_view);
}
void CMainWindow::UnregisterProjectView() {
    if (GetProjectView() == &g_view) SetProjectView(nullptr);
}
