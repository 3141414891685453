// imgctl.dll: the image library the thumbnail kind loads from "imglib" beside the program. It
// decodes every format the Windows Imaging Component offers (PNG, JPEG, GIF, BMP, TIFF, ICO, ...)
// behind the seven ANSI entry points of ImageInterfaces.h and the wide ToDIBScaledW.
//
// A bitmap handle is a DibObject made here: its DataDIB record, header and bits, bottom row first.
// ToDIB makes 32 bits per pixel, DIBto24Bit converts in place. Transparent pixels of a GIF get a key
// colour that no opaque colour of its palette has, which GIFtoDIBex reports as the transparent
// colour, so an opaque pixel never matches it. No exception leaves the library.
//
// ToDIBScaledW decodes the first frame once. When a smaller size is asked for, the frame is scaled
// while it is read: through the decoder's own reduced-size decode where it offers one
// (IWICBitmapSourceTransform, the JPEG decoder's scaled inverse transform on Windows) and through
// IWICBitmapScaler for the rest, pulling the rows it needs, so that only the small result is held
// here whatever the picture's size.
#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "Image/ImageInterfaces.h"

namespace {

// Decoded images beyond this many pixels are refused (a hostile header must not exhaust memory).
constexpr uint64_t kMaxPixels = 1ull << 28;

struct DibObject {
    ImgctlDibData data{};
    BITMAPINFOHEADER header{};
    std::vector<uint8_t> bits;
};

std::mutex& HandleLock() {
    static std::mutex lock;
    return lock;
}

std::set<const DibObject*>& LiveHandles() {
    static std::set<const DibObject*> handles;
    return handles;
}

DibObject* FromHandle(HANDLE handle) {
    std::lock_guard<std::mutex> hold(HandleLock());
    auto* object = static_cast<DibObject*>(handle);
    return LiveHandles().count(object) ? object : nullptr;
}

HANDLE Publish(DibObject* object) {
    try {
        std::lock_guard<std::mutex> hold(HandleLock());
        LiveHandles().insert(object);
    } catch (...) {
        delete object;
        return nullptr;
    }
    return object;
}

// COM for the calling thread for the length of one call; a thread that has its own apartment keeps it.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }

private:
    HRESULT result_;
};

template <typename T>
class Com {
public:
    Com() = default;
    ~Com() {
        if (p_) p_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    Com(Com&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    Com& operator=(Com&& other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    T** out() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

std::wstring WidePath(const char* path) {
    if (!path) return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (length <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

// The decoder and first frame of a file.
struct Decoded {
    Com<IWICImagingFactory> factory;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    GUID container{};
};

bool OpenWide(const std::wstring& wide, Decoded& decoded, bool wantFrame) {
    if (wide.empty()) return false;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(decoded.factory.out()))))
        return false;
    if (FAILED(decoded.factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                          WICDecodeMetadataCacheOnDemand, decoded.decoder.out())))
        return false;
    if (FAILED(decoded.decoder->GetContainerFormat(&decoded.container))) return false;
    return !wantFrame || SUCCEEDED(decoded.decoder->GetFrame(0, decoded.frame.out()));
}

bool Open(const char* path, Decoded& decoded, bool wantFrame) {
    return OpenWide(WidePath(path), decoded, wantFrame);
}

// The frame's palette colours (0xAARRGGBB); empty when the frame has none.
std::vector<WICColor> PaletteOf(Decoded& decoded) {
    std::vector<WICColor> colours;
    Com<IWICPalette> palette;
    if (FAILED(decoded.factory->CreatePalette(palette.out()))) return colours;
    if (FAILED(decoded.frame->CopyPalette(palette.get()))) return colours;
    UINT count = 0;
    if (FAILED(palette->GetColorCount(&count)) || count == 0 || count > 256) return colours;
    colours.resize(count);
    UINT got = 0;
    if (FAILED(palette->GetColors(count, colours.data(), &got))) got = 0;
    colours.resize(got);
    return colours;
}

bool HasTransparentEntry(const std::vector<WICColor>& palette) {
    for (WICColor colour : palette)
        if ((colour >> 24) == 0) return true;
    return false;
}

// A colour (0xRRGGBB) that no opaque palette entry has.
uint32_t KeyColour(const std::vector<WICColor>& palette) {
    std::set<uint32_t> used;
    for (WICColor colour : palette)
        if ((colour >> 24) != 0) used.insert(colour & 0xffffff);
    uint32_t key = 0xff00ff;
    while (used.count(key)) key = (key + 0x010305) & 0xffffff;
    return key;
}

// The size that fits maxWidth x maxHeight keeping the proportions of width x height, never larger
// than it; 0 x 0 asks for the full size.
void FitSize(UINT width, UINT height, int maxWidth, int maxHeight, UINT& fitWidth, UINT& fitHeight) {
    fitWidth = width;
    fitHeight = height;
    if (maxWidth <= 0 || maxHeight <= 0) return;
    const uint64_t w = width, h = height, mw = static_cast<uint64_t>(maxWidth), mh = static_cast<uint64_t>(maxHeight);
    if (w <= mw && h <= mh) return;
    if (w * mh >= h * mw) {
        fitWidth = maxWidth;
        fitHeight = static_cast<UINT>(std::max<uint64_t>(1, (h * mw + w / 2) / w));
    } else {
        fitHeight = maxHeight;
        fitWidth = static_cast<UINT>(std::max<uint64_t>(1, (w * mh + h / 2) / h));
    }
}

// IWICBitmapSourceTransform, which not every SDK's wincodec.h declares: a frame's decode at another
// size, orientation or pixel format done by the decoder itself.
struct ReducedDecoder : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height, WICPixelFormatGUID* format,
                                                 WICBitmapTransformOptions transform, UINT stride, UINT size,
                                                 BYTE* buffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform, BOOL* supported) = 0;
};
const IID kIidReducedDecoder = {0x3b16811b, 0x6a43, 0x4ec9, {0xb7, 0x13, 0x3d, 0x5a, 0x0c, 0x13, 0xb9, 0x40}};

// Reduced-size decodes are taken only when their result stays this small (pixels).
constexpr uint64_t kMaxReducedPixels = 1ull << 22;

// The frame decoded by the decoder itself at the smallest size it offers that is not below
// width x height, when that is smaller than the frame and small enough to hold; null otherwise.
Com<IWICBitmap> ReducedDecode(Decoded& decoded, UINT frameWidth, UINT frameHeight, UINT width, UINT height) {
    Com<IWICBitmap> bitmap;
    Com<ReducedDecoder> transform;
    if (FAILED(decoded.frame->QueryInterface(kIidReducedDecoder, reinterpret_cast<void**>(transform.out()))))
        return bitmap;
    UINT closeWidth = width, closeHeight = height;
    if (FAILED(transform->GetClosestSize(&closeWidth, &closeHeight))) return bitmap;
    if (closeWidth < width || closeHeight < height || closeWidth >= frameWidth || closeHeight >= frameHeight ||
        static_cast<uint64_t>(closeWidth) * closeHeight > kMaxReducedPixels)
        return bitmap;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(transform->GetClosestPixelFormat(&format))) return bitmap;
    Com<IWICComponentInfo> info;
    Com<IWICPixelFormatInfo> formatInfo;
    UINT bits = 0;
    if (FAILED(decoded.factory->CreateComponentInfo(format, info.out())) ||
        FAILED(info->QueryInterface(IID_IWICPixelFormatInfo, reinterpret_cast<void**>(formatInfo.out()))) ||
        FAILED(formatInfo->GetBitsPerPixel(&bits)) || bits == 0 || bits > 128)
        return bitmap;
    const UINT stride = (closeWidth * bits + 31) / 32 * 4;
    std::vector<uint8_t> pixels;
    try {
        pixels.resize(static_cast<size_t>(stride) * closeHeight);
    } catch (...) {
        return bitmap;
    }
    if (FAILED(transform->CopyPixels(nullptr, closeWidth, closeHeight, &format, WICBitmapTransformRotate0, stride,
                                     static_cast<UINT>(pixels.size()), pixels.data())))
        return bitmap;
    decoded.factory->CreateBitmapFromMemory(closeWidth, closeHeight, format, stride, static_cast<UINT>(pixels.size()),
                                            pixels.data(), bitmap.out());
    return bitmap;
}

// A 32-bit bottom-up DibObject of the first frame, BGRA with straight alpha, scaled to fit
// maxWidth x maxHeight (0 x 0: full size). Rows are pulled one at a time into their place, so
// nothing but the result is held here.
DibObject* DecodeBgra(Decoded& decoded, int maxWidth = 0, int maxHeight = 0) {
    UINT frameWidth = 0, frameHeight = 0;
    if (FAILED(decoded.frame->GetSize(&frameWidth, &frameHeight)) || frameWidth == 0 || frameHeight == 0) return nullptr;
    if (static_cast<uint64_t>(frameWidth) * frameHeight > kMaxPixels) return nullptr;
    UINT width = 0, height = 0;
    FitSize(frameWidth, frameHeight, maxWidth, maxHeight, width, height);

    IWICBitmapSource* source = decoded.frame.get();
    Com<IWICBitmap> reduced;
    if (width != frameWidth || height != frameHeight) {
        reduced = ReducedDecode(decoded, frameWidth, frameHeight, width, height);
        if (reduced) source = reduced.get();
    }
    // Premultiplied alpha while scaling, so that the colour of transparent pixels does not bleed.
    Com<IWICFormatConverter> converter;
    if (FAILED(decoded.factory->CreateFormatConverter(converter.out()))) return nullptr;
    const bool scaling = width != frameWidth || height != frameHeight;
    const bool premultiplied =
        scaling && SUCCEEDED(converter->Initialize(source, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                                   nullptr, 0.0, WICBitmapPaletteTypeCustom));
    if (!premultiplied && FAILED(converter->Initialize(source, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                                       nullptr, 0.0, WICBitmapPaletteTypeCustom)))
        return nullptr;
    IWICBitmapSource* rows = converter.get();
    Com<IWICBitmapScaler> scaler;
    if (scaling) {
        if (FAILED(decoded.factory->CreateBitmapScaler(scaler.out())) ||
            FAILED(scaler->Initialize(converter.get(), width, height, WICBitmapInterpolationModeFant)))
            return nullptr;
        rows = scaler.get();
    }

    std::unique_ptr<DibObject> object(new (std::nothrow) DibObject());
    if (!object) return nullptr;
    const UINT stride = width * 4;
    try {
        object->bits.resize(static_cast<size_t>(stride) * height);
    } catch (...) {
        return nullptr;
    }
    // WIC rows run from the top; the bitmap's from the bottom.
    for (UINT y = 0; y < height; ++y) {
        const WICRect line{0, static_cast<INT>(y), static_cast<INT>(width), 1};
        if (FAILED(rows->CopyPixels(&line, stride, stride, &object->bits[static_cast<size_t>(height - 1 - y) * stride])))
            return nullptr;
    }
    if (premultiplied)
        for (size_t i = 0; i + 3 < object->bits.size(); i += 4) {
            const unsigned alpha = object->bits[i + 3];
            if (alpha == 0 || alpha == 255) continue;
            for (size_t c = i; c < i + 3; ++c)
                object->bits[c] = static_cast<uint8_t>(std::min(255u, (object->bits[c] * 255u + alpha / 2) / alpha));
        }

    BITMAPINFOHEADER& header = object->header;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = static_cast<LONG>(width);
    header.biHeight = static_cast<LONG>(height);
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(object->bits.size());
    return object.release();
}

void Describe(DibObject& object) {
    object.data.size = sizeof(ImgctlDibData);
    object.data.header = &object.header;
    object.data.bits = object.bits.data();
}

}  // namespace

extern "C" {

HANDLE WINAPI ToDIB(const char* path) {
    try {
        ComScope com;
        Decoded decoded;
        if (!Open(path, decoded, true)) return nullptr;
        DibObject* object = DecodeBgra(decoded);
        if (!object) return nullptr;
        if (IsEqualGUID(decoded.container, GUID_ContainerFormatGif)) {
            const std::vector<WICColor> palette = PaletteOf(decoded);
            if (HasTransparentEntry(palette)) {
                const uint32_t key = KeyColour(palette);
                for (size_t i = 0; i + 3 < object->bits.size(); i += 4)
                    if (object->bits[i + 3] == 0) {
                        object->bits[i] = key & 0xff;
                        object->bits[i + 1] = (key >> 8) & 0xff;
                        object->bits[i + 2] = (key >> 16) & 0xff;
                    }
            }
        }
        Describe(*object);
        return Publish(object);
    } catch (...) {
        return nullptr;
    }
}

int WINAPI DIBto24Bit(HANDLE dib) {
    try {
        DibObject* object = FromHandle(dib);
        if (!object) return 0;
        BITMAPINFOHEADER& header = object->header;
        if (header.biBitCount == 24) return 1;
        if (header.biBitCount != 32) return 0;
        const int width = header.biWidth, height = header.biHeight;
        const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
        std::vector<uint8_t> bits(stride * height, 0);
        for (int y = 0; y < height; ++y) {
            const uint8_t* s = &object->bits[static_cast<size_t>(y) * width * 4];
            uint8_t* d = &bits[y * stride];
            for (int x = 0; x < width; ++x, s += 4, d += 3) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        }
        object->bits.swap(bits);
        header.biBitCount = 24;
        header.biSizeImage = static_cast<DWORD>(object->bits.size());
        Describe(*object);
        return 1;
    } catch (...) {
        return 0;
    }
}

ImgctlDibData* WINAPI DataDIB(HANDLE dib) {
    try {
        DibObject* object = FromHandle(dib);
        return object ? &object->data : nullptr;
    } catch (...) {
        return nullptr;
    }
}

BOOL WINAPI DeleteDIB(HANDLE dib) {
    try {
        std::lock_guard<std::mutex> hold(HandleLock());
        auto* object = static_cast<DibObject*>(dib);
        if (!LiveHandles().erase(object)) return FALSE;
        delete object;
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

int WINAPI GetImageType(const char* path, int reserved) {
    try {
        ComScope com;
        Decoded decoded;
        if (!Open(path, decoded, false)) return kImageTypeNone;
        const GUID& format = decoded.container;
        if (IsEqualGUID(format, GUID_ContainerFormatPng)) return kImageTypePng;
        if (IsEqualGUID(format, GUID_ContainerFormatGif)) return kImageTypeGif;
        if (IsEqualGUID(format, GUID_ContainerFormatBmp)) return kImageTypeBmp;
        if (IsEqualGUID(format, GUID_ContainerFormatJpeg)) return kImageTypeJpeg;
        if (IsEqualGUID(format, GUID_ContainerFormatTiff)) return kImageTypeTiff;
        return kImageTypeOther;
    } catch (...) {
        return kImageTypeNone;
    }
}

HANDLE WINAPI GIFtoDIBex(const char* path, ImgctlGifInfo* info) {
    try {
        ComScope com;
        Decoded decoded;
        if (!Open(path, decoded, true) || !IsEqualGUID(decoded.container, GUID_ContainerFormatGif)) return nullptr;
        const std::vector<WICColor> palette = PaletteOf(decoded);
        DibObject* object = DecodeBgra(decoded);
        if (!object) return nullptr;
        Describe(*object);
        if (info) {
            const bool wanted = (info->flags & kGifTransparentFlag) != 0;
            info->flags &= ~kGifTransparentFlag;
            if (wanted && HasTransparentEntry(palette)) {
                const uint32_t key = KeyColour(palette);
                info->flags |= kGifTransparentFlag;
                info->transparent[0] = key & 0xff;
                info->transparent[1] = (key >> 8) & 0xff;
                info->transparent[2] = (key >> 16) & 0xff;
            }
        }
        return Publish(object);
    } catch (...) {
        return nullptr;
    }
}

HANDLE WINAPI ToDIBScaledW(const wchar_t* path, int maxWidth, int maxHeight) {
    try {
        ComScope com;
        Decoded decoded;
        if (!path || !OpenWide(path, decoded, true)) return nullptr;
        DibObject* object = DecodeBgra(decoded, maxWidth, maxHeight);
        if (!object) return nullptr;
        Describe(*object);
        return Publish(object);
    } catch (...) {
        return nullptr;
    }
}

HANDLE WINAPI PNGAtoDIB(const char* path) {
    try {
        ComScope com;
        Decoded decoded;
        if (!Open(path, decoded, true)) return nullptr;
        std::unique_ptr<DibObject> colour(DecodeBgra(decoded));
        if (!colour) return nullptr;
        const int width = colour->header.biWidth, height = colour->header.biHeight;
        std::unique_ptr<DibObject> mask(new (std::nothrow) DibObject());
        if (!mask) return nullptr;
        const size_t stride = (static_cast<size_t>(width) + 3) & ~static_cast<size_t>(3);
        mask->bits.assign(stride * height, 0);
        for (int y = 0; y < height; ++y) {
            const uint8_t* s = &colour->bits[static_cast<size_t>(y) * width * 4];
            uint8_t* d = &mask->bits[y * stride];
            for (int x = 0; x < width; ++x) d[x] = s[x * 4 + 3];
        }
        mask->header = colour->header;
        mask->header.biBitCount = 8;
        mask->header.biSizeImage = static_cast<DWORD>(mask->bits.size());
        Describe(*mask);
        return Publish(mask.release());
    } catch (...) {
        return nullptr;
    }
}

}  // extern "C"
