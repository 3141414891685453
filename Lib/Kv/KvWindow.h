// The bottom layer of the in-house UI library: system facts, class registration, modal windows with
// a nested message loop, the library's message, warning and internal-error boxes, the standard
// font, the fitted read-only text box, text measuring and small drawing and geometry helpers.
// UI thread only.
#pragma once

#include <windows.h>
#include <string>

// System facts captured once by KvInitSystemInfo before the first window.
struct KvSystemInfo {
    DWORD majorVersion = 0;
    DWORD minorVersion = 0;
    int frameCaptionHeight = 0;  // SM_CXDLGFRAME + SM_CYCAPTION
    int frameWidth2 = 0;         // 2 * SM_CXDLGFRAME
    int smallCaptionHeight = 0;  // SM_CYSMCAPTION + SM_CXDLGFRAME
};

void KvInitSystemInfo();
const KvSystemInfo& KvGetSystemInfo();

// Button labels shared by every box and several dialogs.
extern const wchar_t* const KvOkLabel;      // "OK"
extern const wchar_t* const KvCancelLabel;  // "ｷｬﾝｾﾙ"
extern const wchar_t* const KvYesLabel;     // "はい"
extern const wchar_t* const KvNoLabel;      // "いいえ"

// Registers the class, replacing an existing class of the same name. False after an error box.
bool KvRegisterClassEx(const WNDCLASSEXW& wc);

// Creates a top-level window owned by `owner`, disables the owner (and its root) while it runs and
// returns the result given to KvEndModal; 0 when the window could not be created.
int KvCreateModalDialog(HWND owner, const wchar_t* title, DWORD exStyle, DWORD style, const wchar_t* className, int x,
                        int y, int width, int height);

// Registers a temporary class (null name: "_kv__MODAL_WINDOW___") for `proc`, runs the modal window
// at (0, 0) with the given size and unregisters the class. The procedure positions its window itself
// and passes unhandled messages to DefDlgProcW.
int KvDoModal(const wchar_t* className, DWORD exStyle, DWORD style, const wchar_t* title, int width, int height,
              HWND owner, WNDPROC proc);

// Ends the modal window `dlg` with `result`; ignored for a window that is not an open modal window.
void KvEndModal(HWND dlg, int result);

// Test seam: called with every modal window right after it is created and before its loop runs.
// A test reads the window's title and text and posts it a button command. Null removes the hook.
using KvModalHook = void (*)(HWND dlg, void* context);
void KvSetModalHook(KvModalHook hook, void* context);

// Internal-error box: names the source unit, function and line. Returns 1.
int KvErrorBox(const wchar_t* message, const wchar_t* file, const wchar_t* function, int line);
int KvErrorBox(const wchar_t* prefix, const wchar_t* detail, const wchar_t* file, const wchar_t* function, int line);
// The text the error box shows for these arguments (exposed for tests and for the box itself).
std::wstring KvComposeErrorText(const wchar_t* message, const wchar_t* file, const wchar_t* function, int line);

// Warning box, caption "警告". Returns 1.
int KvWarningBox(const wchar_t* message);
int KvWarningBox(const wchar_t* prefix, const wchar_t* detail);

// Message box kinds and the button identifiers they return.
enum KvMessageBoxKind {
    KvMbOk = 0,           // OK (1)
    KvMbOkCancel = 1,     // OK (1), Cancel (2)
    KvMbYesNo = 2,        // Yes (6), No (7)
    KvMbYesCancel = 3,    // Yes (6), Cancel (2)
    KvMbYesNoCancel = 4,  // Yes (6), No (7), Cancel (2)
};
int KvMessageBox(HWND owner, const wchar_t* title, const wchar_t* text, int kind);
// Kind 5: one button per label (null-terminated array); returns 1 + the index of the pressed label.
int KvMessageBoxCustom(const wchar_t* const* labels, HWND owner, const wchar_t* title, const wchar_t* text);

// The standard font (12 px "ＭＳ Ｐゴシック", Shift-JIS charset). The caller owns and deletes it.
HFONT KvCreateDefaultFont();

// A read-only EDIT child (identifier 100) fitted to its text, at most maxWidth wide.
HWND KvCreateTextBox(SIZE* sizeOut, DWORD style, DWORD exStyle, const wchar_t* text, int x, int y, int maxWidth,
                     HWND parent, HFONT font);

// Width of the widest line and the sum of the line heights; lines end at LF (CR LF in practice).
SIZE KvMeasureText(HDC dc, const wchar_t* text);

// Inserts a CR before every LF that is not already preceded by one.
std::wstring KvToCrLf(const wchar_t* text);

// Drawing helpers; rectangles are right/bottom exclusive, colours 24-bit RGB.
void KvFillGradientV(HDC dc, const RECT& rc, COLORREF top, COLORREF bottom);
void KvDrawEtchedFrame(HDC dc, const RECT& rc);
void KvDrawFrameRect(HDC dc, const RECT& rc, COLORREF colour);
void KvFillRect(HDC dc, const RECT& rc, COLORREF colour);

// Geometry helpers.
HWND KvGetRootWindow(HWND hwnd);                        // follow GetParent to the top
POINT KvGetWindowPos(HWND hwnd);                        // in the parent's client coordinates for children
void KvMoveWindow(HWND hwnd, int x, int y);             // keeps the size
void KvResizeWindow(HWND hwnd, int width, int height);  // keeps the position; 0 keeps that dimension
RECT KvCenteredOnDesktop(int width, int height);
POINT KvWindowCenter(HWND hwnd);  // of the desktop when hwnd is null
void KvCentreOnOwner(HWND hwnd);  // keeps the size; on the desktop without an owner
SIZE KvClientSize(HWND hwnd);
