// Directory links for tests of walks and deletions.
#include "Support/DirectoryLinks.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>

namespace tf_test {

namespace {

struct MountPointBuffer {
    DWORD tag;
    WORD dataLength;
    WORD reserved;
    WORD substituteOffset;
    WORD substituteLength;
    WORD printOffset;
    WORD printLength;
    wchar_t path[MAX_PATH * 2];
};

std::string UnixPath(const std::wstring& path) {
    using Fn = char*(CDECL*)(LPCWSTR);
    auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!fn) return std::string();
    char* unix = fn(path.c_str());
    if (!unix) return std::string();
    std::string s = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return s;
}

// Runs a Unix program under Wine (arguments split by the Windows rules, so quote with ") and waits until `done` holds (a Unix child's handle may be
// signalled before it has finished).
template <typename Done>
bool RunUnix(const std::string& commandLine, Done done) {
    std::wstring cmd(commandLine.begin(), commandLine.end());
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (int i = 0; i < 100 && !done(); ++i) Sleep(50);
    return done();
}

}  // namespace

bool MakeJunction(const std::wstring& link, const std::wstring& target) {
    if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
    HANDLE h = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    bool ok = false;
    if (h != INVALID_HANDLE_VALUE) {
        const std::wstring substitute = L"\\??\\" + target;
        MountPointBuffer b{};
        b.tag = IO_REPARSE_TAG_MOUNT_POINT;
        b.substituteLength = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
        b.printOffset = static_cast<WORD>(b.substituteLength + sizeof(wchar_t));
        std::memcpy(b.path, substitute.c_str(), b.substituteLength);
        b.dataLength = static_cast<WORD>(8 + b.printOffset + sizeof(wchar_t));
        DWORD returned = 0;
        ok = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, &b, 8u + b.dataLength, nullptr, 0, &returned, nullptr) != 0;
        CloseHandle(h);
    }
    if (!ok) RemoveDirectoryW(link.c_str());
    return ok;
}

LinkKind MakeDirectoryLink(const std::wstring& link, const std::wstring& target) {
    if (MakeJunction(link, target)) return LinkKind::Junction;
    const std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
    if (unixLink.empty() || unixTarget.empty()) return LinkKind::None;
    const bool made = RunUnix("/bin/ln -s \"" + unixTarget + "\" \"" + unixLink + "\"", [&] {
        const DWORD a = GetFileAttributesW(link.c_str());
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
    });
    return made ? LinkKind::UnixSymlink : LinkKind::None;
}

namespace {

std::string DosDevice(char letter) {
    char prefix[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    return std::string(prefix) + "/dosdevices/" + letter + ":";
}

std::wstring DriveRoot(char letter) {
    return std::wstring(1, static_cast<wchar_t>(letter)) + L":\\";
}

}  // namespace

bool MapWineDrive(char letter, const std::wstring& target) {
    const std::string device = DosDevice(letter), unixTarget = UnixPath(target);
    if (device.empty() || unixTarget.empty()) return false;
    return RunUnix("/bin/ln -sfn \"" + unixTarget + "\" \"" + device + "\"",
                   [&] { return GetFileAttributesW(DriveRoot(letter).c_str()) != INVALID_FILE_ATTRIBUTES; });
}

bool UnmapWineDrive(char letter) {
    const std::string device = DosDevice(letter);
    if (device.empty()) return false;
    return RunUnix("/bin/rm -f \"" + device + "\"",
                   [&] { return GetFileAttributesW(DriveRoot(letter).c_str()) == INVALID_FILE_ATTRIBUTES; });
}

void RemoveUnixLink(const std::wstring& link) {
    const std::string unixLink = UnixPath(link);
    if (unixLink.empty()) return;
    RunUnix("/bin/rm -f \"" + unixLink + "\"",
            [&] { return GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

}  // namespace tf_test
