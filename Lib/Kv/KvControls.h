// The font template, small readers of control text, and the status bar helpers. Dialogs build their
// controls from tables (KvDialog.h). UI thread only.
#pragma once

#include <windows.h>
#include <string>

// The standard font's LOGFONTW (12 px "ＭＳ Ｐゴシック", Shift-JIS charset, variable pitch Swiss),
// every other byte zero. Callers change single fields and create the font themselves.
LOGFONTW KvMakeLogFont();

// The identifier of the drop-down list of the project settings' first page.
constexpr int KvComboListId = 202;

// A window's text, at most 255 characters.
std::wstring KvGetWindowText(HWND hwnd);
// A window's whole text however long (paths and lists typed into edits); empty for a null window.
std::wstring KvGetWholeText(HWND hwnd);
std::wstring KvGetItemWholeText(HWND dlg, int itemId);

// The text (at most 511 characters) of a dialog item read as a decimal integer like atoi: leading
// blanks, an optional sign, digits up to the first non-digit; text that is not a number gives 0 and
// values beyond the int range are clamped to it, so a caller may convert the result to int safely.
// 0 when the item does not exist.
double KvGetItemNumber(HWND dlg, int itemId);

// Status bar: child, visible, size grip, bottom-aligned, empty text, identifier 10005.
constexpr int KvStatusBarId = 10005;
bool KvCreateStatusBar(HWND* statusOut, HWND parent);
// `parts` holds the right edges of the parts and ends with -1; the parts set are the entries before
// the -1 (at most 256). Null sets one part reaching to the right edge.
void KvSetStatusParts(HWND status, const int* parts);
// Sets the text of a part (part index or'ed with SBT_* drawing flags) and repaints at once.
void KvSetStatusText(HWND status, int partAndFlags, const wchar_t* text);
