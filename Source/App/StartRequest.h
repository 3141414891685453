// What a start of the program asks for, read from its command-line tail:
//
//   (nothing)                    the default project
//   <project path>               that project; the whole tail, literally, as the file association
//                                passes it ("%1" quoted, or unquoted from older associations)
//   /add <path> ["<path>" ...]   add the paths to the folder shown by the running instance, or
//                                start on the most recently used project and add them there
//                                (Explorer's Send To appends the selected paths in this form)
//   /associate, /unassociate     the installer's and the uninstaller's per-user file association
//
// A switch is recognised only as the first word of the tail, in any letter case, and ends at a
// blank or at the end; a project file really named like a switch is opened by its quoted path.
#pragma once

#include <string>
#include <vector>

// Size of the project path buffer, terminator included; longer paths are refused, never cut.
constexpr size_t kProjectPathBuffer = 260;

// What the command-line tail asks for as the project.
struct ProjectPathChoice {
    enum Result { Path, DefaultProject, TooLong } result = DefaultProject;
    std::wstring path;
};

// Reads the command-line tail: empty (or blank) means the default project; a path in double quotes
// is taken without its quotes; otherwise the whole tail, literally, is the path (the file
// association passes it unquoted). Trailing blanks are dropped: file names cannot end in one.
ProjectPathChoice ParseProjectArgument(const wchar_t* tail);

struct StartRequest {
    enum Kind { Open, Add, Associate, Unassociate } kind = Open;
    ProjectPathChoice project;       // Open only
    std::vector<std::wstring> paths;  // Add only: the arguments as given, quotes removed
};

StartRequest ParseStartRequest(const wchar_t* tail);
