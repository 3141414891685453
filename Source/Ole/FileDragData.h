// The data a drag of files out of the filer offers to drop targets.
#pragma once

#include <string>
#include <vector>

class CDataObject;

// A data object (one reference, owned by the caller) holding, all in global memory for the content
// aspect:
//   CF_UNICODETEXT  the first path, NUL-terminated UTF-16;
//   CF_TEXT         the first path converted to the system's 8-bit code page, NUL-terminated;
//   CF_HDROP        the file-drop block of every path in order (KvMakeFileDrop).
// Null when `paths` is empty or a block cannot be made or stored (nothing is leaked then).
CDataObject* MakeFileDragData(const std::vector<std::wstring>& paths);
