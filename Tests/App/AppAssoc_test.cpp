// The first run and the file association from outside the program: a copy of the program in a folder
// with a blank in its name starts without a project and without default.tfolder, the first-run
// dialog is answered, the program goes on to a new default project, the per-user keys are read back,
// and the program is then started on a project file the way the shell starts it, through the
// registered open command. The installer's switches write and remove the association of one copy.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Support/AppProcess.h"
#include "Support/TestSupport.h"

using tf_test::AppProcess;
using tf_test::TempDir;

namespace {

const wchar_t* const kKeys[] = {L"Software\\Classes\\.tfolder", L"Software\\Classes\\tfolderfile",
                                L"Software\\Classes\\.fol",     L"Software\\Classes\\folfile",
                                L"Software\\Classes\\.tf",      L"Software\\Classes\\tffile"};

// The prefix's user keys of the association, removed before and after the test.
struct CleanAssociation {
    CleanAssociation() { Remove(); }
    ~CleanAssociation() { Remove(); }
    static void Remove() {
        for (const wchar_t* key : kKeys) RegDeleteTreeW(HKEY_CURRENT_USER, key);
    }
};

std::wstring UserValue(const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t data[1024] = {};
    DWORD bytes = sizeof(data) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + key).c_str(), name, RRF_RT_REG_SZ, nullptr, data,
                     &bytes) != ERROR_SUCCESS)
        return L"<none>";
    return data;
}

bool CopyBeside(const std::wstring& from, const std::wstring& to, const wchar_t* name) {
    return CopyFileW((from + name).c_str(), (to + name).c_str(), FALSE) != 0;
}

}  // namespace

TEST(AppAssociation, FirstRunRegistersAndTheOpenCommandStartsTheProgramOnAPathWithBlanks) {
    CleanAssociation clean;
    TempDir dir;
    const std::wstring programDir = dir / L"Tessara Folder\\";
    ASSERT_TRUE(CreateDirectoryW(programDir.c_str(), nullptr));
    std::wstring bin = tf_test::ProgramPath();
    bin.resize(bin.find_last_of(L'\\') + 1);
    for (const wchar_t* name : {L"TessaraFolder.exe", L"GT", L"Setting.ini"})
        ASSERT_TRUE(CopyBeside(bin, programDir, name)) << name;
    const std::wstring program = programDir + L"TessaraFolder.exe";

    {
        AppProcess first;
        ASSERT_TRUE(first.Start(program, L""));
        HWND dlg = first.WaitForWindow(L"CInitDlg");
        ASSERT_NE(dlg, nullptr) << "no project and no default.tfolder: the first-run dialog";
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, 200)));
        SendMessageW(GetDlgItem(dlg, 201), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dlg, 200), BM_CLICK, 0, 0);
        EXPECT_NE(tf_test::WindowText(FindWindowExW(dlg, nullptr, L"STATIC", nullptr)).find(L"ダブルクリック"),
                  std::wstring::npos)
            << "one sentence says what the dialog is for";
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        // A portable copy in a writable folder then starts on a new default project beside itself.
        HWND main = first.WaitForWindow(L"MainWindow");
        ASSERT_NE(main, nullptr) << "after the dialog the main window opens";
        PostMessageW(main, WM_COMMAND, 2506, 0);
        ASSERT_TRUE(first.Exited(tf_test::kAppTimeout));
    }
    EXPECT_GT(tf_test::ReadBytes(programDir + L"default.tfolder").size(), 16u);
    EXPECT_EQ(UserValue(L".tfolder"), L"tfolderfile");
    EXPECT_EQ(UserValue(L".tfolder\\ShellNew", L"NullFile"), L"");
    EXPECT_EQ(UserValue(L"tfolderfile\\DefaultIcon"), L"\"" + program + L"\",0");
    const std::wstring command = UserValue(L"tfolderfile\\Shell\\Open\\Command");
    EXPECT_EQ(command, L"\"" + program + L"\" \"%1\"");
    EXPECT_EQ(UserValue(L".fol"), L"<none>");

    // The New menu's template makes an empty file; the open command opens it as a new project.
    const std::wstring projects = dir / L"my projects\\";
    ASSERT_TRUE(CreateDirectoryW(projects.c_str(), nullptr));
    const std::wstring project = projects + L"new project.tfolder";
    ASSERT_TRUE(tf_test::WriteBytes(project, {}));
    std::wstring line = command;
    const size_t placeholder = line.find(L"%1");
    ASSERT_NE(placeholder, std::wstring::npos);
    line.replace(placeholder, 2, project);

    AppProcess opened;
    ASSERT_TRUE(opened.StartCommandLine(line));
    HWND main = opened.WaitForWindow(L"MainWindow");
    ASSERT_NE(main, nullptr);
    wchar_t title[512] = {};
    GetWindowTextW(main, title, 512);
    EXPECT_NE(std::wstring(title).find(L"new project"), std::wstring::npos) << title;
    PostMessageW(main, WM_COMMAND, 2506, 0);
    ASSERT_TRUE(opened.Exited(tf_test::kAppTimeout));
    const std::vector<unsigned char> saved = tf_test::ReadBytes(project);
    EXPECT_GT(saved.size(), 16u) << "the project was saved where the shell's path named it";
}

TEST(AppAssociation, InstallerSwitchesWriteAndRemoveOnlyThisCopysAssociation) {
    CleanAssociation clean;
    TempDir dir;
    std::wstring bin = tf_test::ProgramPath();
    bin.resize(bin.find_last_of(L'\\') + 1);
    const std::wstring copy = dir / L"TessaraFolder.exe";
    ASSERT_TRUE(CopyBeside(bin, dir.path(), L"TessaraFolder.exe"));
    auto run = [](const std::wstring& program, const wchar_t* tail) {
        AppProcess p;
        ASSERT_TRUE(p.Start(program, tail));
        ASSERT_TRUE(p.Exited(tf_test::kAppTimeout)) << tail;
    };
    run(copy, L"/associate");
    EXPECT_EQ(UserValue(L".tfolder"), L"tfolderfile");
    EXPECT_EQ(UserValue(L".tfolder\\ShellNew", L"NullFile"), L"");
    EXPECT_EQ(UserValue(L"tfolderfile\\Shell\\Open\\Command"), L"\"" + copy + L"\" \"%1\"");
    EXPECT_EQ(UserValue(L".tf"), L"<none>") << "extensions other programs use are left to the dialog";

    run(tf_test::ProgramPath(), L"/UNASSOCIATE");
    EXPECT_EQ(UserValue(L".tfolder"), L"tfolderfile") << "another copy's association stays";
    run(copy, L"/unassociate");
    EXPECT_EQ(UserValue(L".tfolder"), L"<none>");
    EXPECT_EQ(UserValue(L"tfolderfile"), L"<none>");
}
