// The application object: prepares the process, chooses the project file, loads the settings and
// the UI text table, takes the single-instance lock of the project path, creates the main window,
// loads the project, and at the end saves it and tears everything down.
#pragma once

#include <windows.h>
#include <string>

#include "Kv/KvHandles.h"

// Size of the project path buffer, terminator included; longer paths are refused, never cut.
constexpr size_t kProjectPathBuffer = 260;

// What the command-line tail asks for.
struct ProjectPathChoice {
    enum Result { Path, DefaultProject, TooLong } result = DefaultProject;
    std::wstring path;
};

// Reads the command-line tail: empty (or blank) means the default project; a path in double quotes
// is taken without its quotes; otherwise the whole tail, literally, is the path (the file
// association passes it unquoted). Trailing blanks are dropped: file names cannot end in one.
ProjectPathChoice ParseProjectArgument(const wchar_t* tail);

// The single-instance mutex name of a project path: every '\' becomes '_', cut to 259 characters.
std::wstring InstanceMutexName(const std::wstring& projectPath);

class CMaster {
public:
    // True when the main window is up and the project is loaded; false when the program must end
    // without a message loop (the reason has been shown already, or needs no message).
    bool Init(const wchar_t* commandTail);
    // Saves the project (SaveAtExit), tears the main window down and frees the text table.
    void Shutdown();
    // Writes the project back once per run, at shut-down or when the session ends, unless
    // exit-without-saving was chosen or nothing was loaded. A failed save names the file and offers
    // to try again (the user may free the file meanwhile); declining gives the changes up.
    void SaveAtExit();

    const std::wstring& ProjectPath() const { return projectPath_; }

private:
    bool ChooseProjectPath(const wchar_t* commandTail);
    bool TakeInstanceLock();

    std::wstring projectPath_;
    kv::UniqueKernel instanceMutex_;  // held for the life of the process
    bool projectLoaded_ = false;
    bool exitSaveDone_ = false;
};

CMaster& Master();

// Runs the message loop until WM_QUIT.
void RunMessageLoop();
