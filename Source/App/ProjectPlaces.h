// Where start-up finds a project when the command line names none.
//
// The default project "default.tfolder": beside the program when it is there, or when the program
// folder is writable and is not an installed copy (a portable copy keeps its project with it);
// otherwise in "TessaraFolder" in the user's documents. An installed copy is known by the
// uninstaller the installer puts beside the program.
//
// The most recently used project: the full path of the last project loaded, per user, as the
// REG_SZ value "RecentProject" of HKEY_CURRENT_USER\Software\TessaraFolder. A start with /add and
// no running instance opens it.
#pragma once

#include <string>

struct DefaultProjectPlace {
    std::wstring path;  // empty when neither place can be named
    bool exists = false;
};

// The name of the uninstaller the installer writes beside the program.
extern const wchar_t kUninstallerName[];

DefaultProjectPlace FindDefaultProject();
// Creates an empty project file (a new project) at `path`, with its folder; true when the file is
// there afterwards. An existing file is never touched.
bool CreateEmptyProject(const std::wstring& path);

void RememberRecentProject(const std::wstring& projectPath);
// The remembered project when it still exists, otherwise empty.
std::wstring RecentProject();
