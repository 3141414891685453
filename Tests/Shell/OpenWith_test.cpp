// The open-with readers against real registry keys of a made-up extension and made-up applications,
// removed afterwards. The user's open-with lists are written under HKEY_CURRENT_USER; the classes go
// to HKEY_CURRENT_USER\Software\Classes where HKEY_CLASSES_ROOT shows that key's contents (Windows),
// and straight through HKEY_CLASSES_ROOT where it does not (Wine 8 maps it to the machine's classes
// only).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Shell/OpenWith.h"

namespace {

const wchar_t kUserClasses[] = L"Software\\Classes\\";
const wchar_t kProbe[] = L"tfowtest.probe";
const wchar_t kFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.tfowtestx";
const wchar_t kAppA[] = L"Applications\\tfowtest_a.exe";
const wchar_t kAppB[] = L"Applications\\tfowtest_b.exe";
const wchar_t kAppLong[] = L"Applications\\tfowtest_long.exe";
const wchar_t kProgId[] = L"tfowtest.document";

const wchar_t kProgramA[] = L"C:\\Program Files\\TfTest\\a.exe";
const wchar_t kProgramB[] = L"C:\\TfTest\\b.exe";
const wchar_t kPrinter[] = L"C:\\TfTest\\printer.exe";

void SetString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value,
               DWORD type = REG_SZ) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
    RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// Where class keys are written so that HKEY_CLASSES_ROOT shows them: a root and a path prefix.
struct ClassesPlace {
    HKEY root;
    std::wstring prefix;
};

ClassesPlace FindClassesPlace() {
    HKEY key = nullptr;
    const std::wstring probe = kUserClasses + std::wstring(kProbe);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, probe.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr) ==
        ERROR_SUCCESS)
        RegCloseKey(key);
    const bool merged = RegOpenKeyExW(HKEY_CLASSES_ROOT, kProbe, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (merged) RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, probe.c_str());
    return merged ? ClassesPlace{HKEY_CURRENT_USER, kUserClasses} : ClassesPlace{HKEY_CLASSES_ROOT, L""};
}

const ClassesPlace& Classes() {
    static const ClassesPlace place = FindClassesPlace();
    return place;
}

std::wstring ClassKey(const std::wstring& path) {
    return Classes().prefix + path;
}

void SetCommand(const std::wstring& owner, const wchar_t* verb, const std::wstring& command, DWORD type = REG_SZ) {
    SetString(Classes().root, ClassKey(owner + L"\\shell\\" + verb + L"\\command"), nullptr, command, type);
}

std::wstring Expanded(const wchar_t* text) {
    wchar_t buf[MAX_PATH];
    ExpandEnvironmentStringsW(text, buf, MAX_PATH);
    return buf;
}

class OpenWith : public testing::Test {
protected:
    void SetUp() override {
        RemoveKeys();
        SetCommand(kAppA, L"open", L"\"" + std::wstring(kProgramA) + L"\" \"%1\"");
        SetCommand(kAppA, L"edit", L"%SystemRoot%\\tfedit.exe /e \"%1\"", REG_EXPAND_SZ);
        // A verb with no command and one whose command is a number are skipped.
        SetString(Classes().root, ClassKey(kAppA) + L"\\shell\\nocommand", nullptr, L"x");
        HKEY key = nullptr;
        RegCreateKeyExW(Classes().root, (ClassKey(kAppA) + L"\\shell\\zdword\\command").c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr);
        const DWORD number = 7;
        RegSetValueExW(key, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
        RegCloseKey(key);

        SetCommand(kAppB, L"open", std::wstring(kProgramB) + L" %1");
        SetCommand(kProgId, L"open", L"\"" + std::wstring(kProgramA) + L"\" \"%1\"");
        SetCommand(kProgId, L"print", std::wstring(kPrinter) + L" /p \"%1\"");

        const std::wstring list = std::wstring(kFileExts) + L"\\OpenWithList";
        SetString(HKEY_CURRENT_USER, list, L"a", L"tfowtest_a.exe");
        SetString(HKEY_CURRENT_USER, list, L"b", L"tfowtest_b.exe");
        SetString(HKEY_CURRENT_USER, list, L"MRUList", L"ba");
        SetString(HKEY_CURRENT_USER, std::wstring(kFileExts) + L"\\OpenWithProgids", kProgId, L"", REG_NONE);
    }
    void TearDown() override { RemoveKeys(); }

    static void RemoveKeys() {
        for (const wchar_t* key : {kAppA, kAppB, kAppLong, kProgId})
            RegDeleteTreeW(Classes().root, ClassKey(key).c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, kFileExts);
    }
};

}  // namespace

TEST_F(OpenWith, VerbCommandsAreStrippedExpandedAndReadThroughClassesRoot) {
    std::vector<std::wstring> list;
    ASSERT_TRUE(CollectVerbCommands(HKEY_CLASSES_ROOT, kAppA, list));
    // Verbs come in the registry's order: "edit" before "open".
    EXPECT_EQ((std::vector<std::wstring>{Expanded(L"%SystemRoot%\\tfedit.exe"), kProgramA}), list);
    EXPECT_EQ(std::wstring::npos, list[0].find(L'%'));

    ASSERT_TRUE(CollectVerbCommands(HKEY_CLASSES_ROOT, kAppA, list));
    EXPECT_EQ(2u, list.size());  // nothing already listed is added again

    EXPECT_FALSE(CollectVerbCommands(HKEY_CLASSES_ROOT, nullptr, list));
    EXPECT_FALSE(CollectVerbCommands(HKEY_CLASSES_ROOT, L"", list));
    EXPECT_FALSE(CollectVerbCommands(HKEY_CLASSES_ROOT, L"Applications\\tfowtest_missing.exe", list));
    EXPECT_EQ(2u, list.size());
}

TEST_F(OpenWith, OpenWithListThenProgidsEachProgramOnce) {
    std::vector<std::wstring> list{kProgramB};  // a caller's list already holding one program
    ASSERT_TRUE(CollectOpenWithApps(list, L"tfowtestx"));
    const std::vector<std::wstring> expected = {kProgramB, Expanded(L"%SystemRoot%\\tfedit.exe"), kProgramA, kPrinter};
    EXPECT_EQ(expected, list);

    std::vector<std::wstring> fresh;
    ASSERT_TRUE(CollectOpenWithApps(fresh, L"tfowtestx"));
    EXPECT_EQ((std::vector<std::wstring>{Expanded(L"%SystemRoot%\\tfedit.exe"), kProgramA, kProgramB, kPrinter}),
              fresh);

    EXPECT_FALSE(CollectOpenWithApps(fresh, L"tfowtestnone"));
    EXPECT_FALSE(CollectOpenWithApps(fresh, nullptr));
    EXPECT_EQ(4u, fresh.size());
}

TEST_F(OpenWith, AllApplicationsAndPathLimits) {
    // A long command line whose program path is short still names its program; a program path
    // too long for the shell's buffers is skipped rather than cut.
    SetCommand(kAppLong, L"open", L"C:\\TfTest\\long.exe " + std::wstring(400, L'a'));
    SetCommand(kAppLong, L"print", L"\"C:\\" + std::wstring(300, L'p') + L"\\x.exe\" %1");

    std::vector<std::wstring> list;
    ASSERT_TRUE(CollectAllApps(list));
    for (const std::wstring& program :
         {std::wstring(kProgramA), std::wstring(kProgramB), std::wstring(L"C:\\TfTest\\long.exe")}) {
        EXPECT_EQ(1, std::count(list.begin(), list.end(), program));
    }
    for (const std::wstring& program : list) EXPECT_LT(program.size(), static_cast<size_t>(MAX_PATH));
    // Programmatic identifiers are not applications.
    EXPECT_EQ(0, std::count(list.begin(), list.end(), std::wstring(kPrinter)));
}
