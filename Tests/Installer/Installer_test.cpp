// The installed program, run inside a Wine prefix of its own by installer_test.sh in two phases:
// after a silent install (Installed.*: the files, shortcuts, registry entries and association are in
// place, the installed program starts on a project and takes two paths from /add, and its first
// start without a project opens a new default project in the user's documents), and after the
// silent uninstall (Uninstalled.*: nothing of the program is left, the user's files all are).
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "Support/AppProcess.h"
#include "Support/TestSupport.h"

using namespace tf_test;

namespace {

// The user's files, kept across both phases.
const std::wstring kData = L"C:\\installer test\\";
const std::wstring kProject = kData + L"my project.tfolder";
const std::wstring kFirst = kData + L"one.txt";
const std::wstring kSpaced = kData + L"b c 日本語のファイル.txt";

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TessaraFolder";
const wchar_t* const kProgramFiles[] = {L"TessaraFolder.exe", L"GT", L"Setting.ini", L"start.wav",
                                        L"imglib\\imgctl.dll", L"imglib\\spi\\ifpnm.sph", L"Uninstall.exe"};

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    if (FAILED(SHGetKnownFolderPath(id, 0, nullptr, &path))) return std::wstring();
    std::wstring folder = path;
    CoTaskMemFree(path);
    return folder + L"\\";
}

std::wstring InstallDir() {
    return KnownFolder(FOLDERID_LocalAppData) + L"Programs\\TessaraFolder\\";
}
std::wstring SendToLink() {
    return KnownFolder(FOLDERID_SendTo) + L"TessaraFolder に追加.lnk";
}
std::wstring MenuLink() {
    return KnownFolder(FOLDERID_Programs) + L"TessaraFolder.lnk";
}
std::wstring DocumentsDefault() {
    return KnownFolder(FOLDERID_Documents) + L"TessaraFolder\\default.tfolder";
}

std::wstring UserString(const std::wstring& key, const wchar_t* name) {
    wchar_t data[1024] = {};
    DWORD bytes = sizeof(data) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &bytes) != ERROR_SUCCESS)
        return L"<none>";
    return data;
}

bool UserKeyExists(const std::wstring& key) {
    HKEY open = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &open) != ERROR_SUCCESS) return false;
    RegCloseKey(open);
    return true;
}

// A shortcut's target and arguments.
std::pair<std::wstring, std::wstring> LinkTarget(const std::wstring& link) {
    IShellLinkW* shell = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&shell)))) return {};
    std::pair<std::wstring, std::wstring> target;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell->QueryInterface(IID_PPV_ARGS(&file)))) {
        wchar_t path[MAX_PATH] = {};
        wchar_t arguments[MAX_PATH] = {};
        if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) && SUCCEEDED(shell->GetPath(path, MAX_PATH, nullptr, 0)) &&
            SUCCEEDED(shell->GetArguments(arguments, MAX_PATH)))
            target = {path, arguments};
        file->Release();
    }
    shell->Release();
    return target;
}

void ExitProgram(const AppProcess& app, HWND main) {
    PostMessageW(main, WM_COMMAND, 2506, 0);
    ASSERT_TRUE(app.Exited(kAppTimeout));
}

}  // namespace

TEST(Installed, FilesShortcutsAndRegistryAreInPlace) {
    const std::wstring dir = InstallDir();
    for (const wchar_t* name : kProgramFiles) EXPECT_TRUE(FileExists(dir + name)) << name;
    const std::wstring exe = dir + L"TessaraFolder.exe";
    EXPECT_EQ(LinkTarget(SendToLink()), std::make_pair(exe, std::wstring(L"/add")));
    EXPECT_EQ(LinkTarget(MenuLink()).first, exe);

    EXPECT_EQ(UserString(kUninstallKey, L"DisplayName"), L"TessaraFolder");
    EXPECT_EQ(UserString(kUninstallKey, L"Publisher"), L"TessaraFolder");
    EXPECT_NE(UserString(kUninstallKey, L"DisplayVersion"), L"<none>");
    EXPECT_EQ(UserString(kUninstallKey, L"DisplayIcon"), exe + L",0");
    EXPECT_EQ(UserString(kUninstallKey, L"QuietUninstallString"), L"\"" + dir + L"Uninstall.exe\" /S");
    DWORD size = 0;
    DWORD bytes = sizeof(size);
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, L"EstimatedSize", RRF_RT_REG_DWORD, nullptr, &size, &bytes),
              ERROR_SUCCESS);
    EXPECT_GT(size, 100u) << "kilobytes";
    // The association page is ticked by default, so a silent install associates .tfolder.
    EXPECT_EQ(UserString(L"Software\\Classes\\tfolderfile\\Shell\\Open\\Command", nullptr),
              L"\"" + exe + L"\" \"%1\"");
}

TEST(Installed, ProgramOpensAProjectAndTakesPathsFromAdd) {
    ASSERT_TRUE(CreateDirectoryW(kData.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(WriteText(kFirst, "1"));
    ASSERT_TRUE(WriteText(kSpaced, "2"));
    ASSERT_TRUE(WriteBytes(kProject, {}));
    const std::wstring exe = InstallDir() + L"TessaraFolder.exe";

    AppProcess app;
    ASSERT_TRUE(app.Start(exe, L"\"" + kProject + L"\""));
    HWND main = WaitForReadyInstance(app);
    ASSERT_NE(main, nullptr);
    {
        AppProcess add;
        ASSERT_TRUE(add.Start(exe, L"/add \"" + kFirst + L"\" \"" + kSpaced + L"\""));
        ASSERT_TRUE(add.Exited(kAppTimeout));
    }
    std::vector<int> selected;
    EXPECT_EQ(WaitForListPaths(app, main, &selected), (std::vector<std::wstring>{kFirst, kSpaced}));
    EXPECT_EQ(selected, (std::vector<int>{0, 1}));
    ExitProgram(app, main);
    EXPECT_EQ(SavedRootPaths(kProject), (std::vector<std::wstring>{kFirst, kSpaced}));
}

TEST(Installed, FirstStartOpensANewDefaultProjectInTheDocuments) {
    const std::wstring exe = InstallDir() + L"TessaraFolder.exe";
    ASSERT_FALSE(FileExists(DocumentsDefault()));
    AppProcess app;
    ASSERT_TRUE(app.Start(exe, L""));
    HWND dlg = app.WaitForWindow(L"CInitDlg");
    ASSERT_NE(dlg, nullptr);
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    HWND main = app.WaitForWindow(L"MainWindow");
    ASSERT_NE(main, nullptr);
    ExitProgram(app, main);
    EXPECT_GT(ReadBytes(DocumentsDefault()).size(), 16u);
    EXPECT_FALSE(FileExists(InstallDir() + L"default.tfolder")) << "an installed copy keeps no project beside it";
}

TEST(Uninstalled, NothingOfTheProgramIsLeftAndTheUsersFilesAre) {
    const std::wstring dir = InstallDir();
    EXPECT_FALSE(FileExists(dir.substr(0, dir.size() - 1))) << "the program folder";
    EXPECT_FALSE(FileExists(SendToLink()));
    EXPECT_FALSE(FileExists(MenuLink()));
    EXPECT_FALSE(UserKeyExists(kUninstallKey));
    EXPECT_FALSE(UserKeyExists(L"Software\\TessaraFolder"));
    for (const wchar_t* key : {L"Software\\Classes\\.tfolder", L"Software\\Classes\\tfolderfile"})
        EXPECT_FALSE(UserKeyExists(key)) << key;

    EXPECT_EQ(SavedRootPaths(kProject), (std::vector<std::wstring>{kFirst, kSpaced}));
    EXPECT_EQ(ReadBytes(kFirst), (std::vector<unsigned char>{'1'}));
    EXPECT_EQ(ReadBytes(kSpaced), (std::vector<unsigned char>{'2'}));
    EXPECT_GT(ReadBytes(DocumentsDefault()).size(), 16u);
}
