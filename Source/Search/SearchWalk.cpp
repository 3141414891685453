#include "Search/SearchWalk.h"

namespace {

SearchWalkItem MakeItem(const SearchFolder& folder) {
    SearchWalkItem item;
    item.path = folder.path;
    item.options.levelLimit = folder.limitDepth ? folder.depth : -1;
    if (folder.useInclude) item.options.includeText = folder.includeText;
    if (folder.useExclusion) item.options.exclusionText = folder.exclusionText;
    return item;
}

}  // namespace

std::vector<SearchWalkItem> BuildWalkList(const SearchSettings& settings) {
    std::vector<SearchWalkItem> list;
    if (!settings.multipleFolders) {
        list.push_back(MakeItem(settings));
        return list;
    }
    for (const SearchFolder& folder : settings.folders) list.push_back(MakeItem(folder));
    return list;
}

void RunWalkList(const std::vector<SearchWalkItem>& list, const std::atomic<bool>& stop, const KvWalkReport& report) {
    for (const SearchWalkItem& item : list) {
        if (stop.load(std::memory_order_relaxed)) return;
        KvWalkDirectory(item.path, item.options, stop, report);
    }
}
