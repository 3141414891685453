// The first-run dialog: offered when the program starts without a project and finds no default
// project (start-up then creates an empty one and opens it, whichever button closed the dialog).
// It associates the project file types with the program for the current user and adds the New
// menu's template. Modal window of class "CInitDlg"; it runs before the UI text table is loaded, so
// its texts are its own.
#pragma once

class CInitDlg {
public:
    // Runs the dialog; true when it was closed with OK (the registry has then been written). Keys
    // that could not be written are named in one warning box after the dialog has closed.
    static bool DoModal();
};
