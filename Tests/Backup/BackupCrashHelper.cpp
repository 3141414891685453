// Driven by the backup crash test, which kills it at random moments: backs up, restores, steps
// between versions and edits comments of a few entries through the store, for ever, in a random
// order that the number it is given repeats. Arguments: the working folder, that number and the
// name of an event it sets once it is ready. A message box the store shows is noted in
// "boxes.txt" of the working folder and closed at once.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdlib>
#include <random>
#include <string>

#include "Backup/BackupTestSupport.h"
#include "Backup/CrashContent.h"
#include "Backup/Store/BackupInfo.h"
#include "Backup/Store/BackupStore.h"
#include "Config/GlobalText.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "Kv/KvWindow.h"

namespace {

std::wstring g_work;

void NoteAndClose(HWND dlg, void*) {
    HANDLE file = CreateFileW((g_work + L"boxes.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        wchar_t text[512] = {};
        GetWindowTextW(dlg, text, 512);
        const std::wstring line = std::wstring(text) + L"\n";
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
        CloseHandle(file);
    }
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
}

// A version recorded for the entry, or 0 when it has none.
int AnyVersion(const std::wstring& directory, std::mt19937& rng) {
    backup::Versions versions;
    if (!backup::GetVersion(directory, versions) || versions.endVersion == 0) return 0;
    return 1 + static_cast<int>(rng() % static_cast<unsigned>(versions.endVersion));
}

void Step(CEntry& entry, int index, std::mt19937& rng) {
    const std::wstring directory = entry.BackupPath();
    const unsigned op = rng() % 8;
    if (op == 0 || op == 1) {
        crash_test::WriteWhole(entry.path, crash_test::Content(index, rng(), rng() % (3u << 20)));
    } else if (op == 2 || op == 3 || op == 4) {
        const backup::BackupMode mode = op == 4 ? backup::BackupMode::Append : backup::BackupMode::Normal;
        tf_test::StoreBackup(entry, mode, crash_test::HashComment(crash_test::ReadAll(entry.path)));
    } else if (op == 5) {
        if (const int v = AnyVersion(directory, rng)) {
            backup::StoreFailure failure;
            backup::RestoreFile(backup::VersionPath(directory, v), entry.path, failure);
        }
    } else if (op == 6) {
        if (const int v = AnyVersion(directory, rng)) {
            backup::StoreFailure failure;
            if (backup::UpdateVersion(directory, v) && rng() % 2)
                backup::RestoreFile(backup::VersionPath(directory, v), entry.path, failure);
        }
    } else if (const int v = AnyVersion(directory, rng)) {
        std::vector<backup::VersionNote> notes = {{v}};
        backup::SetVerComment(directory, v, notes);
        backup::EditComment(directory, v, notes[0].comment.substr(0, 18) + L" edited\n" + std::to_wstring(rng()));
    }
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 4) return 2;
    g_work = std::wstring(argv[1]) + L"\\";
    std::mt19937 rng(static_cast<unsigned>(std::wcstoul(argv[2], nullptr, 10)));
    OleInitialize(nullptr);
    KvInitSystemInfo();
    GlobalText::Load();
    KvSetModalHook(NoteAndClose, nullptr);
    Project().backupDir = g_work + L"store\\";
    CEntry* entries[crash_test::kEntries];
    for (int e = 0; e < crash_test::kEntries; ++e) {
        CEntry& entry = RootFolder().Append();
        entry.name = crash_test::EntryName(e);
        entry.path = g_work + entry.name;
        entry.backupName = entry.name + L"\\";
        entries[e] = &entry;
    }
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    if (!ready) return 3;
    SetEvent(ready);
    CloseHandle(ready);
    for (;;) {
        const int e = static_cast<int>(rng() % crash_test::kEntries);
        Step(*entries[e], e, rng);
    }
}
