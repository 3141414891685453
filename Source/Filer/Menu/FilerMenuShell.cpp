// The shell's own context menu of a file inside the filer's menu. The shell numbers its items from
// kShellFirst; its owner-drawn and lazily filled submenus (such as "Send to") need the menu
// messages of the owner window passed back to it while the menu is open.
#include "Filer/Menu/FilerMenu.h"

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvClipboard.h"

bool AppendShellItems(FilerMenuState& state, HMENU menu, HWND owner, const std::wstring& path, bool submenu) {
    kv::CoTaskMem<ITEMIDLIST> item(KvPathToItemList(path));
    if (!item) return false;
    kv::ComPtr<IShellFolder> parent;
    PCUITEMID_CHILD child = nullptr;
    if (FAILED(SHBindToParent(item.get(), IID_IShellFolder, reinterpret_cast<void**>(&parent), &child)) || !parent)
        return false;
    kv::ComPtr<IContextMenu> context;
    if (FAILED(
            parent->GetUIObjectOf(owner, 1, &child, IID_IContextMenu, nullptr, reinterpret_cast<void**>(&context))) ||
        !context)
        return false;

    kv::UniqueMenu ownMenu;
    HMENU target = menu;
    if (submenu) {
        ownMenu.reset(CreatePopupMenu());
        if (!ownMenu) return false;
        target = ownMenu.get();
    }
    const int position = GetMenuItemCount(target);
    const HRESULT added =
        context->QueryContextMenu(target, position < 0 ? 0 : position, kShellFirst, kShellLast, CMF_NORMAL);
    if (FAILED(added) || HRESULT_CODE(added) == 0) return false;
    if (submenu) {
        if (!AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(ownMenu.get()),
                         GlobalText::Get(kGtEntryMenuShell)))
            return false;
        ownMenu.release();  // owned by `menu` now
    }

    context->QueryInterface(IID_IContextMenu2, reinterpret_cast<void**>(&state.shellMenu2));
    context->QueryInterface(IID_IContextMenu3, reinterpret_cast<void**>(&state.shellMenu3));
    state.shellMenu.reset(context.detach());
    return true;
}

void InvokeShellItem(const FilerMenuState& state, HWND owner, UINT id) {
    if (!state.shellMenu || id < kShellFirst || id > kShellLast) return;
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    info.hwnd = owner;
    info.lpVerb = MAKEINTRESOURCEA(id - kShellFirst);
    info.nShow = SW_SHOWNORMAL;
    // A failed shell command is not reported.
    state.shellMenu->InvokeCommand(&info);
}

bool ForwardShellMenuMessage(const FilerMenuState& state, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    if (state.shellMenu3) return SUCCEEDED(state.shellMenu3->HandleMenuMsg2(msg, wp, lp, result));
    if (state.shellMenu2 && msg != WM_MENUCHAR) {
        *result = msg == WM_INITMENUPOPUP ? 0 : TRUE;
        return SUCCEEDED(state.shellMenu2->HandleMenuMsg(msg, wp, lp));
    }
    return false;
}
