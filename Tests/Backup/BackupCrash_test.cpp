// The backup store killed at random moments. A helper program drives the store on a few entries
// (backups in both modes, restores, steps between versions, comment edits) and is ended with
// TerminateProcess at a random moment, which leaves the files as a power cut would leave what the
// program itself wrote. After every kill: each entry's file is one whole content, its info.xml
// loads, every version it records exists with the bytes whose hash was recorded at backup time,
// and the next backup goes through whatever the killed one left behind.
//
// How many kills, and the number that repeats a run's random order, come from
// TF_BACKUP_CRASH_KILLS (default 200) and TF_BACKUP_CRASH_SEED; a long run sets more kills.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
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
#include "Support/TestSupport.h"

namespace {

unsigned EnvironmentNumber(const char* name, unsigned fallback) {
    const char* text = std::getenv(name);
    return text && *text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : fallback;
}

// The invariants of one entry; the first broken one, or empty.
std::string Broken(const CEntry& entry, int index) {
    if (!crash_test::IsWholeContent(crash_test::ReadAll(entry.path), index)) return "the file is not whole";
    const std::wstring directory = entry.BackupPath();
    tf_test::ModalResponder boxes;
    backup::Versions versions;
    if (!backup::GetVersion(directory, versions)) return "info.xml does not load";
    std::vector<backup::VersionNote> notes;
    for (int v = 1; v <= versions.endVersion; ++v) notes.push_back({v});
    if (backup::ReadHistory(directory, versions, notes) != backup::IndexStatus::Read) return "info.xml unreadable";
    for (const backup::VersionNote& note : notes) {
        const std::string at = " (version " + std::to_string(note.version) + ")";
        if (note.comment.compare(0, 2, L"h=") != 0) return "a recorded version has no comment" + at;
        bool present = false;
        const std::string bytes = crash_test::ReadAll(backup::VersionPath(directory, note.version), &present);
        if (!present) return "a recorded version file is missing" + at;
        if (crash_test::HashComment(bytes) != note.comment.substr(0, 18)) return "a version's bytes changed" + at;
    }
    return std::string();
}

TEST(BackupCrashTest, TheStoreStaysWholeWhenItsProgramIsKilledAtAnyMoment) {
    static bool loaded = GlobalText::Load();
    ASSERT_TRUE(loaded);
    const unsigned kills = EnvironmentNumber("TF_BACKUP_CRASH_KILLS", 200);
    const unsigned seed = EnvironmentNumber("TF_BACKUP_CRASH_SEED", 20261208);
    std::mt19937 rng(seed);
    tf_test::TempDir dir;
    const std::wstring work = dir / L"";
    ResetFolderModel();
    ResetProject();
    Project().backupDir = work + L"store\\";
    std::vector<CEntry*> entries;
    for (int e = 0; e < crash_test::kEntries; ++e) {
        CEntry& entry = RootFolder().Append();
        entry.name = crash_test::EntryName(e);
        entry.path = work + entry.name;
        ASSERT_TRUE(crash_test::WriteWhole(entry.path, crash_test::Content(e, 0, 1000)));
        tf_test::ModalResponder quiet;
        ASSERT_EQ(tf_test::StoreBackup(entry, backup::BackupMode::Normal,
                                       crash_test::HashComment(crash_test::ReadAll(entry.path))),
                  1);
        ASSERT_EQ(entry.backupName, entry.name + L"\\");
        entries.push_back(&entry);
    }

    const std::wstring eventName = L"TfBackupCrashReady" + std::to_wstring(GetCurrentProcessId());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    ASSERT_NE(ready, nullptr);
    const std::wstring helper = tf_test::ExeDirectory() + L"backup_crash_helper.exe";
    unsigned violations = 0, done = 0, midway = 0;
    const auto violation = [&](const std::string& what) {
        if (++violations <= 10) ADD_FAILURE() << "after kill " << done << ": " << what;
    };
    for (; done < kills; ++done) {
        ResetEvent(ready);
        // The folder without its last backslash, which would escape the closing quote.
        std::wstring command = L"\"" + helper + L"\" \"" + work.substr(0, work.size() - 1) + L"\" " +
                               std::to_wstring(rng()) + L" " + eventName;
        STARTUPINFOW startup{sizeof(startup)};
        PROCESS_INFORMATION process{};
        // Starting a process now and then fails for a moment while other suites start theirs; a
        // helper that cannot be started at all still fails the test, with the system's reason.
        DWORD startError = 0;
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (CreateProcessW(helper.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                               nullptr, &startup, &process)) {
                startError = 0;
                break;
            }
            startError = GetLastError();
            Sleep(200);
        }
        ASSERT_EQ(startError, 0u) << "the helper cannot be started";
        HANDLE waits[] = {ready, process.hProcess};
        if (WaitForMultipleObjects(2, waits, FALSE, 30000) != WAIT_OBJECT_0) violation("the helper did not start");
        Sleep(rng() % 80);
        TerminateProcess(process.hProcess, 9);
        WaitForSingleObject(process.hProcess, 30000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);

        // A file the kill left half made shows the kill came in the middle of a write.
        bool leftover = false;
        for (int e = 0; e < crash_test::kEntries; ++e) {
            const std::wstring directory = entries[e]->BackupPath();
            for (const std::wstring& path : {directory + L"copy.new", directory + L"info.new",
                                             entries[e]->path + L".tfcopy", entries[e]->path + L".edit"})
                leftover = leftover || tf_test::FileExists(path);
        }
        if (leftover) ++midway;
        for (int e = 0; e < crash_test::kEntries; ++e) {
            const std::string broken = Broken(*entries[e], e);
            if (!broken.empty()) violation("entry " + std::to_string(e) + ": " + broken);
        }
        // The next backup goes through whatever the kill left behind.
        const int e = static_cast<int>(done % crash_test::kEntries);
        CEntry& entry = *entries[e];
        crash_test::WriteWhole(entry.path, crash_test::Content(e, 1000000 + done, 2000));
        tf_test::ModalResponder boxes;
        if (tf_test::StoreBackup(entry, backup::BackupMode::Normal,
                                 crash_test::HashComment(crash_test::ReadAll(entry.path))) < 0 ||
            !boxes.seen().empty())
            violation("the backup after the kill failed");
    }
    CloseHandle(ready);
    const std::string helperBoxes = crash_test::ReadAll(work + L"boxes.txt");
    if (!helperBoxes.empty()) violation("the helper was shown message boxes");
    std::printf("backup crash test: %u kills (%u in the middle of a write), %u violations (seed %u)\n", done, midway,
                violations, seed);
    EXPECT_EQ(violations, 0u);
    ResetFolderModel();
    ResetProject();
}

}  // namespace
