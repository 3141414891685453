// The result view: runs a search of a folder's settings, or the listing of the registered
// applications, on a worker thread and lists what it finds as it comes (newest row on top, shell
// name and small icon, full path), then lets the user add it. Modal window of class
// "CSearchEntryView".
//
// Threads: the worker turns each path into a row (shell name and icon index) and queues it; the UI
// thread takes the queued rows when told and owns the list and the results. The worker is told to
// stop by the stop button and when the view goes away, and is never waited for (its walk may sit on
// a share that does not answer): what it finds later is dropped.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Document/Folder.h"

enum class SearchViewMode { Search, RegisteredApps };

class CSearchEntryView {
public:
    // Search mode walks `settings` (null: false at once) and, on add, stores the check box in its
    // autoUpdate; the registered applications mode takes no settings. True when the view ended with
    // add (`results` then holds the listed paths in the order found) or with cancel (`results`
    // empty); false for the close box. Paths the shell cannot parse are neither listed nor kept.
    static bool Run(SearchViewMode mode, SearchSettings* settings, HWND parent, std::vector<std::wstring>& results);
};

// Test seam: while set, the worker calls it on its own thread after each row it has queued, with
// the number queued so far, so a test can hold a walk at a known point. Set it only while no view
// runs; an empty function removes it.
using SearchViewRowHook = std::function<void(size_t queued)>;
void SetSearchViewRowHook(SearchViewRowHook hook);
