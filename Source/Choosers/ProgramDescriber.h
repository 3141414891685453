// The shell's display name and small icon of the chooser's programs, asked on a thread of its own:
// a program may live on a share or a slow drive, and the shell reads each program's file for its
// icon. The dialog lists every program at once with its file name and a placeholder icon, and puts
// in each answer as it comes.
//
// Nothing on the UI thread ever waits for the thread: Close tells it to end and drops what it has
// not taken; a thread held by a hung call ends by itself later, keeping alive the state it shares
// (never the dialog's), and posts nothing after Close.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class ProgramDescriber {
public:
    struct Answer {
        size_t index = 0;    // the program's place in the list given to Start
        bool found = false;  // false: the shell cannot parse the path (the program does not exist)
        std::wstring name;   // the shell's display name
        int icon = -1;       // index in the system's small image list
    };

    ProgramDescriber() = default;
    ~ProgramDescriber() { Close(); }
    ProgramDescriber(const ProgramDescriber&) = delete;
    ProgramDescriber& operator=(const ProgramDescriber&) = delete;

    // Starts describing `programs` (those on local fixed drives first); `target` gets `message` when
    // answers wait (one message for as many as pile up). False when no thread could be started.
    bool Start(std::vector<std::wstring> programs, HWND target, UINT message);
    // The answers waiting, in the order they came.
    std::vector<Answer> TakeAnswers();
    // Tells the thread to end; never waits for it.
    void Close();

private:
    struct Shared;
    static void Serve(const std::shared_ptr<Shared>& shared, std::vector<std::wstring> programs);

    std::shared_ptr<Shared> shared_;
};
