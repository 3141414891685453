// The filer's view modes: the list view styles that select the view (the two low style bits,
// LVS_ICON to LVS_LIST), and the numbers the project file stores for them
// (ProjectWindowState::viewStyle). The filer applies them; the document keeps them.
#pragma once

enum FilerViewMode : unsigned {
    kFilerViewIcons = 0,
    kFilerViewReport = 1,
    kFilerViewSmallIcons = 2,
    kFilerViewList = 3,
};
