// The walk list of a folder's search settings and its walk, shared by the interactive search and
// the automatic search.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "Document/Folder.h"
#include "Kv/KvWalk.h"

struct SearchWalkItem {
    std::wstring path;
    KvWalkOptions options;
};

// The list `folders` when `multipleFolders` is set (empty list, empty walk), else the settings' own
// single search folder; each item with its level limit (-1 without `limitDepth`) and the filter
// texts that its flags switch on.
std::vector<SearchWalkItem> BuildWalkList(const SearchSettings& settings);

// Walks every item in order until the list ends or `stop` is set.
void RunWalkList(const std::vector<SearchWalkItem>& list, const std::atomic<bool>& stop, const KvWalkReport& report);
