// Every window at 100, 150 and 200 %: the test sets the screen's scale of this Wine prefix
// (LogPixels, read when a process starts), starts this executable again as a child that opens each
// window of the table (DpiWindows.h) and checks it (LayoutCheck.h), and puts the scale back.
// With TF_PICTURES naming a folder, the child at 150 % also leaves the README's pictures there.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "Dpi/DpiWindows.h"
#include "Dpi/LayoutCheck.h"
#include "Kv/KvDpi.h"
#include "Support/TestSupport.h"

namespace {

const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
const wchar_t kExpectedVariable[] = L"TF_DPI_CHILD";
const wchar_t kReportVariable[] = L"TF_DPI_REPORT";
constexpr DWORD kChildTimeout = 180000;

std::wstring Variable(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : L"";
}

// Sets LogPixels for the processes started while it lives; the value before (or its absence) comes
// back on destruction.
class LogPixelsScope {
public:
    explicit LogPixelsScope(DWORD dpi) {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                            &key_, nullptr) != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        DWORD size = sizeof(old_), type = 0;
        hadValue_ = RegQueryValueExW(key_, L"LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&old_), &size) ==
                        ERROR_SUCCESS &&
                    type == REG_DWORD;
        set_ = RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi)) ==
               ERROR_SUCCESS;
    }
    ~LogPixelsScope() {
        if (!key_) return;
        if (hadValue_)
            RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof(old_));
        else
            RegDeleteValueW(key_, L"LogPixels");
        RegCloseKey(key_);
    }
    LogPixelsScope(const LogPixelsScope&) = delete;
    LogPixelsScope& operator=(const LogPixelsScope&) = delete;
    bool Set() const { return set_; }

private:
    HKEY key_ = nullptr;
    DWORD old_ = 0;
    bool hadValue_ = false;
    bool set_ = false;
};

// Runs this executable's child test at the scale set; the child's exit code, or -1 when it could not
// start or did not end in time (it is then ended).
int RunChild(UINT dpi, const std::wstring& report) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=DpiChild.*";
    SetEnvironmentVariableW(kExpectedVariable, std::to_wstring(dpi).c_str());
    SetEnvironmentVariableW(kReportVariable, report.c_str());
    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    const bool started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(kExpectedVariable, nullptr);
    SetEnvironmentVariableW(kReportVariable, nullptr);
    if (!started) return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, kChildTimeout) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    else
        GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

std::vector<std::wstring> ReadLines(const std::wstring& path) {
    const std::vector<unsigned char> bytes = tf_test::ReadBytes(path);
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

}  // namespace

TEST(Dpi, EveryWindowFitsItsTextWithoutOverlapAtEveryScale) {
    if (!Variable(kExpectedVariable).empty()) GTEST_SKIP() << "the child's run";
    for (UINT dpi : {96u, 144u, 192u}) {
        tf_test::TempDir dir;
        const std::wstring report = dir / L"report.txt";
        LogPixelsScope scale(dpi);
        ASSERT_TRUE(scale.Set());
        const int code = RunChild(dpi, report);
        const std::vector<std::wstring> lines = ReadLines(report);
        EXPECT_EQ(code, 0) << "child at " << dpi << " DPI";
        ASSERT_FALSE(lines.empty()) << "the child at " << dpi << " DPI wrote no report";
        EXPECT_EQ(lines.back(), L"done") << "at " << dpi << " DPI";
        for (size_t i = 0; i + 1 < lines.size(); ++i) ADD_FAILURE() << dpi << " DPI: " << lines[i];
    }
}

// The child: runs only when started by the test above.
TEST(DpiChild, OpensEveryWindow) {
    const std::wstring expected = Variable(kExpectedVariable);
    if (expected.empty()) GTEST_SKIP() << "started by Dpi.EveryWindowFitsItsTextWithoutOverlapAtEveryScale";
    const UINT dpi = static_cast<UINT>(std::stoul(expected));
    const std::wstring pictures = Variable(L"TF_PICTURES");
    std::wstring report;
    if (KvSystemDpi() != dpi) report += L"the process runs at " + std::to_wstring(KvSystemDpi()) + L" DPI\n";
    for (const tf_test::DpiWindowRow& row : tf_test::DpiWindowRows()) {
        bool opened = false;
        row.open([&](HWND window) {
            opened = true;
            if (KvDpiOfWindow(window) != dpi)
                report += std::wstring(row.name) + L": shown at " + std::to_wstring(KvDpiOfWindow(window)) + L" DPI\n";
            for (const std::wstring& problem : tf_test::LayoutProblems(window))
                report += std::wstring(row.name) + L": " + problem + L"\n";
            if (dpi == 144 && row.picture && !pictures.empty() &&
                !tf_test::SaveWindowPicture(window, pictures + L"\\" + row.picture))
                report += std::wstring(row.name) + L": no picture written\n";
        });
        if (!opened) report += std::wstring(row.name) + L": not opened\n";
    }
    report += L"done\n";
    const auto* bytes = reinterpret_cast<const unsigned char*>(report.data());
    ASSERT_TRUE(tf_test::WriteBytes(Variable(kReportVariable),
                                    std::vector<unsigned char>(bytes, bytes + report.size() * sizeof(wchar_t))));
}
