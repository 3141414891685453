// The music kind: a report view of audio entries (mid, wav, mp3 in any case) that plays an opened
// entry through MCI under the alias "Audio" and, when it has played to its end, the next entry
// (after the last, the first). The playing item is drawn blue with three icons circling its icon;
// playback stops when the folder is shown again (sort, refresh, removal) or left, and with "Stop"
// (command 29) of the menu without a selection, or of any menu while a song plays (so that the
// keyboard, whose menu is that of the focused entry, reaches it too); type-ahead leaves the order
// alone while a song plays. MCI errors are ignored: without a sound device the
// folder simply stays silent. Only the completion of the device playing now moves on: a
// notification of an earlier song, queued before it was stopped, is dropped.
#pragma once

#include <functional>
#include <string>

#include "Filer/Kinds/FilerNormal.h"

// Sends one MCI command string with `notify` as the notification window. The default sends it to
// mciSendStringW; tests put a recorder in its place.
using MciCommandSender = std::function<void(const std::wstring& command, HWND notify)>;
void SetMciCommandSender(MciCommandSender sender);  // an empty function restores the default
// The device id MCI gave an alias (mciGetDeviceIDW by default; tests put their own in its place).
using MciDeviceLookup = std::function<unsigned(const std::wstring& alias)>;
void SetMciDeviceLookup(MciDeviceLookup lookup);  // an empty function restores the default

constexpr int kMusicStopCommand = 29;
constexpr UINT_PTR kMusicAnimationTimer = 3;

class CFilerMusic : public CFilerNormal {
public:
    ~CFilerMusic() override;

    unsigned Kind() const override { return kFolderKindMusic; }
    bool AcceptsPath(const std::wstring& path) override;
    bool Attach(CKvFiler& filer) override;
    void Detach() override;
    int MapIconIndex(int index) override { return -1; }
    void OpenEntry(int index, CEntry& entry) override { Play(index, entry); }
    bool CustomDraw(NMLVCUSTOMDRAW& draw, LRESULT* result) override;
    bool MessageHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
    void TimerTick(UINT_PTR timerId) override;
    void AddMenuItems(HMENU menu, int selectedCount) override;
    bool KeepsEntryOrder() const override { return playing_ >= 0; }

    int PlayingIndex() const { return playing_; }
    float Angle() const { return angle_; }

private:
    void Play(int index, CEntry& entry);
    void Stop();
    void PlayNext();
    void DrawMusicMarks(const NMLVCUSTOMDRAW& draw, const CEntry& entry);

    int playing_ = -1;
    unsigned device_ = 0;  // the MCI device of the playing song; 0 while none plays
    float angle_ = 0;
};
