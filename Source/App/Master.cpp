#include "App/Master.h"

#include <commctrl.h>

#include "Associations/InitDlg.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvWindow.h"
#include "MainWindow/MainWindow.h"
#include "Config/ModulePath.h"
#include "Document/Project.h"
#include "Document/ProjectFile.h"
#include "Document/Folder.h"
#include "Follow/IdentityStore.h"
#include "Config/Settings.h"

namespace {

const wchar_t kSource[] = L".\\Source\\Master";
const wchar_t kInit[] = L"CMaster::Init";
const wchar_t kDefaultProjectName[] = L"default.tfolder";
const wchar_t kSaveFailedTitle[] = L"保存に失敗しました";
const wchar_t kSaveFailedText[] = L"プロジェクトファイルに書き込めませんでした。\n";
const wchar_t kSaveFailedQuestion[] = L"\n\nもう一度保存しますか？\n「いいえ」を選ぶと、変更を保存せずに終了します。";

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

}  // namespace

ProjectPathChoice ParseProjectArgument(const wchar_t* tail) {
    ProjectPathChoice choice;
    std::wstring text = tail ? tail : L"";
    size_t begin = 0;
    while (begin < text.size() && IsBlank(text[begin])) ++begin;
    size_t end = text.size();
    while (end > begin && IsBlank(text[end - 1])) --end;
    text = text.substr(begin, end - begin);
    if (text.size() >= 2 && text.front() == L'"') {
        size_t close = text.find(L'"', 1);
        if (close != std::wstring::npos) text = text.substr(1, close - 1);
    }
    if (text.empty()) return choice;
    if (text.size() >= kProjectPathBuffer) {
        choice.result = ProjectPathChoice::TooLong;
        choice.path = text;
        return choice;
    }
    choice.result = ProjectPathChoice::Path;
    choice.path = text;
    return choice;
}

std::wstring InstanceMutexName(const std::wstring& projectPath) {
    std::wstring name = projectPath.substr(0, kProjectPathBuffer - 1);
    for (wchar_t& c : name) {
        if (c == L'\\') c = L'_';
    }
    return name;
}

CMaster& Master() {
    static CMaster master;
    return master;
}

bool CMaster::ChooseProjectPath(const wchar_t* commandTail) {
    ProjectPathChoice choice = ParseProjectArgument(commandTail);
    switch (choice.result) {
    case ProjectPathChoice::Path:
        projectPath_ = choice.path;
        return true;
    case ProjectPathChoice::TooLong:
        // Cutting the path would open (and at exit overwrite) some other file.
        KvWarningBox(L"プロジェクトファイルのパスが長すぎるため開けません。", choice.path.c_str());
        return false;
    case ProjectPathChoice::DefaultProject:
        break;
    }
    projectPath_ = ExecutableDirectory() + kDefaultProjectName;
    if (GetFileAttributesW(projectPath_.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    // Without a default project this is a first run: offer the file associations, then end.
    CInitDlg::DoModal();
    return false;
}

bool CMaster::TakeInstanceLock() {
    std::wstring name = InstanceMutexName(projectPath_);
    instanceMutex_.reset(CreateMutexW(nullptr, TRUE, name.c_str()));
    if (!instanceMutex_) return false;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return true;
    KvMessageBox(nullptr, GlobalText::Get(kGtBoxAlreadyOpenTitle), GlobalText::Get(kGtBoxAlreadyOpen), KvMbOk);
    return false;
}

bool CMaster::Init(const wchar_t* commandTail) {
    InitCommonControls();
    KvInitSystemInfo();
    if (!ChooseProjectPath(commandTail)) return false;
    ReadSettings(Settings());
    if (!GlobalText::Load()) return false;
    if (!TakeInstanceLock()) return false;
    if (!MainWindow().Create()) return false;
    SetFocus(MainWindow().Hwnd());
    if (!LoadProject(projectPath_)) {
        KvErrorBox(L"フォルダオープンに失敗！", kSource, kInit, 113);
        return false;
    }
    projectLoaded_ = true;
    // The identities of the project's files, for finding moved ones; a project without them (or
    // with a damaged sidecar) works as before and gets them at its next save.
    ProjectIdentities().Load(IdentitiesPathFor(projectPath_));
    MainWindow().SetSessionEndHandler([this] { SaveAtExit(); });
    ShowWindow(MainWindow().Hwnd(), MainWindow().StartShowCommand());
    UpdateWindow(MainWindow().Hwnd());
    MainWindow().AddTrayIcon();
    return true;
}

void CMaster::SaveAtExit() {
    // Only a project that was loaded is written back: a failed load must never be saved over.
    if (exitSaveDone_ || !projectLoaded_ || MainWindow().NoSave() || Project().filePath.empty()) return;
    // Set first: the session may end while the box below waits for an answer.
    exitSaveDone_ = true;
    const std::wstring path = Project().filePath;
    while (!SaveProject(path)) {
        const std::wstring text = kSaveFailedText + path + kSaveFailedQuestion;
        if (KvMessageBox(MainWindow().Hwnd(), kSaveFailedTitle, text.c_str(), KvMbYesNo) != IDYES) return;
    }
    // Only beside a saved project; a sidecar that cannot be written costs the next search, nothing else.
    ProjectIdentities().Refresh(RootFolder());
    ProjectIdentities().Save(IdentitiesPathFor(path));
}

void CMaster::Shutdown() {
    if (MainWindow().Hwnd()) {
        SaveAtExit();
        MainWindow().Destroy();
    }
    GlobalText::Release();
}

void RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (MainWindow().TranslateKey(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
