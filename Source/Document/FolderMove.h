// Moving entries between folders of the tree. CEntry is neither copied nor moved by the model, so a
// move makes a new entry in the target folder and carries the stored fields over; a subfolder is
// handed over whole, with its place in the tree (parent, owning entry) fixed to the new spot.
#pragma once

class CEntry;
class CFolder;

// Appends to `target` an entry carrying the stored fields and display data of `source`, and takes
// the subfolder of `source` (which keeps its entry, now without subfolder, for the caller to
// remove). The moved folder's parent becomes `target` and its owning entry the new one; its id,
// tree item and everything below it stay as they were. Returns the new entry.
// The caller must make sure `target` does not lie inside the subfolder being moved
// (FolderIsWithin), or the subtree would be cut off from the root.
CEntry& AppendMovedEntry(CFolder& target, CEntry& source);

// True when `folder` is `ancestor` itself or lies anywhere below it.
bool FolderIsWithin(const CFolder* folder, const CFolder* ancestor);
