// The open project: its file path and the path's parts, the title template, the options edited in
// the project settings dialog, the backup directory and the project's application list. One
// process-wide record, created on first use with the defaults below and filled by LoadProject.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Document/FilerViewMode.h"

// One application of the project's list.
struct ProjectApp {
    std::wstring path;                     // the executable
    std::wstring caption;                  // menu text; empty shows the file name
    std::vector<std::wstring> extensions;  // extensions the application is offered for
};

// What the project file keeps of the main window and the filer. LoadProject fills it from the file
// and SaveProject refreshes it from the window first, so a project loaded and saved without a
// window (tools, tests) writes back what it read.
struct ProjectWindowState {
    WINDOWPLACEMENT placement{};  // as stored, including its own length field
    uint32_t columnWidths[5] = {150, 250, 80, 100, 130};
    uint32_t viewStyle = kFilerViewReport;  // a FilerViewMode
};

struct CProject {
    CProject();

    std::wstring filePath;   // full path of the project file
    std::wstring directory;  // directory of filePath with a trailing '\'
    std::wstring stem;       // file name without extension
    std::wstring extension;  // extension including the dot

    std::wstring titleFormat;  // main window title template; default from the UI text table
    uint16_t allowRename = 0;
    uint16_t appMarkStyle = 2;
    uint16_t backupEnabled = 0;
    uint16_t menuExtensionApps = 1;
    uint8_t menuOpenWithSubmenu = 0;
    uint8_t menuShellItems = 0;
    uint8_t menuShellSubmenu = 0;
    std::wstring backupDir;
    std::vector<ProjectApp> apps;
    uint16_t trayMode = 0;
    uint8_t statusBar = 1;
    uint8_t treePane = 0;
    uint16_t treeWidth = 150;
    uint8_t allowAlias = 0;
    uint8_t mouseGesture = 1;

    ProjectWindowState window;
};

// The process-wide project (UI thread only). Created on first use, which must follow
// GlobalText::Load for the default title template to be the table's.
CProject& Project();
// Test support: the record's start-up state.
void ResetProject();

// Splits a project file path: `directory` is everything before the last '\' or '/' followed by '\'
// (a lone "\" when there is no separator), `stem` and `extension` come from the file name.
void SplitProjectPath(const std::wstring& path, std::wstring& directory, std::wstring& stem, std::wstring& extension);

// "<exe dir>\backup\<stem><run tag>\": the backup directory of a project that has not chosen one.
std::wstring DefaultBackupDir(const std::wstring& stem);
// Made once per run: hex(random % 255) followed by hex(sum of the executable path's code units).
const std::wstring& BackupRunTag();
