// GetDpiForWindow exists from Windows 10 1607 on; the program still starts on Windows 7, so it is
// looked up once at run time and the device context's LOGPIXELSY stands in where it is missing.
#include "Kv/KvDpi.h"

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

GetDpiForWindowFn DpiForWindowEntry() {
    static const GetDpiForWindowFn entry = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    return entry;
}

LOGFONTW AtBaseDpi(LOGFONTW lf) {
    const UINT system = KvSystemDpi();
    lf.lfHeight = KvUnscale(lf.lfHeight, system);
    lf.lfWidth = KvUnscale(lf.lfWidth, system);
    return lf;
}

LOGFONTW GuiFontAt96() {
    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    return AtBaseDpi(lf);
}

bool NonClientMetrics(NONCLIENTMETRICSW& metrics) {
    metrics.cbSize = sizeof(metrics);
    return SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) != FALSE;
}

}  // namespace

UINT KvSystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : KvBaseDpi;
}

UINT KvDpiOfWindow(HWND hwnd) {
    if (hwnd) {
        if (GetDpiForWindowFn entry = DpiForWindowEntry()) {
            const UINT dpi = entry(hwnd);
            if (dpi) return dpi;
        }
    }
    return KvSystemDpi();
}

HFONT KvCreateFontForDpi(LOGFONTW lf96, UINT dpi) {
    lf96.lfHeight = KvScale(lf96.lfHeight, dpi);
    lf96.lfWidth = KvScale(lf96.lfWidth, dpi);
    return CreateFontIndirectW(&lf96);
}

// The system reports its fonts at the system DPI, the DPI the process started with.
LOGFONTW KvIconTitleLogFont96() {
    LOGFONTW lf{};
    if (!SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(lf), &lf, 0)) return GuiFontAt96();
    return AtBaseDpi(lf);
}

LOGFONTW KvMenuLogFont96() {
    NONCLIENTMETRICSW metrics{};
    if (!NonClientMetrics(metrics)) return GuiFontAt96();
    return AtBaseDpi(metrics.lfMenuFont);
}

LOGFONTW KvStatusLogFont96() {
    NONCLIENTMETRICSW metrics{};
    if (!NonClientMetrics(metrics)) return GuiFontAt96();
    return AtBaseDpi(metrics.lfStatusFont);
}
