// The filer's context menu: what the menu of the moment keeps, the owner-drawn application items
// and the one place where a built menu is tracked.
//
// Command ids of the menu: 10-30 the filer's own commands (29 is the music folder's Stop), 100 + k
// an application of the system's open-with lists for the entry of the menu, 1000 + k an application
// of the project for every selected entry, kShellFirst and up the shell's own items.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

#include "Kv/KvHandles.h"
#include "Shell/AppMenuItems.h"

class CEntry;
class CKvFiler;

constexpr UINT kFilerCmdOpen = 10;
constexpr UINT kFilerCmdRemove = 11;
constexpr UINT kFilerCmdChooseApp = 12;
constexpr UINT kFilerCmdForgetApp = 13;
constexpr UINT kFilerCmdOpenDirectory = 14;
constexpr UINT kFilerCmdRelative = 15;
constexpr UINT kFilerCmdAbsolute = 16;
constexpr UINT kFilerCmdAliasOn = 17;
constexpr UINT kFilerCmdAliasOff = 18;
constexpr UINT kFilerCmdColourFirst = 19;  // 19-25: colour 0-6
constexpr UINT kFilerCmdColourLast = 25;
constexpr UINT kFilerCmdBackup = 26;
constexpr UINT kFilerCmdBackupAll = 27;
constexpr UINT kFilerCmdBackupHistory = 28;
constexpr UINT kFilerCmdFindMoved = 30;
constexpr UINT kFilerCmdEntryApp = 100;       // + k, k < kMaxEntryApps
constexpr UINT kFilerCmdSelectionApp = 1000;  // + k, k < kMaxSelectionApps
constexpr UINT kShellFirst = 2000;
// Menu commands travel in the low word of WM_COMMAND, so the shell's ids end at 0x7FFF.
constexpr UINT kShellLast = 0x7FFF;
constexpr size_t kMaxEntryApps = kFilerCmdSelectionApp - kFilerCmdEntryApp;
constexpr size_t kMaxSelectionApps = kShellFirst - kFilerCmdSelectionApp;

// What the context menu of the moment keeps. The path and the application items' programs stay
// until the next menu is built, so a command that arrives after the menu closed still finds them;
// the items' icons and measuring font and the shell's menu live only while the menu is open.
struct FilerMenuState {
    std::wstring path;  // resolved path of the entry of a one-entry menu
    AppMenuItems apps;
    kv::ComPtr<IContextMenu> shellMenu;
    kv::ComPtr<IContextMenu2> shellMenu2;
    kv::ComPtr<IContextMenu3> shellMenu3;
    bool tracking = false;

    // Forgets everything of the previous menu.
    void Reset();
    // What only the open menu needs: icons, font and the shell's menu.
    void ReleaseOpenMenu();
};

// Fills `menu` for the current selection of `filer` (one entry, several, or none); the kind's items
// are appended by the caller.
void BuildFilerMenu(CKvFiler& filer, FilerMenuState& state, HMENU menu);

// The system's open-with programs for the extension of `path` as items 100 + k.
void AppendOpenWithApps(FilerMenuState& state, HMENU menu, const std::wstring& path);
// The project's applications whose extensions hold every extension in `extensions`, as items
// 1000 + k. Returns how many were listed.
size_t AppendProjectApps(FilerMenuState& state, HMENU menu, const std::vector<std::wstring>& extensions);

// The shell's own context menu of the file at `path` (asked from its parent folder, `owner` as
// its window), appended to `menu` or into a submenu of it. False when the shell offered nothing.
bool AppendShellItems(FilerMenuState& state, HMENU menu, HWND owner, const std::wstring& path, bool submenu);
// Runs shell command `id` (kShellFirst and up) of the open shell menu.
void InvokeShellItem(const FilerMenuState& state, HWND owner, UINT id);
// Menu messages for the shell's own owner-drawn and lazily filled submenus.
bool ForwardShellMenuMessage(const FilerMenuState& state, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

// Shows `menu` at `at` (screen coordinates) for `owner` and returns the chosen id, 0 for none. An
// empty menu is not shown.
int TrackFilerMenu(HMENU menu, HWND owner, POINT at);

// Test seam: while set, TrackFilerMenu hands the built menu to this function and returns its answer
// instead of showing the menu. An empty function restores the real tracking.
using FilerMenuTracker = std::function<int(HMENU menu)>;
void SetFilerMenuTracker(FilerMenuTracker tracker);
