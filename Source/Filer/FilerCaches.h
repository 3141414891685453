// Caches the filer keeps over its current folder. Each is checked against the folder and its entry
// generation (CFolder::generation, advanced by every change of its entries) before use, so a change
// the filer was not told about costs a rebuild, never a position in a freed entry: a removal and an
// append between two uses leave the count as it was, but not the generation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "Document/Folder.h"

struct FilerCaches {
    // One-entry position cache of display requests: owner-data lists ask for rows in order, and
    // walking the linked list from its start for every row would be quadratic.
    const CFolder* displayFolder = nullptr;
    uint32_t displayEntries = 0;  // the folder's generation
    CFolder::Position displayPos;
    int displayIndex = -1;  // -1: nothing cached

    // Resolved path -> first index, for the duplicate check of bulk adds.
    std::unique_ptr<FolderPathIndex> pathIndex;
    const CFolder* pathFolder = nullptr;
    uint32_t pathEntries = 0;

    // Cursor of the background completion of display data (FilerDisplayQueue.cpp).
    const CFolder* queueFolder = nullptr;
    uint32_t queueEntries = 0;
    uint32_t queueGeneration = 0;
    CFolder::Position queuePos;
    int queueIndex = 0;

    // Entry -> index, for answers of the display worker that come after the entries changed.
    std::unordered_map<const CEntry*, int> indexes;
    const CFolder* indexesFolder = nullptr;
    uint32_t indexesEntries = 0;

    void ResetQueue() { queueFolder = nullptr; }
    void ResetDisplay() {
        displayFolder = nullptr;
        displayIndex = -1;
    }
    void ResetIndexes() {
        indexes.clear();
        indexesFolder = nullptr;
    }
    void ResetPaths() {
        pathIndex.reset();
        pathFolder = nullptr;
        pathEntries = 0;
    }
};
