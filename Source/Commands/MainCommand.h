// The main window's command identifiers (menu, tool bar, tray menu) and its tray message, in a
// folder of their own so that the filer can name tool buttons without seeing the main window.
#pragma once

#include <windows.h>

// Main window command identifiers (menu, tool bar, tray menu).
enum MainCommand : int {
    kCmdNewFolder = 2500,
    kCmdNewMusicFolder = 2501,
    kCmdNewImageFolder = 2502,
    kCmdSearchSettings = 2503,
    kCmdRegisteredApps = 2504,
    kCmdExitWithoutSaving = 2505,
    kCmdExit = 2506,
    kCmdViewDetails = 2507,
    kCmdViewIcons = 2508,
    kCmdViewList = 2509,
    kCmdToggleStatusBar = 2510,
    kCmdToggleTreePane = 2511,
    kCmdProjectSettings = 2513,
    kCmdOpenHelpAddress = 2514,
    kCmdOpenHelpProgram = 2515,
    kCmdVersion = 2516,
    kCmdBack = 2517,
    kCmdForward = 2518,
    kCmdCopy = 2519,
    kCmdRemove = 2520,
    kCmdNewFolderTool = 2521,
    kCmdUp = 2522,
    kCmdRefresh = 2523,
    kCmdFind = 2524,
    kCmdMissingEntries = 2525,
};

// Tray icon callback message.
constexpr UINT kTrayMessage = WM_USER + 1;
