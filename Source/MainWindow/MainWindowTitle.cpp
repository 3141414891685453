// The window title made from the project's template.
#include "MainWindow/MainWindow.h"

#include "Document/Folder.h"
#include "Filer/KvFiler.h"
#include "Document/Project.h"
#include "Tree/Tree.h"

namespace {

// Template and title share one 512-character buffer in the stored format; longer titles are cut.
const size_t kTitleBuffer = 512;

std::wstring TokenValue(const std::wstring& token) {
    const CProject& project = Project();
    if (token == L"%FileName%") return project.stem;
    if (token == L"%FileExt%") return project.extension;
    CFolder* folder = Filer().CurrentFolder();
    if (token == L"%DirPath%") return folder ? folder->Path(false) : std::wstring();
    if (token == L"%DirName%") return folder && folder->ownerEntry ? folder->ownerEntry->name.str() : std::wstring();
    return std::wstring();
}

}  // namespace

std::wstring CMainWindow::ExpandTitle(const std::wstring& templ) {
    const std::wstring text = templ.substr(0, kTitleBuffer - 1);
    std::wstring title;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != L'%') {
            title += text[i++];
            continue;
        }
        const size_t close = text.find(L'%', i + 1);
        if (close == std::wstring::npos) {
            title += text.substr(i);
            break;
        }
        title += TokenValue(text.substr(i, close - i + 1));
        i = close + 1;
    }
    return title.substr(0, kTitleBuffer - 1);
}

void CMainWindow::SetTitle(const std::wstring& templ) {
    const std::wstring title = ExpandTitle(templ);
    if (hwnd_) SetWindowTextW(hwnd_, title.c_str());
    Tree().SetRootText(title);
}

void CMainWindow::RefreshTitle() {
    SetTitle(Project().titleFormat);
}
