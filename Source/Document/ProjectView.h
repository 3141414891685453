// How loading and saving a project reach the main window and the filer without depending on them.
// The main window registers its implementation with SetProjectView once its children exist and
// clears it before they go; while no view is registered, loading and saving touch only the model.
#pragma once

#include <windows.h>

#include <cstdint>

class ProjectView {
public:
    virtual ~ProjectView() = default;

    // Old formats store the main window's rectangle instead of a placement.
    virtual void MoveWindowTo(const RECT& rect) = 0;
    // `placement.length` is sizeof(WINDOWPLACEMENT).
    virtual void ApplyPlacement(const WINDOWPLACEMENT& placement) = 0;
    // False when the window cannot report it; the project then keeps the placement it had.
    virtual bool GetPlacement(WINDOWPLACEMENT& placement) = 0;
    // Rebuilds the window title from Project().titleFormat.
    virtual void RefreshTitle() = 0;
    // Lays the window out again from the project's options and takes over Project().trayMode for
    // this run: when it is 0 the window becomes a normal task bar window.
    virtual void ApplyOptions() = 0;
    // Task tray mode off for this run (a new, empty project).
    virtual void SetTrayModeOff() = 0;
    // Column widths (low 16 bits used) set in report style, then the view style applied.
    virtual void ApplyFilerColumns(const uint32_t widths[5], uint32_t viewStyle) = 0;
    // The widths as the report style shows them and the view style in force.
    virtual void ReadFilerColumns(uint32_t widths[5], uint32_t& viewStyle) = 0;
    // The root folder's entries were replaced: every pointer into the old tree must be dropped
    // here. Shows the root in the filer, resets the history to the root's id, rebuilds the tree.
    virtual void ShowRootFolder() = 0;
};

// The registered view, or null.
ProjectView* GetProjectView();
void SetProjectView(ProjectView* view);
