// Shared helpers of the test suites: a fresh temporary folder per test, small file helpers, and a
// responder that sees every modal window of the toolkit as it opens and answers it, so that no
// test ever waits for a person.
#pragma once

#include <windows.h>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Kv/KvHandles.h"
#include "Kv/KvSlowPaths.h"

namespace tf_test {

// A new empty directory under the system temp folder, deleted with its contents on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return path_; }  // with a trailing backslash
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

// While alive, every call of the program on a path under `root` waits, as on a share that does not
// answer. A window that waits with it is released after `limitMs`, so that the test fails instead of
// hanging.
class HungRoot {
public:
    explicit HungRoot(const std::wstring& root, DWORD limitMs = 10000)
        : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), guard_([this, limitMs] {
              WaitForSingleObject(done_.get(), limitMs);
              KvReleaseCalls();
          }) {
        KvSlowDownCalls(root, kKvBlockCalls);
    }
    ~HungRoot() { Release(); }
    HungRoot(const HungRoot&) = delete;
    HungRoot& operator=(const HungRoot&) = delete;

    void Release() {
        if (!guard_.joinable()) return;
        SetEvent(done_.get());
        guard_.join();
    }

private:
    kv::UniqueKernel done_;
    std::thread guard_;
};

bool WriteBytes(const std::wstring& path, const std::vector<unsigned char>& bytes);
bool WriteText(const std::wstring& path, const std::string& utf8);
std::vector<unsigned char> ReadBytes(const std::wstring& path);
// A file of `size` bytes (at least 2) whose first byte is `first`, last byte `last` and the rest
// zeros never written, so that files of several gigabytes cost no disk space where the file system
// keeps holes.
bool WriteSparseFile(const std::wstring& path, long long size, unsigned char first, unsigned char last);
// The byte at `offset`, or -1 when it cannot be read.
int ReadByteAt(const std::wstring& path, long long offset);
// The file's size, or -1.
long long FileSize(const std::wstring& path);
bool FileExists(const std::wstring& path);
std::wstring ExeDirectory();  // directory of the running test executable, with a trailing backslash

// What a modal window looked like when it opened.
struct ModalSeen {
    std::wstring title;
    std::wstring text;  // text of the box's text control (identifier 100), empty when it has none
    std::wstring className;
};

// An answer that marks the window as one the test did not expect: the test fails at once, naming
// the window's title and text, and the window is cancelled.
constexpr int kUnexpectedModal = -1;

// While alive, answers every modal window as it opens. The answer function gets the window and
// what was seen and returns the command identifier to post (0 posts nothing: the test or the
// window itself will end it; kUnexpectedModal fails the test). By default every window is
// answered with `defaultAnswer`.
class ModalResponder {
public:
    using Answer = std::function<int(HWND dlg, const ModalSeen& seen)>;
    explicit ModalResponder(int defaultAnswer = IDOK);
    explicit ModalResponder(Answer answer);
    ~ModalResponder();
    ModalResponder(const ModalResponder&) = delete;
    ModalResponder& operator=(const ModalResponder&) = delete;

    const std::vector<ModalSeen>& seen() const { return seen_; }

    static void Hook(HWND dlg, void* context);

private:
    Answer answer_;
    std::vector<ModalSeen> seen_;
};

// Installs the toolkit's modal hook for the whole test run (done by the test main). Without a live
// ModalResponder a modal window is unexpected: the test fails naming it and the window is cancelled.
// A watchdog also fails the running test, naming the window, when a modal window of the toolkit or
// a system box or common dialog of this thread stays open longer than kModalLimitMs, and then ends
// it, so that a test meeting a window it did not foresee never waits for the suite's time-out.
void InstallModalHook();
constexpr DWORD kModalLimitMs = 15000;

// While alive, the watchdog allows modal windows `ms` instead of kModalLimitMs: for a test whose
// windows do work known to take longer (copies of several gigabytes).
class ModalLimit {
public:
    explicit ModalLimit(DWORD ms);
    ~ModalLimit();
    ModalLimit(const ModalLimit&) = delete;
    ModalLimit& operator=(const ModalLimit&) = delete;

private:
    DWORD outer_;
};

// Runs the message queue of this thread until it is empty (and once more after `ms` milliseconds
// when ms > 0), so that posted messages and paints are processed.
void PumpMessages(DWORD ms = 0);

// The process's committed private bytes, and the most of them above those at the start that `work`
// takes meanwhile (sampled every millisecond on a thread of its own).
size_t PrivateBytes();
size_t PeakExtraBytes(const std::function<void()>& work);
// Has the platform's image decoder (WIC) read the first row of the picture at `path`: what the
// decoder itself holds for a picture, with nothing of the program's.
void PlatformDecodeOneRow(const std::wstring& path);

std::wstring WindowText(HWND hwnd);
// The window of dialog id `id` anywhere below `root` (controls may lie on a tab page), or null.
HWND FindControl(HWND root, int id);

}  // namespace tf_test
