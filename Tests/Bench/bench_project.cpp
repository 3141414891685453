// Project file benchmark: loading and saving a project of 100,000 file entries in 5,000 folders,
// printed as ratios against reading and writing the same number of bytes with plain file calls in
// the same run (goal: at most 3x each). Saving is compared with a write that is also flushed to
// disk, since a save flushes before it replaces the old file. Best of several rounds.
// Usage: bench_project.exe [rounds]
#include <windows.h>

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
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring project = std::wstring(temp) + L"bench_project.tfolder";
    const std::wstring plain = std::wstring(temp) + L"bench_project.bin";

    BuildProject();
    std::printf("entries: %zu in %d folders\n", CountEntries(), kTopFolders * (1 + kChildrenPerTop));

    double save = 1e9, write = 1e9, load = 1e9, read = 1e9, teardown = 1e9;
    std::vector<unsigned char> bytes;
    for (int r = 0; r < rounds; ++r) {
        double t0 = Now();
        if (!SaveProject(project)) return std::printf("save failed\n"), 1;
        save = std::min(save, Now() - t0);

        if (!PlainRead(project, bytes)) return std::printf("read failed\n"), 1;
        t0 = Now();
        if (!PlainWrite(plain, bytes)) return std::printf("write failed\n"), 1;
        write = std::min(write, Now() - t0);

        t0 = Now();
        std::vector<unsigned char> again;
        if (!PlainRead(project, again)) return std::printf("read failed\n"), 1;
        read = std::min(read, Now() - t0);

        t0 = Now();
        RootFolder().Clear();
        teardown = std::min(teardown, Now() - t0);
        t0 = Now();
        if (!LoadProject(project)) return std::printf("load failed\n"), 1;
        load = std::min(load, Now() - t0);
    }
    std::printf("file: %.1f MB, entries after load: %zu\n", bytes.size() / 1e6, CountEntries());
    std::printf("save  %8.2f ms   flushed write of the same bytes %8.2f ms   ratio %.2fx (goal <= 3x)\n", save * 1e3,
                write * 1e3, save / write);
    std::printf("load  %8.2f ms   read of the same bytes          %8.2f ms   ratio %.2fx (goal <= 3x)\n", load * 1e3,
                read * 1e3, load / read);
    std::printf("(tearing down the loaded tree before a load: %.2f ms, not counted)\n", teardown * 1e3);
    DeleteFileW(project.c_str());
    DeleteFileW(plain.c_str());
    return 0;
}
