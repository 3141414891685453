// The start of a test of the model or its windows: the text table, loaded once for the process, an
// empty folder tree and a project with its defaults.
#pragma once

#include "Config/GlobalText.h"
#include "Document/Folder.h"
#include "Document/Project.h"

namespace tf_test {

// False when the text table cannot be read (the test should stop there).
inline bool StartWithEmptyProject() {
    static const bool loaded = GlobalText::Load();
    ResetFolderModel();
    ResetProject();
    return loaded;
}

}  // namespace tf_test
