// Child controls built in code and sized to their text in the standard font, the font template,
// small readers of control text, and the status bar helpers. Every dialog of the program creates its
// controls in WM_CREATE with these functions. UI thread only.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

// The standard font's LOGFONTW (12 px "ＭＳ Ｐゴシック", Shift-JIS charset, variable pitch Swiss),
// every other byte zero. Callers change single fields and create the font themselves.
LOGFONTW KvMakeLogFont();

// Each creator makes a visible child of `parent`, sets `font` when it is not null and sizes the
// control to its text measured with that font. Null when the window cannot be created.

// "STATIC" of exactly the measured text size.
HWND KvCreateLabel(const wchar_t* text, int x, int y, HWND parent, int id, HFONT font);
// Automatic check box / radio button: width = text width + 26, height = max(text height, 22).
HWND KvCreateCheckBox(const wchar_t* text, int x, int y, HWND parent, int id, HFONT font);
HWND KvCreateRadioButton(const wchar_t* text, int x, int y, HWND parent, int id, HFONT font);

// Drop-down list, identifier 202, at (10, 175), 80 x 60. Selects `selected`, or 0 when `selected` is
// outside the list; selects nothing when the list is empty.
constexpr int KvComboListId = 202;
HWND KvCreateComboList(HFONT font, const std::vector<std::wstring>& items, int selected, HWND parent);

// Edit with a client edge and automatic horizontal scrolling plus `extraStyle`; its text gets CR LF
// line ends. A width of 0 becomes the text width plus the frame; a height of 0 becomes the height
// of the text word-wrapped at its own width plus the frame.
HWND KvCreateEdit(HFONT font, DWORD extraStyle, const wchar_t* text, int x, int y, int width, int height, HWND parent,
                  int id);

// Push button of the given size, a tab stop; `style` may name another button style
// (BS_DEFPUSHBUTTON, BS_GROUPBOX, ...).
HWND KvCreateButton(const wchar_t* text, int x, int y, int width, int height, HWND parent, int id, HFONT font,
                    DWORD style = BS_PUSHBUTTON);
// Group box of the given size; not a tab stop.
HWND KvCreateGroupBox(const wchar_t* text, int x, int y, int width, int height, HWND parent, HFONT font);

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
