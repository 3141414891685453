// Dots per inch of a window and the scaling of layout sizes given in 96-DPI pixels. Every size the
// program lays out (control positions, margins, column widths, fonts) is written in 96-DPI pixels and
// scaled here, so that a window looks the same at 100, 150 and 200 %; sizes that are stored (column
// widths in the project) stay in 96-DPI pixels and are converted back with KvUnscale.
#pragma once

#include <windows.h>

constexpr UINT KvBaseDpi = 96;

// The DPI of the monitor the window is on (per-monitor aware process), else the system DPI. A null
// window gives the system DPI. Never 0.
UINT KvDpiOfWindow(HWND hwnd);
UINT KvSystemDpi();

// A 96-DPI length at `dpi`, rounded to nearest; negative lengths (font heights) keep their sign.
inline int KvScale(int length96, UINT dpi) { return MulDiv(length96, static_cast<int>(dpi), KvBaseDpi); }
// A length at `dpi` back in 96-DPI pixels.
inline int KvUnscale(int length, UINT dpi) { return MulDiv(length, KvBaseDpi, static_cast<int>(dpi ? dpi : KvBaseDpi)); }

// A font from a description whose lfHeight (and lfWidth) are 96-DPI pixels, made for `dpi`. The caller
// owns it.
HFONT KvCreateFontForDpi(LOGFONTW lf96, UINT dpi);
// The shell's icon title font, which list views and tree views use by default, described at 96 DPI.
LOGFONTW KvIconTitleLogFont96();
// The system's menu font and its status font (which tool tips use), described at 96 DPI.
LOGFONTW KvMenuLogFont96();
LOGFONTW KvStatusLogFont96();
