// State of the open history dialog and its commands on the selected version.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Backup/Dialogs/BackupDataView.h"
#include "Backup/Store/BackupInfo.h"
#include "Kv/KvHandles.h"
#include "Shell/AppMenuItems.h"

class CEntry;

namespace backup_ui {

// Control and menu identifiers of the history dialog.
enum HistoryId {
    kHistoryComment = 200,
    kHistoryHex = 201,
    kHistoryText = 202,
    kHistoryOffset = 203,
    kHistoryOffsetArrows = 204,
    kHistoryRestore = 205,
    kHistoryStepBack = 207,
    kHistoryStepForward = 208,
    kHistoryEditComment = 209,
    kHistoryList = 210,
    kHistoryOpenWith = 220,     // + k: the system's open-with application k (one row)
    kHistoryProjectApp = 1000,  // + k: the project's application k (several rows)
    kHistoryProjectAppEnd = 2000,
};

// One list row; version -1 is the entry's current file.
struct HistoryRow {
    int version = -1;
    bool present = false;
    std::wstring comment;
    std::wstring time;
};

struct HistoryState {
    CEntry* entry = nullptr;
    std::wstring directory;
    backup::Versions versions;
    std::vector<HistoryRow> rows;
    HWND list = nullptr;
    CBackupDataView view;
    kv::UniqueFont font;
    AppMenuItems menuApps;  // the application items of the context menu last opened
};

// The file of a row: the version file, or the entry's resolved path for the current-file row.
std::wstring RowPath(const HistoryState& s, const HistoryRow& row);
// Tells the list (owner data: it asks for its texts) how many rows there are.
void ShowRowCount(HistoryState& s);

// Appends the owner-drawn application items of the context menu (one row: the open-with list of
// the entry's extension; several: the project's applications for the extension of the entry's
// name), forgetting those of the previous menu.
void AppendRowApps(HistoryState& s, HMENU menu, bool oneRow);
// Menu items kHistoryOpenWith + k and kHistoryProjectApp + k; false for another id.
bool OpenWithMenuApp(HistoryState& s, HWND dlg, int id);
// The double click: the entry's own application, else the one associated with its file, given the
// row's file in double quotes.
void OpenRow(HistoryState& s, HWND dlg, const HistoryRow& row);

// The context menu commands on version `row` (never the current-file row). The first three take
// the row by value: a backup made on the way adds a row and moves the others.
void RestoreVersion(HistoryState& s, HWND dlg, HistoryRow row);
void StepBack(HistoryState& s, HWND dlg, HistoryRow row);
void StepForward(HistoryState& s, HWND dlg, HistoryRow row);
void EditVersionComment(HistoryState& s, HWND dlg, HistoryRow& row);

}  // namespace backup_ui
