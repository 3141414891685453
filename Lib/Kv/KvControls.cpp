// The standard font's template.
#include "Kv/KvControls.h"

#include <cstring>

LOGFONTW KvMakeLogFont() {
    LOGFONTW lf;
    std::memset(&lf, 0, sizeof(lf));
    lf.lfHeight = 12;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = 18;  // VARIABLE_PITCH | FF_ROMAN: the standard font's value
    static const wchar_t kFace[] = L"ＭＳ Ｐゴシック";
    static_assert(sizeof(kFace) / sizeof(kFace[0]) <= LF_FACESIZE, "face name fits LOGFONTW");
    std::memcpy(lf.lfFaceName, kFace, sizeof(kFace));
    return lf;
}
