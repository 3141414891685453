// Every dialog walked by keyboard alone: Tab goes round every control that takes input (never into a
// hidden page), Ctrl+Tab switches the tabbed dialogs' pages, Enter does the dialog's main action and
// Esc cancels, Shift+F10 opens a list's menu at its item, and the lists' own keys work.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "Associations/InitDlg.h"
#include "Backup/Dialogs/BackupCommentDlg.h"
#include "Backup/Dialogs/BackupDlg.h"
#include "Backup/Dialogs/BackupHistoryDlg.h"
#include "Choosers/AppSelectDlg.h"
#include "Choosers/MulSelAppSelectDlg.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "Kv/KvDpi.h"
#include "ProjectSetup/PrjSetupDlg.h"
#include "Search/Dialogs/SearchEntryDlg.h"
#include "Search/Dialogs/SearchEntryPathDlg.h"
#include "Search/Dialogs/SearchEntryView.h"
#include "Shell/ShellRun.h"
#include "Support/EmptyProject.h"
#include "Support/KeyboardDriver.h"
#include "Support/TestSupport.h"

using namespace tf_test;

namespace {

// Makes the dialog the active window with the focus inside it, as it is when a user opens it.
KeyScript::Step Focused(HWND& dlg) {
    return [&dlg] {
        HWND focus = GetFocus();
        if (focus && (focus == dlg || IsChild(dlg, focus))) return true;
        SetForegroundWindow(dlg);
        SetActiveWindow(dlg);
        // A test process started in the background may not be given the foreground: the focus then
        // goes to the dialog's first stop directly.
        if (!GetFocus() || !IsChild(dlg, GetFocus())) SetFocus(GetNextDlgTabItem(dlg, nullptr, FALSE));
        return false;
    };
}

// The controls in the order Tab reached them that go back against reading order (top to bottom, and
// left to right within a row), described for a failure message. The walk is a circle, so the one
// step from the last control back to the first is expected.
std::wstring StepsAgainstReadingOrder(const std::vector<HWND>& reached) {
    if (reached.empty()) return L"";
    const int row = KvScale(10, KvDpiOfWindow(reached.front()));  // tops this close share a row
    auto before = [row](HWND a, HWND b) {
        RECT ra{}, rb{};
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return std::abs(ra.top - rb.top) <= row ? ra.left < rb.left : ra.top < rb.top;
    };
    std::wstring backwards;
    int count = 0;
    for (size_t i = 0; i < reached.size(); ++i) {
        HWND from = reached[i], to = reached[(i + 1) % reached.size()];
        if (from == to || before(from, to)) continue;
        ++count;
        backwards += L"[" + std::to_wstring(GetDlgCtrlID(from)) + L" -> " + std::to_wstring(GetDlgCtrlID(to)) + L"] ";
    }
    return count > 1 ? backwards : L"";
}

// Tab round the dialog: every control that takes input is reached in reading order, and nothing
// hidden is.
KeyScript::Step WalkChecked(HWND& dlg, std::vector<HWND>& reached, const char* what) {
    return [&dlg, &reached, what] {
        EXPECT_EQ(Unreached(dlg, reached), L"") << what;
        EXPECT_EQ(StepsAgainstReadingOrder(reached), L"") << what;
        for (HWND hwnd : reached) EXPECT_TRUE(IsWindowVisible(hwnd)) << what << " reached a hidden control";
        reached.clear();
        return true;
    };
}

KeyScript::Step Check(std::function<void()> check) {
    return [check] {
        check();
        return true;
    };
}

KeyScript::Step WaitFor(std::function<bool()> condition) {
    return condition;
}

// A dialog of class `cls` opened by `run` is driven by `build`'s script; every other window is
// unexpected unless `other` answers it.
template <class Run>
void Drive(const wchar_t* cls, KeyScript& script, HWND& dlg, Run run,
           std::function<int(HWND, const ModalSeen&)> other = nullptr) {
    ModalResponder responder([&](HWND opened, const ModalSeen& seen) {
        if (seen.className == cls) {
            dlg = opened;
            script.Start();
            return 0;
        }
        return other ? other(opened, seen) : kUnexpectedModal;
    });
    run();
    EXPECT_TRUE(script.Finished()) << "the dialog closed before its script ended";
}

class DialogKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tf_test::StartWithEmptyProject());
    }
    TempDir dir_;
    HWND dlg_ = nullptr;
    std::vector<HWND> reached_;
};

TEST_F(DialogKeysTest, SmallDialogsAreDoneWithTabEnterAndEsc) {
    // The comment editor: type, Tab to OK, Enter.
    std::wstring comment = L"old";
    KeyScript edit;
    edit.Then(Focused(dlg_)).Then(TabAround(reached_)).Then(WalkChecked(dlg_, reached_, "comment"))
        .Then(TabTo(200)).Then(Press(VK_END)).Then(Type(L" memo")).Then(TabTo(IDOK)).Then(Press(VK_RETURN));
    Drive(L"CBackupCommentDlg", edit, dlg_, [&] { EXPECT_TRUE(CBackupCommentDlg::Run(comment, nullptr, L"c")); });
    EXPECT_EQ(comment, L"old memo");

    // The search folder path: typed, Enter is OK.
    std::wstring path;
    KeyScript pathKeys;
    pathKeys.Then(Focused(dlg_)).Then(TabAround(reached_)).Then(WalkChecked(dlg_, reached_, "path"))
        .Then(TabTo(201)).Then(Type(L"C:\\data")).Then(Press(VK_RETURN));
    Drive(L"CSearchEntryPathDlg", pathKeys, dlg_, [&] { EXPECT_TRUE(CSearchEntryPathDlg::Run(path, nullptr)); });
    EXPECT_EQ(path, L"C:\\data");

    // The application editor: Esc leaves the application as it was.
    ProjectApp app{L"C:\\tools\\a.exe", L"A", {L"txt"}};
    KeyScript appKeys;
    appKeys.Then(Focused(dlg_)).Then(TabAround(reached_)).Then(WalkChecked(dlg_, reached_, "application"))
        .Then(TabTo(202)).Then(Type(L"x")).Then(Press(VK_ESCAPE));
    Drive(L"CMulSelAppSelectDlg", appKeys, dlg_, [&] { EXPECT_FALSE(CMulSelAppSelectDlg::Run(app, nullptr, L"a")); });
    EXPECT_EQ(app.caption, L"A");

    // The first-run dialog: every box reachable; Esc writes nothing.
    KeyScript initKeys;
    initKeys.Then(Focused(dlg_)).Then(TabAround(reached_)).Then(WalkChecked(dlg_, reached_, "first run"))
        .Then(Press(VK_ESCAPE));
    Drive(L"CInitDlg", initKeys, dlg_, [&] { EXPECT_FALSE(CInitDlg::DoModal()); });
}

// The program chooser: the "always open with" box is reached by Tab and ticked with the space bar,
// so a keyboard user can store a program.
TEST_F(DialogKeysTest, ChooserStoresAProgramByKeys) {
    CEntry& entry = RootFolder().Append();
    entry.name = L"doc.txt";
    entry.path = dir_ / L"doc.txt";
    std::wstring chosen;
    int result = 0;
    KeyScript keys;
    keys.Then(Focused(dlg_)).Then(TabAround(reached_)).Then(WalkChecked(dlg_, reached_, "chooser"))
        .Then(TabTo(200)).Then(Type(L"C:\\tools\\viewer.exe")).Then(TabTo(201)).Then(Press(VK_SPACE))
        .Then(Check([&] { EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg_, IDOK))); })).Then(Press(VK_RETURN));
    Drive(L"CKvAppSelectDlg", keys, dlg_, [&] { result = CKvAppSelectDlg::Run(entry, nullptr, L"c", chosen); });
    EXPECT_EQ(result, kAppSelectOk | kAppSelectStored);
    EXPECT_EQ(entry.appPath, L"C:\\tools\\viewer.exe");
}

// The search settings: both tabs walked (Ctrl+Tab, Ctrl+Shift+Tab), the depth limited with the
// arrow keys, Enter starts the walk; in the result view type-ahead finds a row and Enter adds.
TEST_F(DialogKeysTest, SearchSettingsAndResultsByKeys) {
    for (const wchar_t* name : {L"alpha.txt", L"beta.txt", L"gamma.txt"}) ASSERT_TRUE(WriteText(dir_ / name, "x"));
    SearchSettings settings;
    settings.path = dir_.path().substr(0, dir_.path().size() - 1);
    const bool limitedBefore = settings.limitDepth;
    std::vector<std::wstring> results;
    HWND view = nullptr;
    KeyScript viewKeys;
    viewKeys.Then(WaitFor([&] { return IsWindowVisible(GetDlgItem(view, 200)) != FALSE; }))
        .Then(Check([&] { EXPECT_EQ(WindowText(GetDlgItem(view, 205)), GlobalText::Get(kGtResultsHint)); }))
        .Then(Focused(view)).Then(TabAround(reached_)).Then(WalkChecked(view, reached_, "results"))
        .Then(TabTo(204)).Then(Type(L"be"))
        .Then(Check([&] {
            HWND list = GetDlgItem(view, 204);
            wchar_t name[64] = {};
            ListView_GetItemText(list, ListView_GetNextItem(list, -1, LVNI_FOCUSED), 0, name, 64);
            EXPECT_EQ(std::wstring(name).substr(0, 4), L"beta");
        }))
        .Then(Press(VK_RETURN));

    KeyScript keys;
    keys.Then(Focused(dlg_)).Then(TabAround(reached_)).Then(WalkChecked(dlg_, reached_, "single folder"))
        .Then(Press(VK_TAB, kCtrl))
        .Then(Check([&] {
            EXPECT_EQ(TabCtrl_GetCurSel(FindControl(dlg_, 200)), 1);
            EXPECT_TRUE(IsWindowVisible(FindControl(dlg_, 208)));
        }))
        .Then(TabAround(reached_)).Then(WalkChecked(dlg_, reached_, "several folders"))
        .Then(Press(VK_TAB, kCtrl | kShift))
        .Then(Check([&] { EXPECT_EQ(TabCtrl_GetCurSel(FindControl(dlg_, 200)), 0); }))
        .Then([&] {
            // Tab enters the radio group at its checked button; the arrow keys move the choice.
            if (FocusedId() == 211 || FocusedId() == 212) return true;
            PressKey(VK_TAB);
            return false;
        })
        .Then([&] {
            const bool onChecked = SendMessageW(GetFocus(), BM_GETCHECK, 0, 0) == BST_CHECKED;
            PressKey(!onChecked ? VK_SPACE : FocusedId() == 211 ? VK_DOWN : VK_UP);
            return true;
        })
        .Then(Check([&] { EXPECT_NE(IsWindowEnabled(FindControl(dlg_, 213)) != FALSE, limitedBefore); }))
        .Then(Press(VK_RETURN));
    Drive(L"CSearchEntryDlg", keys, dlg_, [&] {
        EXPECT_TRUE(CSearchEntryDlg::Run(settings, nullptr, L"s", results));
    }, [&](HWND opened, const ModalSeen& seen) {
        if (seen.className != L"CSearchEntryView") return kUnexpectedModal;
        view = opened;
        viewKeys.Start();
        return 0;
    });
    EXPECT_TRUE(viewKeys.Finished());
    EXPECT_NE(settings.limitDepth, limitedBefore);
    EXPECT_EQ(std::count_if(results.begin(), results.end(),
                            [](const std::wstring& p) { return p.find(L".txt") != std::wstring::npos; }),
              3);
}

// Esc while the walk runs stops it and keeps its rows; a second Esc cancels the view.
TEST_F(DialogKeysTest, EscStopsTheWalkThenCancels) {
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(WriteText(dir_ / (L"f" + std::to_wstring(i) + L".txt"), "x"));
    SearchSettings settings;
    settings.path = dir_.path().substr(0, dir_.path().size() - 1);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetSearchViewRowHook([release](size_t queued) {
        if (queued == 2) WaitForSingleObject(release, 10000);
    });
    int kept = 0;
    std::vector<std::wstring> results;
    KeyScript keys;
    keys.Then(WaitFor([&] { return ListView_GetItemCount(GetDlgItem(dlg_, 204)) > 0; }))
        .Then(Focused(dlg_)).Then(Press(VK_ESCAPE))
        .Then(Check([&] { SetEvent(release); }))
        .Then(WaitFor([&] { return IsWindowVisible(GetDlgItem(dlg_, 200)) != FALSE; }))
        .Then(Check([&] { kept = ListView_GetItemCount(GetDlgItem(dlg_, 204)); }))
        .Then(Press(VK_ESCAPE));
    Drive(L"CSearchEntryView", keys, dlg_, [&] {
        EXPECT_TRUE(CSearchEntryView::Run(SearchViewMode::Search, &settings, nullptr, results));
    });
    SetSearchViewRowHook({});
    CloseHandle(release);
    EXPECT_GE(kept, 1);
    EXPECT_LT(kept, 21);
    EXPECT_TRUE(results.empty());
}

// The project settings: every page walked through Ctrl+Tab; on the last page the application list
// takes Shift+F10 (menu at the row), F2 (the editor) and Delete; Enter is OK.
TEST_F(DialogKeysTest, ProjectSettingsPagesAndApplicationListByKeys) {
    Project().backupEnabled = 0;
    Project().apps = {{L"C:\\tools\\a.exe", L"A", {}}, {L"C:\\tools\\b.exe", L"B", {}}};
    std::wstring edited;
    RECT menu{};
    bool menuOpen = false;
    KeyScript keys;
    keys.Then(Focused(dlg_));
    for (int page = 0; page < 4; ++page) {
        keys.Then(TabAround(reached_)).Then(WalkChecked(dlg_, reached_, "settings page")).Then(Press(VK_TAB, kCtrl));
    }
    keys.Then(Check([&] { EXPECT_EQ(TabCtrl_GetCurSel(GetDlgItem(dlg_, 200)), 0); }))
        .Then(Press(VK_TAB, kCtrl | kShift))
        .Then(TabTo(216)).Then(Press(VK_DOWN)).Then(Press(VK_F10, kShift))
        .Then([&] {
            menuOpen = OpenMenuRect(menu);
            EndMenu();
            return true;
        })
        .Then(Check([&] {
            HWND list = FindControl(dlg_, 216);
            RECT item{};
            ListView_GetItemRect(list, 0, &item, LVIR_LABEL);
            MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&item), 2);
            EXPECT_TRUE(menuOpen);
            EXPECT_LE(std::abs(menu.top - item.bottom), 2) << "the menu opens under the row";
        }))
        .Then(Press(VK_F2)).Then(Press(VK_DELETE)).Then(Press(VK_RETURN));
    Drive(L"CPrjSetupDlg", keys, dlg_, [&] { EXPECT_TRUE(CPrjSetupDlg::Run(nullptr, L"p")); },
          [&](HWND editor, const ModalSeen& seen) {
              if (seen.className != L"CMulSelAppSelectDlg") return kUnexpectedModal;
              edited = WindowText(GetDlgItem(editor, 200));
              return IDCANCEL;
          });
    EXPECT_EQ(edited, L"C:\\tools\\a.exe");
    ASSERT_EQ(Project().apps.size(), 1u);
    EXPECT_EQ(Project().apps[0].path, L"C:\\tools\\b.exe");
}

// The backup dialog: the comment typed and the backup made from the keyboard; then in the history
// Shift+F10 opens the row menu at the row and Enter opens the row.
TEST_F(DialogKeysTest, BackupAndHistoryByKeys) {
    Project().backupDir = dir_ / L"store";
    CEntry& entry = RootFolder().Append();
    entry.name = L"doc.txt";
    entry.path = dir_ / L"doc.txt";
    entry.appPath = L"C:\\tools\\viewer.exe";
    ASSERT_TRUE(WriteText(entry.path, "one"));
    int recorded = 0;
    KeyScript backupKeys;
    backupKeys.Then(Focused(dlg_)).Then(TabAround(reached_)).Then(WalkChecked(dlg_, reached_, "backup"))
        .Then(TabTo(200)).Then(Type(L"first")).Then(TabTo(IDOK)).Then(Press(VK_RETURN));
    Drive(L"CBackupDlg", backupKeys, dlg_, [&] {
        EXPECT_TRUE(CBackupDlg::Run(entry, backup::BackupMode::Normal, nullptr, L"b", &recorded));
    }, [](HWND, const ModalSeen&) { return IDYES; });
    EXPECT_EQ(recorded, 1);

    std::vector<std::wstring> opened;
    SetShellOpenHook([&](const std::wstring& file, const std::wstring&) {
        opened.push_back(file);
        return true;
    });
    RECT menu{};
    bool menuOpen = false;
    KeyScript historyKeys;
    historyKeys.Then(Focused(dlg_)).Then(TabAround(reached_)).Then(WalkChecked(dlg_, reached_, "history"))
        .Then(TabTo(210)).Then(Press(VK_HOME))
        .Then(Check([&] { EXPECT_EQ(WindowText(GetDlgItem(dlg_, 200)), L"first"); }))
        .Then(Press(VK_APPS))
        .Then([&] {
            menuOpen = OpenMenuRect(menu);
            EndMenu();
            return true;
        })
        .Then(Press(VK_RETURN)).Then(Press(VK_ESCAPE));
    Drive(L"CBackupHistoryDlg", historyKeys, dlg_, [&] { CBackupHistoryDlg::Run(entry, nullptr, L"h"); },
          [](HWND, const ModalSeen&) { return IDOK; });
    SetShellOpenHook({});
    EXPECT_TRUE(menuOpen);
    EXPECT_EQ(opened.size(), 1u);
}

}  // namespace
