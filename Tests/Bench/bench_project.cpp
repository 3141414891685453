// Project file benchmark: loading and saving a project of 100,000 file entries in 5,000 folders,
// printed as ratios against reading and writing the same number of bytes with plain file calls in
// the same run (goals: saving at most 3x, loading at most 2x). Saving is compared with a write that
// is also flushed to disk, since a save flushes before it replaces the old file. Every round times
// each of them once, so a figure and its baseline are measured moments apart; the best of the
// rounds and the median of the rounds' own ratios are printed, since other work on the machine
// makes single rounds slow. Then the memory the loaded project takes: a fresh copy of this program loads the saved
// file, and its private bytes beyond those it had with an empty project are compared with the
// file's size (goal: at most 2x).
// Usage: bench_project.exe [rounds]      (bench_project.exe --memory <file> is the fresh copy)
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Document/Folder.h"
#include "Document/Project.h"
#include "Document/ProjectFile.h"

namespace {

constexpr int kTopFolders = 50;
constexpr int kChildrenPerTop = 99;    // 50 + 50 * 99 = 5,000 folders
constexpr int kEntriesPerFolder = 20;  // 100,000 file entries

double Now() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

void FillFolder(CFolder& folder, const std::wstring& name, int& serial) {
    for (int i = 0; i < kEntriesPerFolder; ++i, ++serial) {
        CEntry& e = folder.Append();
        e.name = L"file_" + std::to_wstring(serial) + L".txt";
        e.path = L"C:\\Users\\someone\\Documents\\Projects\\" + name + L"\\" + e.name;
        if (serial % 7 == 0) e.appPath = L"C:\\Program Files\\Editor\\editor.exe";
        if (serial % 11 == 0) e.alias = L"note " + std::to_wstring(serial);
        e.colour = static_cast<uint8_t>(serial % 5);
    }
}

void BuildProject() {
    ResetFolderModel();
    ResetProject();
    int serial = 0;
    CFolder& root = RootFolder();
    for (int t = 0; t < kTopFolders; ++t) {
        CEntry& top = root.Append();
        top.name = L"top" + std::to_wstring(t);
        top.subfolder.reset(new CFolder(NewFolderId(), kFolderKindPlain));
        top.subfolder->parent = &root;
        top.subfolder->ownerEntry = &top;
        CFolder& topFolder = *top.subfolder;
        FillFolder(topFolder, top.name, serial);
        for (int c = 0; c < kChildrenPerTop; ++c) {
            CEntry& child = topFolder.Append();
            child.name = L"child" + std::to_wstring(c);
            child.subfolder.reset(new CFolder(FolderIdCounter() + 1, kFolderKindPlain));
            SetFolderIdCounter(FolderIdCounter() + 1);
            child.subfolder->parent = &topFolder;
            child.subfolder->ownerEntry = &child;
            FillFolder(*child.subfolder, top.name + L"\\" + child.name, serial);
        }
    }
}

bool PlainWrite(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(h);
    CloseHandle(h);
    return ok;
}

bool PlainRead(const std::wstring& path, std::vector<unsigned char>& out) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    GetFileSizeEx(h, &size);
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    bool ok = ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &read, nullptr) && read == out.size();
    CloseHandle(h);
    return ok;
}

// The process's private bytes (commit charge). Windows reports them both as PrivateUsage and as
// PagefileUsage; Wine fills only the latter.
size_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(counters)))
        return 0;
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

// The fresh copy: loads `file` and prints the private bytes it took as "grown <bytes>".
int MeasureLoad(const std::wstring& file) {
    ResetFolderModel();
    ResetProject();
    const size_t before = PrivateBytes();
    if (!LoadProject(file)) return std::printf("load failed\n"), 1;
    const size_t after = PrivateBytes();
    std::printf("grown %zu\n", after > before ? after - before : 0);
    return 0;
}

// Runs this program with --memory on `file` and reads the bytes it reports; 0 on failure.
size_t LoadedProjectBytes(const std::wstring& file) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return 0;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --memory \"" + file + L"\"";
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                        &process) != 0;
    CloseHandle(writeEnd);
    std::string output;
    char buffer[256];
    DWORD got = 0;
    while (started && ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got != 0) output.append(buffer, got);
    CloseHandle(readEnd);
    if (!started) return 0;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const size_t at = output.find("grown ");
    return at == std::string::npos ? 0 : std::strtoull(output.c_str() + at + 6, nullptr, 10);
}

// The seconds one step took in each round.
class Timings {
public:
    void Add(double seconds) { rounds_.push_back(seconds); }
    double Best() const { return *std::min_element(rounds_.begin(), rounds_.end()); }
    double Median() const { return MedianOf(rounds_); }
    // The median over the rounds of this step's time divided by `baseline`'s in the same round.
    double MedianRatio(const Timings& baseline) const {
        std::vector<double> ratios;
        for (size_t i = 0; i < rounds_.size(); ++i) ratios.push_back(rounds_[i] / baseline.rounds_[i]);
        return MedianOf(ratios);
    }

private:
    static double MedianOf(std::vector<double> values) {
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }

    std::vector<double> rounds_;
};

void PrintRatio(const char* name, const Timings& step, const char* baselineName, const Timings& baseline, int goal) {
    std::printf("%-5s best %7.2f ms, median %7.2f ms   %s best %7.2f ms, median %7.2f ms\n"
                "      ratio %.2fx of the bests, %.2fx median of the rounds (goal <= %dx)\n",
                name, step.Best() * 1e3, step.Median() * 1e3, baselineName, baseline.Best() * 1e3,
                baseline.Median() * 1e3, step.Best() / baseline.Best(), step.MedianRatio(baseline), goal);
}

size_t CountEntries() {
    size_t n = 0;
    std::vector<const CFolder*> stack{&RootFolder()};
    while (!stack.empty()) {
        const CFolder* f = stack.back();
        stack.pop_back();
        for (const CEntry& e : f->entries) {
            if (e.subfolder)
                stack.push_back(e.subfolder.get());
            else
                ++n;
        }
    }
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--memory") {
        int count = 0;
        wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
        return wide && count > 2 ? MeasureLoad(wide[2]) : 1;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring project = std::wstring(temp) + L"bench_project.tfolder";
    const std::wstring plain = std::wstring(temp) + L"bench_project.bin";

    BuildProject();
    std::printf("entries: %zu in %d folders\n", CountEntries(), kTopFolders * (1 + kChildrenPerTop));

    Timings save, write, load, read, teardown;
    std::vector<unsigned char> bytes;
    for (int r = 0; r < rounds; ++r) {
        double t0 = Now();
        if (!SaveProject(project)) return std::printf("save failed\n"), 1;
        save.Add(Now() - t0);

        if (!PlainRead(project, bytes)) return std::printf("read failed\n"), 1;
        t0 = Now();
        if (!PlainWrite(plain, bytes)) return std::printf("write failed\n"), 1;
        write.Add(Now() - t0);

        t0 = Now();
        std::vector<unsigned char> again;
        if (!PlainRead(project, again)) return std::printf("read failed\n"), 1;
        read.Add(Now() - t0);

        t0 = Now();
        RootFolder().Clear();
        teardown.Add(Now() - t0);
        t0 = Now();
        if (!LoadProject(project)) return std::printf("load failed\n"), 1;
        load.Add(Now() - t0);
    }
    std::printf("file: %.1f MB, entries after load: %zu, %d rounds\n", bytes.size() / 1e6, CountEntries(), rounds);
    PrintRatio("save", save, "flushed write of the same bytes", write, 3);
    PrintRatio("load", load, "read of the same bytes", read, 2);
    std::printf("(tearing down the loaded tree before a load: best %.2f ms, median %.2f ms, not counted)\n",
                teardown.Best() * 1e3, teardown.Median() * 1e3);
    const size_t loaded = LoadedProjectBytes(project);
    if (loaded == 0) return std::printf("memory measurement failed\n"), 1;
    std::printf("memory of the loaded project %.1f MB (%.0f B per entry), file %.1f MB   ratio %.2fx (goal <= 2x); "
                "private bytes from PrivateUsage, or PagefileUsage where the system leaves PrivateUsage 0 (Wine)\n",
                loaded / 1e6, static_cast<double>(loaded) / CountEntries(), bytes.size() / 1e6,
                static_cast<double>(loaded) / bytes.size());
    DeleteFileW(project.c_str());
    DeleteFileW(plain.c_str());
    return 0;
}
