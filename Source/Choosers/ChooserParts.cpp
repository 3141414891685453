// Shared pieces of the chooser dialogs (see ChooserParts.h).
#include "Choosers/ChooserParts.h"

#include <shellapi.h>

namespace chooser_ui {

int PlaceholderProgramIcon() {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(L"program.exe", FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                        SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
        return -1;
    return info.iIcon;
}

HIMAGELIST SystemSmallImages() {
    SHFILEINFOW info{};
    return reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

}  // namespace chooser_ui
