// Moving an entry, and its subfolder with it, into another folder of the tree.
#include "Document/FolderMove.h"

#include <utility>

#include "Document/Folder.h"

CEntry& AppendMovedEntry(CFolder& target, CEntry& source) {
    CEntry& moved = target.Append();
    moved.name = source.name;
    moved.alias = source.alias;
    moved.path = source.path;
    moved.appPath = source.appPath;
    moved.backupName = source.backupName;
    moved.aliasMode = source.aliasMode;
    moved.relative = source.relative;
    moved.colour = source.colour;
    moved.missing = source.missing;
    moved.offline = source.offline;
    source.MoveDisplayTo(moved);
    if (moved.HasDisplay()) moved.EditDisplay().generation = 0;
    moved.subfolder = std::move(source.subfolder);
    if (moved.subfolder) {
        moved.subfolder->parent = &target;
        moved.subfolder->ownerEntry = &moved;
    }
    return moved;
}

bool FolderIsWithin(const CFolder* folder, const CFolder* ancestor) {
    if (!ancestor) return false;
    for (const CFolder* f = folder; f; f = f->parent)
        if (f == ancestor) return true;
    return false;
}
