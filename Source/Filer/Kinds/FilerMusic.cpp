// The music kind.
#include "Filer/Kinds/FilerMusic.h"

#include <mmsystem.h>

#include <cmath>
#include <cwctype>

#include "Document/Folder.h"
#include "Filer/KvFiler.h"
#include "resource.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr size_t kMciCommandLimit = 512;

// At namespace scope, so it is made before and destroyed after the filer's kind object, whose
// destruction still stops the sound.
MciCommandSender g_sender;
MciDeviceLookup g_lookup;

MciCommandSender& Sender() {
    return g_sender;
}

unsigned DeviceOf(const std::wstring& alias) {
    if (g_lookup) return g_lookup(alias);
    return mciGetDeviceIDW(alias.c_str());
}

void SendMci(const std::wstring& command, HWND notify) {
    if (Sender()) {
        Sender()(command, notify);
        return;
    }
    mciSendStringW(command.c_str(), nullptr, 0, notify);
}

bool EndsWithNoCase(const std::wstring& text, const wchar_t* suffix) {
    const size_t length = wcslen(suffix);
    if (text.size() < length) return false;
    for (size_t i = 0; i < length; ++i)
        if (std::towlower(text[text.size() - length + i]) != suffix[i]) return false;
    return true;
}

}  // namespace

void SetMciCommandSender(MciCommandSender sender) {
    Sender() = std::move(sender);
}

void SetMciDeviceLookup(MciDeviceLookup lookup) {
    g_lookup = std::move(lookup);
}

CFilerMusic::~CFilerMusic() {
    Stop();
}

bool CFilerMusic::AcceptsPath(const std::wstring& path) {
    return EndsWithNoCase(path, L".mid") || EndsWithNoCase(path, L".wav") || EndsWithNoCase(path, L".mp3");
}

bool CFilerMusic::Attach(CKvFiler& filer) {
    CFilerNormal::Attach(filer);
    filer.ShowListStyle(kFilerViewReport);
    filer.EnableViewCommands(false);
    return true;
}

void CFilerMusic::Detach() {
    Stop();
    CKvFiler* owner = filer();
    if (!owner) return;
    owner->ShowListStyle(owner->ViewMode());
    owner->EnableViewCommands(true);
    owner->AttachSystemImageLists();
}

void CFilerMusic::Stop() {
    CKvFiler* owner = filer();
    HWND list = owner ? owner->ListView() : nullptr;
    SendMci(L"stop Audio", list);
    SendMci(L"close Audio", list);
    // The closed device's notifications already queued are of no use any more; device ids may be
    // given again, so they are dropped rather than left to match the next song.
    MSG stale;
    while (list && PeekMessageW(&stale, list, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE)) {
    }
    if (owner && owner->Container()) KillTimer(owner->Container(), kMusicAnimationTimer);
    playing_ = -1;
    device_ = 0;
    if (list) InvalidateRect(list, nullptr, TRUE);
}

void CFilerMusic::Play(int index, CEntry& entry) {
    Stop();
    CKvFiler* owner = filer();
    HWND list = owner ? owner->ListView() : nullptr;
    // A command longer than the 512-character buffer MCI commands are built in would reach MCI cut
    // short, naming another file or none: such an entry is not played, as if MCI had refused it.
    const std::wstring open = L"open \"" + entry.ResolvedPath() + L"\" alias Audio";
    if (open.size() > kMciCommandLimit - 1) return;
    SendMci(open, list);
    device_ = DeviceOf(L"Audio");
    SendMci(L"play Audio notify", list);
    angle_ = 0;
    playing_ = index;
    if (owner && owner->Container()) SetTimer(owner->Container(), kMusicAnimationTimer, 200, nullptr);
    if (list) InvalidateRect(list, nullptr, TRUE);
}

void CFilerMusic::PlayNext() {
    CKvFiler* owner = filer();
    if (!owner || !owner->CurrentFolder() || playing_ < 0) return;
    const int count = static_cast<int>(owner->CurrentFolder()->Count());
    if (count == 0) return;
    int next = playing_ + 1;
    if (next >= count) next = 0;
    if (CEntry* entry = owner->EntryAtIndex(next)) Play(next, *entry);
}

bool CFilerMusic::MessageHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    // The notification names its device in lParam.
    if (msg == MM_MCINOTIFY && wp == MCI_NOTIFY_SUCCESSFUL && device_ != 0 && static_cast<unsigned>(lp) == device_)
        PlayNext();
    else if (msg == WM_COMMAND && LOWORD(wp) == kMusicStopCommand)
        Stop();
    return false;
}

void CFilerMusic::TimerTick(UINT_PTR timerId) {
    if (timerId != kMusicAnimationTimer) return;
    angle_ += 0.2f;
    if (angle_ > kPi) angle_ -= 2 * kPi;
    CKvFiler* owner = filer();
    if (!owner || !owner->ListView() || playing_ < 0) return;
    RECT icon{};
    icon.left = LVIR_ICON;
    if (SendMessageW(owner->ListView(), LVM_GETITEMRECT, playing_, reinterpret_cast<LPARAM>(&icon)))
        InvalidateRect(owner->ListView(), &icon, TRUE);
}

void CFilerMusic::AddMenuItems(HMENU menu, int selectedCount) {
    if (selectedCount != 0 && playing_ < 0) return;
    const int count = GetMenuItemCount(menu);
    if (count > 0 && !(GetMenuState(menu, static_cast<UINT>(count - 1), MF_BYPOSITION) & MF_SEPARATOR))
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kMusicStopCommand, L"Stop");
}

bool CFilerMusic::CustomDraw(NMLVCUSTOMDRAW& draw, LRESULT* result) {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        *result = CDRF_NOTIFYITEMDRAW;
        return true;
    case CDDS_ITEMPREPAINT: {
        CEntry* entry = EntryOf(draw);
        if (!entry) {
            *result = CDRF_SKIPDEFAULT;
            return true;
        }
        if (static_cast<int>(draw.nmcd.dwItemSpec) == playing_)
            draw.clrText = RGB(0, 0, 255);
        else
            ApplyTextColour(draw, *entry);
        *result = CDRF_NOTIFYPOSTPAINT;
        return true;
    }
    case CDDS_ITEMPOSTPAINT:
        if (CEntry* entry = EntryOf(draw)) DrawMusicMarks(draw, *entry);
        *result = CDRF_DODEFAULT;
        return true;
    default:
        return false;
    }
}

void CFilerMusic::DrawMusicMarks(const NMLVCUSTOMDRAW& draw, const CEntry& entry) {
    RECT icon{};
    icon.left = LVIR_ICON;
    if (!SendMessageW(draw.nmcd.hdr.hwndFrom, LVM_GETITEMRECT, draw.nmcd.dwItemSpec, reinterpret_cast<LPARAM>(&icon)))
        return;
    HDC dc = draw.nmcd.hdc;
    const int size = ListIconSize(draw.nmcd.hdr.hwndFrom, false);
    if (entry.IsSubfolderEntry()) {
        DrawResourceIcon(dc, FolderKindIconId(entry.subfolder->kind), icon.left, icon.top, size);
        return;
    }
    if (entry.missing) return;
    if (static_cast<int>(draw.nmcd.dwItemSpec) != playing_) {
        DrawResourceIcon(dc, IDI_MUSIC_ITEM, icon.left, icon.top, size);
        return;
    }
    // The circle's radius is a quarter of the icon (4 pixels at 96 DPI).
    const float radius = size / 4.0f;
    for (int k = 0; k < 3; ++k) {
        float angle = angle_ + k * 2 * kPi / 3;
        if (angle >= kPi) angle -= 2 * kPi;
        const int x = icon.left + static_cast<int>(radius * std::cos(angle));
        const int y = icon.top + static_cast<int>(radius * std::sin(angle));
        DrawResourceIcon(dc, IDI_MUSIC_PLAYING, x, y, size);
    }
}
