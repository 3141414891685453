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
#include <cstdlib>
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
// Nor may a file claim more pixels than its bytes could hold: no format read here packs more than
// about 8,000 pixels into a byte (a one-bit PNG of one colour at deflate's best ratio). A header
// claiming more is lying, and decoding it would only have the platform's decoder allocate the whole
// frame for nothing. Uncompressed bitmaps must hold every row (BmpRowsPresent).
constexpr uint64_t kMaxPixelsPerFileByte = 16384;
constexpr uint64_t kMinClaimBytes = 4096;

// The containers decoded here: the formats of the Windows Imaging Component on every system. Other
// decoders a system may have (such as a TGA one) are not used; the program reads TGA itself.
const GUID* const kContainers[] = {&GUID_ContainerFormatPng, &GUID_ContainerFormatJpeg, &GUID_ContainerFormatGif,
                                   &GUID_ContainerFormatBmp, &GUID_ContainerFormatTiff, &GUID_ContainerFormatIco,
                                   &GUID_ContainerFormatWmp, &GUID_ContainerFormatDds, &GUID_ContainerFormatWebp};

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
    std::wstring path;
    uint64_t fileSize = 0;
};

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// Whether a bitmap file without compression holds all the rows its header claims (compressed ones
// answer true). Layout: file header of 14 bytes (pixel offset at 10), then the info header (its size
// at 14; width, height at 18 and 22 and bit count at 28, compression at 30 for 40 bytes and more;
// 16-bit width, height and bit count at 18, 20 and 24 for the 12-byte core header).
bool BmpRowsPresent(const Decoded& decoded) {
    uint8_t head[34] = {};
    HANDLE file = CreateFileW(decoded.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD read = 0;
    const bool ok = ReadFile(file, head, sizeof(head), &read, nullptr) && read == sizeof(head);
    CloseHandle(file);
    if (!ok) return false;
    const uint64_t offset = Le32(head + 10);
    uint64_t width = 0, height = 0, bits = 0;
    if (Le32(head + 14) == 12) {
        width = head[18] | head[19] << 8;
        height = head[20] | head[21] << 8;
        bits = head[24] | head[25] << 8;
    } else {
        const uint32_t compression = Le32(head + 30);
        if (compression != BI_RGB && compression != BI_BITFIELDS && compression != 6) return true;
        width = static_cast<uint64_t>(std::abs(static_cast<int64_t>(static_cast<int32_t>(Le32(head + 18)))));
        height = static_cast<uint64_t>(std::abs(static_cast<int64_t>(static_cast<int32_t>(Le32(head + 22)))));
        bits = head[28] | head[29] << 8;
    }
    const uint64_t stride = (width * bits + 31) / 32 * 4;
    return offset <= decoded.fileSize && stride * height <= decoded.fileSize - offset;
}

bool PlausibleSize(uint64_t width, uint64_t height, uint64_t fileSize) {
    const uint64_t pixels = width * height;
    return pixels <= kMaxPixels && pixels <= kMaxPixelsPerFileByte * std::max(fileSize, kMinClaimBytes);
}

// Whether the size the file's header claims is plausible (PlausibleSize), read from the header
// itself before any decoder is asked: some decoders allocate the whole frame as soon as they are
// opened. PNG: width and height big-endian at 16 and 20. GIF: the logical screen at 6 and 8. BMP:
// width and height at 18 and 22. JPEG: every frame header (SOF markers) among the first 64 KB.
// Other formats are checked once the decoder reports their size.
bool HeaderPlausible(const std::wstring& path, uint64_t fileSize) {
    std::vector<uint8_t> head(65536);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD read = 0;
    const bool ok = ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &read, nullptr) != FALSE;
    CloseHandle(file);
    if (!ok) return false;
    head.resize(read);
    const auto be16 = [&head](size_t at) { return static_cast<uint64_t>(head[at] << 8 | head[at + 1]); };
    const auto le16 = [&head](size_t at) { return static_cast<uint64_t>(head[at] | head[at + 1] << 8); };
    const auto be32 = [&](size_t at) { return be16(at) << 16 | be16(at + 2); };
    if (head.size() >= 24 && std::memcmp(head.data(), "\x89PNG", 4) == 0) return PlausibleSize(be32(16), be32(20), fileSize);
    if (head.size() >= 10 && std::memcmp(head.data(), "GIF8", 4) == 0) return PlausibleSize(le16(6), le16(8), fileSize);
    if (head.size() >= 26 && head[0] == 'B' && head[1] == 'M') {
        const auto magnitude = [&](size_t at) {
            return static_cast<uint64_t>(std::abs(static_cast<int64_t>(static_cast<int32_t>(Le32(&head[at])))));
        };
        return PlausibleSize(magnitude(18), magnitude(22), fileSize);
    }
    if (head.size() >= 4 && head[0] == 0xff && head[1] == 0xd8) {
        for (size_t at = 2; at + 9 <= head.size();) {
            if (head[at] != 0xff) return true;  // entropy-coded data or damage: the decoder decides
            const uint8_t marker = head[at + 1];
            if (marker == 0xff) {
                ++at;
                continue;
            }
            const bool frame = marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
            if (frame && !PlausibleSize(be16(at + 7), be16(at + 5), fileSize)) return false;
            if (marker == 0xda) return true;
            at += 2 + be16(at + 2);
        }
    }
    return true;
}

bool OpenWide(const std::wstring& wide, Decoded& decoded, bool wantFrame) {
    if (wide.empty()) return false;
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &attributes)) return false;
    decoded.path = wide;
    decoded.fileSize = (static_cast<uint64_t>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    if (!HeaderPlausible(wide, decoded.fileSize)) return false;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(decoded.factory.out()))))
        return false;
    if (FAILED(decoded.factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                          WICDecodeMetadataCacheOnDemand, decoded.decoder.out())))
        return false;
    if (FAILED(decoded.decoder->GetContainerFormat(&decoded.container))) return false;
    bool known = false;
    for (const GUID* container : kContainers) known = known || IsEqualGUID(decoded.container, *container);
    if (!known) return false;
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
    if (!PlausibleSize(frameWidth, frameHeight, decoded.fileSize)) return nullptr;
    if (IsEqualGUID(decoded.container, GUID_ContainerFormatBmp) && !BmpRowsPresent(decoded)) return nullptr;
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
