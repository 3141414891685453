// Adding files from outside the organiser, as Explorer's Send To and a command prompt do: a start
// with /add hands its paths to the running instance the user used last, or, with none running,
// starts on the most recently used project and adds them there. Checked through the instances'
// lists and the project files they save.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "Support/AppProcess.h"
#include "Support/TestSupport.h"

using namespace tf_test;

namespace {

const wchar_t kProgramKey[] = L"Software\\TessaraFolder";
const wchar_t kRecentValue[] = L"RecentProject";

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

// An instance of the program on `project`, ready to take paths from a second start.
struct Instance {
    AppProcess app;
    HWND main = nullptr;

    void Start(const std::wstring& project) {
        ASSERT_TRUE(app.Start(ProgramPath(), Quoted(project)));
        WaitReady();
    }
    void WaitReady() {
        main = WaitForReadyInstance(app);
        ASSERT_NE(main, nullptr);
    }
    std::vector<std::wstring> Paths(std::vector<int>* selected = nullptr) {
        return WaitForListPaths(app, main, selected);
    }
    void Exit() {
        PostMessageW(main, WM_COMMAND, 2506, 0);
        ASSERT_TRUE(app.Exited(kAppTimeout));
    }
};

// Runs `TessaraFolder.exe /add <tail>` and waits for that start to end.
void RunAdd(const std::wstring& tail) {
    AppProcess add;
    ASSERT_TRUE(add.Start(ProgramPath(), L"/add " + tail));
    ASSERT_TRUE(add.Exited(kAppTimeout)) << "the start with /add hands over and ends";
}

class AppAddTest : public ::testing::Test {
protected:
    void SetUp() override {
        first_ = dir_ / L"one.txt";
        spaced_ = dir_ / L"b c 日本語のファイル.txt";
        ASSERT_TRUE(WriteText(first_, "1"));
        ASSERT_TRUE(WriteText(spaced_, "2"));
        for (const wchar_t* name : {L"p.tfolder", L"q.tfolder"}) ASSERT_TRUE(WriteBytes(dir_ / name, {}));
    }

    TempDir dir_;
    std::wstring first_, spaced_;
};

}  // namespace

TEST_F(AppAddTest, PathsGoToTheInstanceUsedLastAndAreSavedThere) {
    Instance p;
    p.Start(dir_ / L"p.tfolder");
    Instance q;
    q.Start(dir_ / L"q.tfolder");
    // q started later; activating p makes p the one used last.
    SendMessageW(p.main, WM_ACTIVATE, WA_ACTIVE, 0);

    RunAdd(Quoted(first_) + L" " + Quoted(spaced_));
    std::vector<int> selected;
    EXPECT_EQ(p.Paths(&selected), (std::vector<std::wstring>{first_, spaced_}));
    EXPECT_EQ(selected, (std::vector<int>{0, 1}));

    // A path already filed is selected again, not added twice; a missing one is named and left out.
    RunAdd(Quoted(spaced_));
    EXPECT_EQ(p.Paths(&selected), (std::vector<std::wstring>{first_, spaced_}));
    EXPECT_EQ(selected, (std::vector<int>{1}));
    {
        AppProcess add;
        ASSERT_TRUE(add.Start(ProgramPath(), L"/add " + Quoted(dir_ / L"gone.txt")));
        HWND box = add.WaitForWindow(L"__kv_ErrorBox__");
        ASSERT_NE(box, nullptr);
        EXPECT_NE(BoxText(box).find(L"gone.txt"), std::wstring::npos);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(add.Exited(kAppTimeout));
    }

    q.Exit();
    p.Exit();
    EXPECT_EQ(SavedRootPaths(dir_ / L"p.tfolder"), (std::vector<std::wstring>{first_, spaced_}));
    EXPECT_TRUE(SavedRootPaths(dir_ / L"q.tfolder").empty());
}

TEST_F(AppAddTest, WithNoInstanceTheRecentProjectStartsAndTakesThePaths) {
    // The last project loaded is remembered; /add then opens it.
    {
        Instance q;
        q.Start(dir_ / L"q.tfolder");
        q.Exit();
    }
    Instance started;
    ASSERT_TRUE(started.app.Start(ProgramPath(), L"/add " + Quoted(spaced_) + L" " + Quoted(first_)));
    started.WaitReady();
    EXPECT_EQ(started.Paths(), (std::vector<std::wstring>{spaced_, first_}));
    started.Exit();
    EXPECT_EQ(SavedRootPaths(dir_ / L"q.tfolder"), (std::vector<std::wstring>{spaced_, first_}));
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kProgramKey, kRecentValue);
}
