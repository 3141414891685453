// Shared pieces of the chooser dialogs (see ChooserParts.h).
#include "Choosers/ChooserParts.h"

#include <shellapi.h>

namespace chooser_ui {

bool ProgramDisplay(const std::wstring& path, std::wstring& name, int& icon) {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
        return false;
    name = info.szDisplayName;
    icon = info.iIcon;
    return true;
}

HIMAGELIST SystemSmallImages() {
    SHFILEINFOW info{};
    return reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

}  // namespace chooser_ui
