// The application chooser of one entry (the context menu's command 12) through the real filer: the
// user's open-with programs of the extension are listed, a choice opens once or is stored with its
// mark, and a stored program that has gone is named instead of failing silently.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "Support/FilerMenuTestSupport.h"
#include "Support/FilerTestFixture.h"

using filer_test::ShellRecorder;
using tf_test::ModalResponder;
using tf_test::ModalSeen;
using tf_test::TempDir;
using tf_test::WriteText;

namespace {

constexpr int kChooseApp = 12;
const wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.tfchtest";
const wchar_t* const kApplications[] = {L"Applications\\tfchtest_tool.exe", L"Applications\\tfchtest_tool2.exe"};

// The open-with list of ".tfchtest" names one application per program given, whose open command is
// that program. Class keys go where HKEY_CLASSES_ROOT shows them (Wine 8 keeps them apart from the
// user's classes).
class OpenWithRegistration {
public:
    explicit OpenWithRegistration(const std::vector<std::wstring>& programs) {
        Remove();
        for (size_t i = 0; i < programs.size() && i < 2; ++i) {
            const std::wstring key = kApplications[i];
            const std::wstring exe = key.substr(key.find(L'\\') + 1);
            const wchar_t value[] = {static_cast<wchar_t>(L'a' + i), L'\0'};
            RegSetKeyValueW(HKEY_CURRENT_USER, (std::wstring(kFileExts) + L"\\OpenWithList").c_str(), value, REG_SZ,
                            exe.c_str(), static_cast<DWORD>((exe.size() + 1) * sizeof(wchar_t)));
            const std::wstring command = L"\"" + programs[i] + L"\" \"%1\"";
            RegSetKeyValueW(HKEY_CLASSES_ROOT, (key + L"\\shell\\open\\command").c_str(), nullptr, REG_SZ,
                            command.c_str(), static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
        }
    }
    explicit OpenWithRegistration(const std::wstring& program) : OpenWithRegistration(std::vector<std::wstring>{program}) {}
    ~OpenWithRegistration() { Remove(); }

private:
    static void Remove() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kFileExts);
        for (const wchar_t* key : kApplications) RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    }
};

class FilerChooserTest : public filer_test::FilerFixture {
protected:
    void Command(int id) { SendMessageW(list_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    TempDir dir_;
};

int ShellIcon(const std::wstring& path) {
    SHFILEINFOW info{};
    SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    return info.iIcon;
}

// The rows of the chooser's list whose text is `text`.
int RowsNamed(HWND list, const std::wstring& text) {
    int rows = 0;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        wchar_t buffer[MAX_PATH] = {};
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = buffer;
        item.cchTextMax = MAX_PATH;
        if (SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) && text == buffer) ++rows;
    }
    return rows;
}

}  // namespace

// The programs' folder hangs (as a share that does not answer): the chooser opens at once listing
// them by file name, closes at once, and once the folder answers, a program takes the shell's icon
// and one that does not exist leaves the list.
TEST_F(FilerChooserTest, ProgramsOnAHungRootAreListedAtOnceAndDescribedOnceItAnswers) {
    TempDir slow;
    const std::wstring file = dir_ / L"notes.tfchtest";
    const std::wstring tool = slow / L"tool.exe";
    ASSERT_TRUE(WriteText(file, "x"));
    ASSERT_TRUE(CopyFileW((tf_test::ExeDirectory() + L"Filer_test.exe").c_str(), tool.c_str(), FALSE));
    OpenWithRegistration registration(std::vector<std::wstring>{tool, slow / L"gone.exe"});
    ASSERT_TRUE(Filer().AddPath(file, false));
    Select(0, true);
    const int toolIcon = ShellIcon(tool);
    tf_test::HungRoot hung(slow.path());
    const DWORD start = GetTickCount();
    int toolRows = 0, goneRows = 0;
    {
        ModalResponder responder([&](HWND dlg, const ModalSeen&) {
            toolRows = RowsNamed(GetDlgItem(dlg, 216), L"tool.exe");
            goneRows = RowsNamed(GetDlgItem(dlg, 216), L"gone.exe");
            return IDCANCEL;
        });
        Command(kChooseApp);
    }
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_EQ(toolRows, 2);  // in the open-with list and among all applications
    EXPECT_EQ(goneRows, 2);

    int icon = -1;
    {
        ModalResponder responder([&](HWND dlg, const ModalSeen&) {
            HWND list = GetDlgItem(dlg, 216);
            hung.Release();
            LVITEMW first{};
            first.mask = LVIF_IMAGE;  // the open-with list's first program: the tool
            for (int wait = 0; wait < 500 && (RowsNamed(list, L"gone.exe") > 0 || icon != toolIcon); ++wait) {
                tf_test::PumpMessages(10);
                if (SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&first))) icon = first.iImage;
            }
            goneRows = RowsNamed(list, L"gone.exe");
            return IDCANCEL;
        });
        Command(kChooseApp);
    }
    EXPECT_EQ(goneRows, 0);
    EXPECT_EQ(icon, toolIcon);
}

TEST_F(FilerChooserTest, OpenOnceStoresNothingAndOkWithTheBoxStoresTheProgram) {
    const std::wstring file = dir_ / L"notes.tfchtest";
    const std::wstring tool = dir_ / L"tool.exe";
    ASSERT_TRUE(WriteText(file, "x"));
    ASSERT_TRUE(WriteText(tool, "MZ"));
    OpenWithRegistration registration(tool);
    ASSERT_TRUE(Filer().AddPath(file, false));
    CEntry& entry = EntryAt(RootFolder(), 0);
    const int fileIcon = entry.Display().iconIndex;
    Select(0, true);

    // The listed program fills the path; "open" runs it once with the entry's path in quotes.
    int rows = -1;
    bool okDisabled = false;
    std::wstring pathAfterSelecting;
    {
        ShellRecorder shell;
        ModalResponder responder([&](HWND dlg, const ModalSeen&) {
            HWND list = GetDlgItem(dlg, 216);
            rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
            okDisabled = !IsWindowEnabled(GetDlgItem(dlg, IDOK));
            LVITEMW state{};
            state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            state.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
            pathAfterSelecting = tf_test::WindowText(GetDlgItem(dlg, 200));
            return 203;
        });
        Command(kChooseApp);
        ASSERT_EQ(responder.seen().size(), 1u);
        EXPECT_EQ(responder.seen()[0].className, L"CKvAppSelectDlg");
        EXPECT_EQ(responder.seen()[0].title, GlobalText::Get(kGtChooserTitle));
        ASSERT_EQ(shell.calls.size(), 1u);
        EXPECT_EQ(shell.calls[0].file, tool);
        EXPECT_EQ(shell.calls[0].parameters, L"\"" + file + L"\"");
    }
    EXPECT_GE(rows, 1);
    EXPECT_TRUE(okDisabled);
    EXPECT_EQ(pathAfterSelecting, tool);
    EXPECT_EQ(entry.appPath, L"");

    // A double click on a row with the box cleared opens once too (OK would change nothing).
    {
        ShellRecorder shell;
        ModalResponder responder([&](HWND dlg, const ModalSeen&) {
            HWND list = GetDlgItem(dlg, 216);
            NMITEMACTIVATE click{};
            click.hdr.hwndFrom = list;
            click.hdr.idFrom = 216;
            click.hdr.code = NM_DBLCLK;
            click.iItem = 0;
            LVITEMW state{};
            state.stateMask = LVIS_SELECTED;
            state.state = LVIS_SELECTED;
            SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
            SendMessageW(dlg, WM_NOTIFY, 216, reinterpret_cast<LPARAM>(&click));
            return 0;
        });
        Command(kChooseApp);
        ASSERT_EQ(shell.calls.size(), 1u);
        EXPECT_EQ(shell.calls[0].file, tool);
    }
    EXPECT_EQ(entry.appPath, L"");

    // Typed path, box checked, OK: stored, and the entry now shows the program's icon. OK follows
    // the box both ways.
    {
        ShellRecorder shell;
        std::vector<bool> okEnabled;
        ModalResponder responder([&](HWND dlg, const ModalSeen&) {
            SetDlgItemTextW(dlg, 200, tool.c_str());
            for (int click = 0; click < 3; ++click) {
                SendMessageW(GetDlgItem(dlg, 201), BM_CLICK, 0, 0);
                okEnabled.push_back(IsWindowEnabled(GetDlgItem(dlg, IDOK)) != FALSE);
            }
            return okEnabled.back() ? IDOK : IDCANCEL;
        });
        Command(kChooseApp);
        EXPECT_TRUE(shell.calls.empty());
        EXPECT_EQ(okEnabled, (std::vector<bool>{true, false, true}));
    }
    EXPECT_EQ(entry.appPath, tool);
    ASSERT_EQ(ItemText(0, 0), entry.Display().displayText);
    EXPECT_EQ(entry.Display().iconIndex, ShellIcon(tool));
    EXPECT_NE(entry.Display().iconIndex, fileIcon);

    // Opening the entry now starts the stored program; once the program has gone, a warning names it.
    {
        ShellRecorder shell;
        Filer().OpenEntry(0);
        ASSERT_EQ(shell.calls.size(), 1u);
        EXPECT_EQ(shell.calls[0].file, tool);
    }
    ASSERT_TRUE(DeleteFileW(tool.c_str()));
    {
        ShellRecorder shell;
        ModalResponder responder(IDOK);
        Filer().OpenEntry(0);
        EXPECT_TRUE(shell.calls.empty());
        ASSERT_EQ(responder.seen().size(), 1u);
        EXPECT_EQ(responder.seen()[0].title, L"警告");
        EXPECT_NE(responder.seen()[0].text.find(tool), std::wstring::npos);
    }
    // A bare program name is the shell's to look up.
    entry.appPath = L"notepad.exe";
    {
        ShellRecorder shell;
        ModalResponder responder(IDOK);
        Filer().OpenEntry(0);
        ASSERT_EQ(shell.calls.size(), 1u);
        EXPECT_EQ(shell.calls[0].file, L"notepad.exe");
        EXPECT_TRUE(responder.seen().empty());
    }
}
