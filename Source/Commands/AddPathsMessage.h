// How a second start of the program with /add (Explorer's Send To, a command prompt) hands its paths
// to a running instance: WM_COPYDATA to that instance's main window.
//
//   COPYDATASTRUCT.dwData  kCopyDataAddPaths
//   COPYDATASTRUCT.lpData  the full paths as UTF-16, each ended by a NUL; cbData counts all bytes
//
// The main window answers kAddPathsAccepted when it has taken the paths (it adds them to the folder
// it shows once the message has returned, so the sender never waits on a dialog). A running
// instance is known by the window property kInstanceActiveProperty of its main window: set once its
// project is loaded, to the tick count (never 0) of its last activation, so the sender can pick the
// instance the user used last.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

constexpr ULONG_PTR kCopyDataAddPaths = 0x54464164;  // "TFAd"
constexpr LRESULT kAddPathsAccepted = 0x54464f4b;    // "TFOK"
constexpr wchar_t kInstanceActiveProperty[] = L"TessaraFolder.ActiveTick";

inline std::wstring PackAddPaths(const std::vector<std::wstring>& paths) {
    std::wstring block;
    for (const std::wstring& path : paths) {
        block += path;
        block += L'\0';
    }
    return block;
}

// The paths of a received block; an unterminated last path (a damaged block) is dropped.
inline std::vector<std::wstring> UnpackAddPaths(const void* data, size_t bytes) {
    std::vector<std::wstring> paths;
    const wchar_t* text = static_cast<const wchar_t*>(data);
    const size_t count = data ? bytes / sizeof(wchar_t) : 0;
    size_t begin = 0;
    for (size_t i = 0; i < count; ++i) {
        if (text[i] != L'\0') continue;
        if (i > begin) paths.emplace_back(text + begin, i - begin);
        begin = i + 1;
    }
    return paths;
}
