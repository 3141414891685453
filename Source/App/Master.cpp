#include "App/Master.h"

#include <commctrl.h>

#include "App/AddForwarding.h"
#include "App/ProjectPlaces.h"
#include "Associations/Associations.h"
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
const wchar_t kSaveFailedTitle[] = L"保存に失敗しました";
const wchar_t kSaveFailedText[] = L"プロジェクトファイルに書き込めませんでした。\n";
const wchar_t kSaveFailedQuestion[] = L"\n\nもう一度保存しますか？\n「いいえ」を選ぶと、変更を保存せずに終了します。";
const wchar_t kMissingPathsText[] = L"次のファイルが見つからないため追加しませんでした。";
const wchar_t kNoDefaultProjectText[] = L"既定のプロジェクトファイルを作成できませんでした。";
const wchar_t kAssociationFailedText[] = L"次のレジストリキーに書き込めませんでした。";
// How long a start with /add waits for an instance that holds its project but is still loading it.
constexpr DWORD kStartingInstanceWaitMs = 15000;

std::wstring Joined(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) text += (text.empty() ? L"" : L"\n") + line;
    return text;
}

// The installer's switches: the association written or removed for the current user.
void RunAssociationSwitch(StartRequest::Kind kind) {
    std::vector<std::wstring> failed;
    if (kind == StartRequest::Associate) {
        AssociateProjectFiles(failed);
    } else {
        RemoveOwnAssociations(failed);
    }
    if (!failed.empty()) KvWarningBox(kAssociationFailedText, Joined(failed).c_str());
}


}  // namespace

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

bool CMaster::ChooseProjectPath(const StartRequest& request) {
    const ProjectPathChoice& choice = request.project;
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
    if (request.kind == StartRequest::Add) {
        projectPath_ = RecentProject();
        if (!projectPath_.empty()) return true;
    }
    const DefaultProjectPlace place = FindDefaultProject();
    projectPath_ = place.path;
    if (place.exists) return true;
    // A first run: offer the file associations, then start on a new, empty default project, so that
    // a start from a shortcut always reaches the main window.
    CInitDlg::DoModal();
    if (!projectPath_.empty() && CreateEmptyProject(projectPath_)) return true;
    KvWarningBox(kNoDefaultProjectText, projectPath_.c_str());
    return false;
}

bool CMaster::PrepareAdd(const StartRequest& request, std::vector<std::wstring>& paths) {
    std::vector<std::wstring> missing;
    paths = FullExistingPaths(request.paths, missing);
    if (!missing.empty()) KvWarningBox(kMissingPathsText, Joined(missing).c_str());
    if (!missing.empty() && paths.empty()) return false;
    HWND instance = FindRecentInstance();
    return !(instance && ForwardPaths(instance, paths));
}

bool CMaster::TakeInstanceLock(const StartRequest& request) {
    std::wstring name = InstanceMutexName(projectPath_);
    instanceMutex_.reset(CreateMutexW(nullptr, TRUE, name.c_str()));
    if (!instanceMutex_) return false;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return true;
    // Another start with /add got to the same project first: its instance takes these paths too.
    if (request.kind == StartRequest::Add && ForwardToRunningInstance(addPaths_, kStartingInstanceWaitMs)) return false;
    KvMessageBox(nullptr, GlobalText::Get(kGtBoxAlreadyOpenTitle), GlobalText::Get(kGtBoxAlreadyOpen), KvMbOk);
    return false;
}

bool CMaster::Init(const wchar_t* commandTail) {
    InitCommonControls();
    KvInitSystemInfo();
    const StartRequest request = ParseStartRequest(commandTail);
    if (request.kind == StartRequest::Associate || request.kind == StartRequest::Unassociate) {
        RunAssociationSwitch(request.kind);
        return false;
    }
    if (request.kind == StartRequest::Add && !PrepareAdd(request, addPaths_)) return false;
    if (!ChooseProjectPath(request)) return false;
    ReadSettings(Settings());
    if (!GlobalText::Load()) return false;
    if (!TakeInstanceLock(request)) return false;
    if (!MainWindow().Create()) return false;
    SetFocus(MainWindow().Hwnd());
    if (!LoadProject(projectPath_)) {
        KvErrorBox(L"フォルダオープンに失敗！", kSource, kInit, 113);
        return false;
    }
    projectLoaded_ = true;
    RememberRecentProject(projectPath_);
    // The identities of the project's files, for finding moved ones; a project without them (or
    // with a damaged sidecar) works as before and gets them at its next save.
    ProjectIdentities().Load(IdentitiesPathFor(projectPath_));
    MainWindow().SetSessionEndHandler([this] { SaveAtExit(); });
    ShowWindow(MainWindow().Hwnd(), MainWindow().StartShowCommand());
    UpdateWindow(MainWindow().Hwnd());
    MainWindow().AddTrayIcon();
    MainWindow().MarkInstanceReady();
    if (!addPaths_.empty()) MainWindow().AddOutsidePaths(std::move(addPaths_));
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
