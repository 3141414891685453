// Speed of the backup store, as ratios against baselines measured in the same run:
//  - backing up a large file (the comparison with the current version, then the safe copy) against
//    a plain CopyFileW of the same file plus one read of both files;
//  - opening the history of an entry with 1,000 versions (the real dialog, closed as soon as it is
//    up) against parsing the same info.xml once with the DOM and listing the directory; then, apart,
//    the same dialog for an entry of one version (its windows, fonts and classes, which cost the
//    same whatever the history holds), what 1,000 versions add to it, and the store's reading alone;
//  - the UI thread's longest gap while a file past 4 GiB (sparse) is copied behind the progress
//    window, as restoring or stepping to a version of it does.
// The first argument is the file size in MiB (default 1024).
#include <windows.h>
#include <commctrl.h>
#include <msxml.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "Bench/BenchSupport.h"
#include "Backup/Dialogs/BackupHistoryDlg.h"
#include "Backup/Store/BackupInfo.h"
#include "Backup/Store/BackupStore.h"
#include "Backup/Store/XmlDom.h"
#include "Config/GlobalText.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "Kv/KvCopyProgress.h"
#include "Kv/KvFiles.h"
#include "Kv/KvWindow.h"
#include "Support/TestSupport.h"

namespace {

constexpr DWORD kChunk = 8u * 1024u * 1024u;
constexpr int kVersions = 1000;
constexpr int kRounds = 3;
// Opening a history is short and noisy on a shared machine: more rounds, the best of them counts.
constexpr int kHistoryRounds = 7;

// Makes version 1 of the entry through the store; its directory, or empty.
std::wstring FirstVersion(CEntry& entry) {
    backup::BackupPlace place;
    backup::StoreFailure failure;
    if (!backup::OpenBackupFolder(entry, place) ||
        backup::StoreVersion(entry, place, entry.path, 1, backup::BackupMode::Normal, L"comment",
                             L"2024/01/05 09:07 1", failure) != backup::StoreResult::Stored)
        return std::wstring();
    return place.directory;
}

double Now() {
    LARGE_INTEGER freq, at;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&at);
    return static_cast<double>(at.QuadPart) / static_cast<double>(freq.QuadPart);
}

bool WriteBig(const std::wstring& path, unsigned mib, bool flipLast) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::vector<unsigned char> chunk(kChunk);
    const unsigned long long total = static_cast<unsigned long long>(mib) * 1024u * 1024u;
    bool ok = true;
    for (unsigned long long offset = 0; ok && offset < total; offset += kChunk) {
        for (DWORD i = 0; i < kChunk; ++i) chunk[i] = static_cast<unsigned char>(((offset + i) * 2654435761u) >> 24);
        if (flipLast && offset + kChunk >= total) chunk.back() ^= 0xFF;
        DWORD written = 0;
        ok = WriteFile(h, chunk.data(), kChunk, &written, nullptr) && written == kChunk;
    }
    CloseHandle(h);
    return ok;
}

void ReadAll(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    std::vector<unsigned char> buffer(1024 * 1024);
    DWORD read = 0;
    while (ReadFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0) {
    }
    CloseHandle(h);
}

// Every dialog is closed as soon as it is up, but the progress window of a copy runs to its end.
void CloseAtOnce(HWND dlg, void*) {
    wchar_t name[32] = {};
    GetClassNameW(dlg, name, 32);
    if (lstrcmpW(name, L"KvCopyProgress") != 0) PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
}

// The longest time between two ticks of a 10 ms timer of the UI thread: how long the thread went
// without answering its messages.
double g_lastTick = 0;
double g_longestGap = 0;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    const double now = Now();
    if (g_lastTick > 0) g_longestGap = std::max(g_longestGap, now - g_lastTick);
    g_lastTick = now;
}

// Copies a sparse file of 4 GiB + 2 bytes through the progress window; prints the time and the gap.
void LargeCopyGap(const tf_test::TempDir& dir) {
    constexpr long long kSize = 0x100000002LL;
    const std::wstring source = dir / L"large.bin";
    if (!tf_test::WriteSparseFile(source, kSize, 'x', 'y')) {
        std::printf("copy of a 4 GiB file: cannot make one here\n");
        return;
    }
    HWND owner = BenchParentWindow(L"BenchBackupOwner");
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
    const double start = Now();
    g_lastTick = start;
    const bool copied = KvCopyFileWithProgress(owner, L"copy", source, dir / L"large copy.bin");
    const double seconds = Now() - start;
    KillTimer(nullptr, timer);
    DestroyWindow(owner);
    std::printf("copy of a file of 4 GiB + 2 bytes behind the progress window: %s in %.1f s, UI thread's longest "
                "gap %.0f ms (goal < 100 ms)\n",
                copied && tf_test::FileSize(dir / L"large copy.bin") == kSize ? "copied" : "FAILED", seconds,
                g_longestGap * 1000);
    DeleteFileW(source.c_str());
    DeleteFileW((dir / L"large copy.bin").c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (!BenchStartUp()) return 1;
    KvSetModalHook(CloseAtOnce, nullptr);
    const unsigned mib = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 1024u;

    tf_test::TempDir dir;
    Project().backupDir = dir / L"store";
    CEntry& entry = RootFolder().Append();
    entry.name = L"big.bin";
    entry.path = dir / L"big.bin";
    tf_test::WriteText(entry.path, "x");
    const std::wstring store = FirstVersion(entry);
    if (store.empty() || !WriteBig(entry.path, mib, false) || !WriteBig(store + L"1", mib, true)) return 1;

    // The two take turns at going first: the second one writes while the system is still writing
    // back what the first one wrote.
    double copyBest = 1e9, backupBest = 1e9;
    const auto plainCopy = [&] {
        const double start = Now();
        CopyFileW(entry.path.c_str(), (dir / L"plain").c_str(), FALSE);
        ReadAll(entry.path);
        ReadAll(store + L"1");
        copyBest = std::min(copyBest, Now() - start);
        DeleteFileW((dir / L"plain").c_str());
    };
    const auto backupCopy = [&] {
        const double start = Now();
        KvCompareFiles(entry.path, store + L"1");
        backup::StoreFailure failure;
        backup::RestoreFile(entry.path, store + L"2", failure);
        backupBest = std::min(backupBest, Now() - start);
        DeleteFileW((store + L"2").c_str());
    };
    for (int round = 0; round < 2 * kRounds; ++round) {
        if (round % 2 == 0) {
            plainCopy();
            backupCopy();
        } else {
            backupCopy();
            plainCopy();
        }
    }
    std::printf("backup of %u MiB: %.3f s, CopyFileW + reading both: %.3f s, ratio %.2f (goal <= 1.3)\n", mib,
                backupBest, copyBest, backupBest / copyBest);

    CEntry& many = RootFolder().Append();
    many.name = L"many.txt";
    many.path = dir / L"many.txt";
    tf_test::WriteText(many.path, "x");
    const std::wstring history = FirstVersion(many);
    backup::Versions before = {1, 1};
    for (int v = 2; v <= kVersions; ++v) {
        tf_test::WriteText(backup::VersionPath(history, v), std::to_string(v));
        backup::UpdateXML(history, before, v, backup::BackupMode::Normal, L"comment " + std::to_wstring(v),
                          L"2024/01/05 09:07 1");
        before = {v, v};
    }
    // The same dialog for an entry of one version: what opening costs whatever the history holds.
    CEntry& one = RootFolder().Append();
    one.name = L"one.txt";
    one.path = dir / L"one.txt";
    tf_test::WriteText(one.path, "x");
    FirstVersion(one);

    double parseBest = 1e9, openBest = 1e9, readBest = 1e9, fixedBest = 1e9;
    for (int round = 0; round < kHistoryRounds; ++round) {
        double start = Now();
        {
            backup_xml::Document doc = backup_xml::CreateDocument();
            backup_xml::Load(doc.get(), backup::InfoPath(history));
            WIN32_FIND_DATAW found;
            HANDLE find = FindFirstFileW((history + L"*").c_str(), &found);
            while (find != INVALID_HANDLE_VALUE && FindNextFileW(find, &found)) {
            }
            if (find != INVALID_HANDLE_VALUE) FindClose(find);
        }
        parseBest = std::min(parseBest, Now() - start);

        // What the dialog reads from the store, without its windows.
        start = Now();
        {
            std::vector<backup::VersionNote> notes;
            for (int v = 1; v <= kVersions; ++v) notes.push_back({v});
            backup::Versions counters;
            backup::ReadHistory(history, counters, notes);
        }
        readBest = std::min(readBest, Now() - start);

        start = Now();
        CBackupHistoryDlg::Run(many, nullptr, L"history");
        openBest = std::min(openBest, Now() - start);

        start = Now();
        CBackupHistoryDlg::Run(one, nullptr, L"history");
        fixedBest = std::min(fixedBest, Now() - start);
    }
    std::printf("history of %d versions: %.3f s, one DOM parse + listing: %.3f s, ratio %.2f (goal <= 1.5)\n",
                kVersions, openBest, parseBest, openBest / parseBest);
    std::printf("  the same dialog for one version: %.3f s; 1,000 versions beyond it: %.3f s, ratio %.2f to the "
                "parse + listing\n",
                fixedBest, openBest - fixedBest, (openBest - fixedBest) / parseBest);
    std::printf("  reading info.xml for the rows alone: %.3f s (ratio %.2f)\n", readBest, readBest / parseBest);
    LargeCopyGap(dir);
    KvSetModalHook(nullptr, nullptr);
    ResetFolderModel();
    return 0;
}
