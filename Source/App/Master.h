// The application object: prepares the process, reads what the start asks for (a project, paths
// to add, the installer's switches), chooses the project file, loads the settings and the UI text
// table, takes the single-instance lock of the project path, creates the main window, loads the
// project, and at the end saves it and tears everything down.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

#include "App/StartRequest.h"
#include "Kv/KvHandles.h"

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
    bool ChooseProjectPath(const StartRequest& request);
    bool TakeInstanceLock(const StartRequest& request);
    // /add: false when the paths went to a running instance (or there was nothing to add) and this
    // start ends here; `paths` keeps what this start adds itself.
    bool PrepareAdd(const StartRequest& request, std::vector<std::wstring>& paths);

    std::wstring projectPath_;
    std::vector<std::wstring> addPaths_;  // /add: full paths this start adds once its project is loaded
    kv::UniqueKernel instanceMutex_;  // held for the life of the process
    bool projectLoaded_ = false;
    bool exitSaveDone_ = false;
};

CMaster& Master();

// Runs the message loop until WM_QUIT.
void RunMessageLoop();
