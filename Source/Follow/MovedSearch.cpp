// The search for moved files (MovedSearch.h).
#include "Follow/MovedSearch.h"

#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

#include "Kv/KvFiles.h"
#include "Kv/KvHandles.h"
#include "Kv/KvSlowPaths.h"

namespace {

std::wstring ParentOf(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos || separator == 0) return {};
    std::wstring parent = path.substr(0, separator);
    if (parent.back() == L':') return {};  // a drive's root has no parent worth searching from
    return parent;
}

bool IsDots(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// The ordered, duplicate-free list of directories still to be listed, bounded by the listing cap.
class Plan {
public:
    void Add(const std::wstring& directory) {
        if (directory.empty() || order_.size() >= kMaxSearchDirectories) return;
        if (seen_.insert(KvUpperPath(directory)).second) order_.push_back(directory);
    }
    std::vector<std::wstring>& Order() { return order_; }

private:
    std::vector<std::wstring> order_;
    std::unordered_set<std::wstring> seen_;
};

// Calls `each` for every item of `directory` but the dots; stops early when it returns false.
template <typename Each>
void List(const std::wstring& directory, Each each) {
    WIN32_FIND_DATAW data{};
    KvPathCallGate(directory);
    kv::UniqueFind find(FindFirstFileExW((directory + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                         nullptr, 0));
    if (!find) return;
    do {
        if (!IsDots(data.cFileName) && !each(data)) return;
    } while (FindNextFileW(find.get(), &data));
}

}  // namespace

MovedSearch::~MovedSearch() {
    Stop();
}

bool MovedSearch::Start(std::vector<LostFile> lost, std::vector<std::wstring> places, HWND target, UINT message) {
    Stop();
    if (lost.empty()) return false;
    const uint32_t tag = ++runTag_;
    auto run = std::make_shared<Run>();
    try {
        std::thread([run, tag, target, message, lost = std::move(lost), places = std::move(places)] {
            auto found = std::make_unique<std::vector<FoundFile>>(Search(lost, places, run->stop));
            {
                std::lock_guard<std::mutex> hold(run->posting);
                if (!run->stop &&
                    PostMessageW(target, message, static_cast<WPARAM>(tag), reinterpret_cast<LPARAM>(found.get())))
                    found.release();
            }
            run->done = true;
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    run_ = std::move(run);
    return true;
}

void MovedSearch::Stop() {
    if (!run_) return;
    {
        std::lock_guard<std::mutex> hold(run_->posting);
        run_->stop = true;
    }
    run_.reset();
}

std::unique_ptr<std::vector<FoundFile>> MovedSearch::TakeResult(WPARAM wp, LPARAM lp) const {
    std::unique_ptr<std::vector<FoundFile>> result(reinterpret_cast<std::vector<FoundFile>*>(lp));
    if (static_cast<uint32_t>(wp) != runTag_) result.reset();
    return result;
}

std::vector<FoundFile> MovedSearch::Search(const std::vector<LostFile>& lost, const std::vector<std::wstring>& places,
                                           const std::atomic<bool>& stop) {
    std::vector<FoundFile> found;
    std::vector<bool> settled(lost.size(), false);
    size_t listed = 0, reads = 0, left = lost.size();

    // The neighbours need a listing of each parent to be known; those listings count too.
    Plan plan;
    for (const LostFile& file : lost) {
        const std::wstring old = ParentOf(file.path);
        plan.Add(old);
        const std::wstring parent = ParentOf(old);
        plan.Add(parent);
        for (const std::wstring& base : {parent, old}) {
            if (base.empty() || stop || listed >= kMaxSearchDirectories) continue;
            ++listed;
            List(base, [&](const WIN32_FIND_DATAW& data) {
                if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    plan.Add(base + L"\\" + data.cFileName);
                return true;
            });
        }
    }
    for (const std::wstring& place : places) plan.Add(place);

    for (const std::wstring& directory : plan.Order()) {
        if (stop || left == 0 || listed >= kMaxSearchDirectories || reads >= kMaxIdentityReads) break;
        ++listed;
        List(directory, [&](const WIN32_FIND_DATAW& data) {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return true;
            const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            const uint64_t written = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                     data.ftLastWriteTime.dwLowDateTime;
            const std::wstring candidate = directory + L"\\" + data.cFileName;
            FileIdentity identity;
            bool read = false;
            for (size_t i = 0; i < lost.size(); ++i) {
                if (settled[i]) continue;
                const FileIdentity& wanted = lost[i].identity;
                if (size != wanted.size || written != wanted.written) continue;
                if (CompareStringOrdinal(candidate.c_str(), -1, lost[i].path.c_str(), -1, TRUE) == CSTR_EQUAL) continue;
                if (!read) {
                    if (stop || reads >= kMaxIdentityReads) return false;
                    ++reads;
                    read = true;
                    KvPathCallGate(candidate);
                    if (!ReadFileIdentity(candidate, identity)) return true;
                }
                if (!identity.SameFile(wanted)) continue;
                found.push_back(FoundFile{lost[i].path, candidate});
                settled[i] = true;
                --left;
                break;
            }
            return !stop && left > 0;
        });
    }
    return found;
}
