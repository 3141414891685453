// The per-user association and the first-run dialog, written into a registry of the test's own:
// HKEY_CURRENT_USER is redirected (RegOverridePredefKey) to a scratch key for each test, so the
// prefix's real associations are never touched and a key can be made read-only at will.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Associations/Associations.h"
#include "Associations/InitDlg.h"
#include "Support/TestSupport.h"

using tf_test::ModalResponder;
using tf_test::ModalSeen;

namespace {

const wchar_t kScratch[] = L"Software\\TessaraFolderTests\\Associations";

// Redirects HKEY_CURRENT_USER to a fresh scratch key. With `writable` false its Software\Classes is
// volatile, so every lasting key the program tries to make below it is refused.
class UserHive {
public:
    explicit UserHive(bool writable = true) {
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        if (!writable) {
            HKEY classes = nullptr;
            RegCreateKeyExW(key_, L"Software\\Classes", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            &classes, nullptr);
            RegCloseKey(classes);
        }
        overridden_ = key_ && RegOverridePredefKey(HKEY_CURRENT_USER, key_) == ERROR_SUCCESS;
    }
    ~UserHive() {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    }
    bool ok() const { return key_ && overridden_; }

private:
    HKEY key_ = nullptr;
    bool overridden_ = false;
};

std::wstring ClassesPath(const std::wstring& key) {
    return L"Software\\Classes\\" + key;
}

bool KeyExists(const std::wstring& key) {
    HKEY open = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, ClassesPath(key).c_str(), 0, KEY_READ, &open) != ERROR_SUCCESS) return false;
    RegCloseKey(open);
    return true;
}

std::wstring Value(const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t data[1024] = {};
    DWORD bytes = sizeof(data) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, ClassesPath(key).c_str(), name, RRF_RT_REG_SZ, nullptr, data, &bytes) !=
        ERROR_SUCCESS)
        return L"<none>";
    return data;
}

void SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, ClassesPath(key).c_str(), name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::wstring ThisExecutable() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// How many colours the window DC of `dlg` shows inside control `id`: one for a control that was
// never drawn over the dialog's background.
size_t ColoursInside(HWND dlg, int id) {
    RECT rc{};
    GetWindowRect(GetDlgItem(dlg, id), &rc);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&rc), 2);
    std::vector<COLORREF> seen;
    HDC dc = GetDC(dlg);
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            if (std::find(seen.begin(), seen.end(), c) == seen.end()) seen.push_back(c);
        }
    ReleaseDC(dlg, dc);
    return seen.size();
}

bool Checked(HWND dlg, int id) {
    return IsDlgButtonChecked(dlg, id) == BST_CHECKED;
}

void Click(HWND dlg, int id) {
    SendMessageW(GetDlgItem(dlg, id), BM_CLICK, 0, 0);
}

}  // namespace

TEST(Associations, WrittenPerUserQuotedAndRemovedOnlyWhereWritten) {
    UserHive hive;
    ASSERT_TRUE(hive.ok());
    std::vector<std::wstring> failed;

    // A program folder and a project path with blanks reach the program whole.
    const std::wstring command = AssociationOpenCommand(L"C:\\Program Files\\Tessara\\TessaraFolder.exe");
    std::wstring line = command;
    line.replace(line.find(L"%1"), 2, L"D:\\my projects\\a b.tfolder");
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &argc);
    ASSERT_EQ(argc, 2);
    EXPECT_STREQ(argv[0], L"C:\\Program Files\\Tessara\\TessaraFolder.exe");
    EXPECT_STREQ(argv[1], L"D:\\my projects\\a b.tfolder");
    LocalFree(argv);

    EXPECT_FALSE(IsAssociated(L"tfolder"));
    EXPECT_FALSE(AddShellNew(L"tfolder", failed)) << "no template without the extension's key";
    EXPECT_FALSE(KeyExists(L".tfolder"));

    RegisterAssociation(L"tfolder", failed);
    EXPECT_TRUE(failed.empty());
    EXPECT_TRUE(IsAssociated(L"tfolder"));
    EXPECT_EQ(Value(L".tfolder"), L"tfolderfile");
    EXPECT_EQ(Value(L"tfolderfile"), L"テッサラフォルダ");
    EXPECT_EQ(Value(L"tfolderfile\\DefaultIcon"), L"\"" + ThisExecutable() + L"\",0");
    EXPECT_EQ(Value(L"tfolderfile\\Shell\\Open\\Command"), L"\"" + ThisExecutable() + L"\" \"%1\"");
    EXPECT_FALSE(HasShellNew(L"tfolder"));
    EXPECT_TRUE(AddShellNew(L"tfolder", failed));
    EXPECT_TRUE(HasShellNew(L"tfolder"));
    EXPECT_EQ(Value(L".tfolder\\ShellNew", L"NullFile"), L"");

    // What others keep beside the program's values survives the removal.
    SetValue(L".tfolder\\OpenWithProgids", L"Other.Document", L"");
    SetValue(L"tfolderfile\\Shell\\Print\\Command", nullptr, L"print.exe \"%1\"");
    DeleteAssociation(L"tfolder", failed);
    EXPECT_TRUE(failed.empty());
    EXPECT_FALSE(IsAssociated(L"tfolder"));
    EXPECT_FALSE(HasShellNew(L"tfolder"));
    EXPECT_FALSE(KeyExists(L".tfolder\\ShellNew"));
    EXPECT_EQ(Value(L".tfolder\\OpenWithProgids", L"Other.Document"), L"");
    EXPECT_FALSE(KeyExists(L"tfolderfile\\Shell\\Open"));
    EXPECT_FALSE(KeyExists(L"tfolderfile\\DefaultIcon"));
    EXPECT_EQ(Value(L"tfolderfile\\Shell\\Print\\Command"), L"print.exe \"%1\"");

    // An extension that another program has taken over keeps its owner.
    SetValue(L".fol", nullptr, L"otherfile");
    SetValue(L".fol\\ShellNew", L"NullFile", L"");
    // So does a class of the program's class name that another program wrote.
    SetValue(L"folfile", nullptr, L"Other Type");
    SetValue(L"folfile\\Shell\\Open\\Command", nullptr, L"other.exe \"%1\"");
    EXPECT_FALSE(IsAssociated(L"fol"));
    DeleteAssociation(L"fol", failed);
    EXPECT_EQ(Value(L".fol"), L"otherfile");
    EXPECT_TRUE(HasShellNew(L"fol"));
    EXPECT_EQ(Value(L"folfile"), L"Other Type");
    EXPECT_EQ(Value(L"folfile\\Shell\\Open\\Command"), L"other.exe \"%1\"");
    EXPECT_TRUE(failed.empty());
}

TEST(Associations, FirstRunDialogWritesWhatIsChecked) {
    UserHive hive;
    ASSERT_TRUE(hive.ok());

    // First run: nothing associated, so the template box is off; check everything.
    bool templateBoxWasDisabled = false;
    size_t okButtonColours = 0;
    {
        ModalResponder responder([&](HWND dlg, const ModalSeen&) {
            RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            okButtonColours = ColoursInside(dlg, IDOK);
            templateBoxWasDisabled = !IsWindowEnabled(GetDlgItem(dlg, 200)) && !Checked(dlg, 200);
            for (int id = 201; id <= 203; ++id) Click(dlg, id);
            Click(dlg, 200);
            return IDOK;
        });
        EXPECT_TRUE(CInitDlg::DoModal());
        ASSERT_EQ(responder.seen().size(), 1u) << "no warning after a clean write";
        EXPECT_EQ(responder.seen()[0].className, L"CInitDlg");
        EXPECT_EQ(responder.seen()[0].title, L"TessaraFolder v0.99c");
    }
    EXPECT_TRUE(templateBoxWasDisabled);
    EXPECT_GT(okButtonColours, 2u) << "the dialog's controls are drawn";
    EXPECT_TRUE(IsAssociated(L"tfolder") && IsAssociated(L"fol") && IsAssociated(L"tf"));
    EXPECT_TRUE(HasShellNew(L"tfolder"));
    EXPECT_FALSE(HasShellNew(L"fol") || HasShellNew(L"tf")) << "the template goes to the first checked type only";

    // Second run shows that state; unchecking tfolder takes its template with it.
    bool shownAsWritten = false;
    {
        ModalResponder responder([&](HWND dlg, const ModalSeen&) {
            shownAsWritten = Checked(dlg, 201) && Checked(dlg, 202) && Checked(dlg, 203) && Checked(dlg, 200) &&
                             IsWindowEnabled(GetDlgItem(dlg, 200));
            Click(dlg, 201);
            Click(dlg, 200);
            return IDOK;
        });
        EXPECT_TRUE(CInitDlg::DoModal());
    }
    EXPECT_TRUE(shownAsWritten);
    EXPECT_FALSE(IsAssociated(L"tfolder"));
    EXPECT_FALSE(KeyExists(L".tfolder"));
    EXPECT_FALSE(KeyExists(L"tfolderfile"));
    EXPECT_TRUE(IsAssociated(L"fol"));

    // Unchecking every type clears and disables the template box at once; Cancel writes nothing.
    bool clearedAtOnce = false;
    {
        ModalResponder responder([&](HWND dlg, const ModalSeen&) {
            Click(dlg, 200);
            Click(dlg, 202);
            Click(dlg, 203);
            clearedAtOnce = !Checked(dlg, 200) && !IsWindowEnabled(GetDlgItem(dlg, 200));
            return IDCANCEL;
        });
        EXPECT_FALSE(CInitDlg::DoModal());
    }
    EXPECT_TRUE(clearedAtOnce);
    EXPECT_TRUE(IsAssociated(L"fol") && IsAssociated(L"tf"));
}

TEST(Associations, KeysThatCannotBeWrittenAreNamedOnceAfterTheDialog) {
    UserHive hive(false);
    ASSERT_TRUE(hive.ok());
    ModalResponder responder([&](HWND dlg, const ModalSeen& seen) {
        if (seen.className != L"CInitDlg") return IDOK;
        Click(dlg, 201);
        return IDOK;
    });
    EXPECT_TRUE(CInitDlg::DoModal());
    ASSERT_EQ(responder.seen().size(), 2u);
    EXPECT_EQ(responder.seen()[1].title, L"警告");
    EXPECT_NE(responder.seen()[1].text.find(L"Software\\Classes\\.tfolder"), std::wstring::npos);
    EXPECT_NE(responder.seen()[1].text.find(L"Software\\Classes\\tfolderfile\\Shell\\Open\\Command"),
              std::wstring::npos);
    EXPECT_FALSE(IsAssociated(L"tfolder"));
}
