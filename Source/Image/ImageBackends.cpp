// The image library and the image plug-ins, loaded from "imglib" beside the executable.
//
// Whatever an external decoder reports about sizes is checked, in 64 bits, against the bytes it
// really handed over before anything is read: a bitmap whose header claims more rows or a wider
// row than its block holds is refused, never read past.
//
// Two locks. Every call into the plug-ins, or into a library without the wide entry point, holds the
// decode lock, so a decoder written for one thread is never entered twice at once; loading and
// unloading take it too, so no module goes away under a decode, and while it is held the records
// below do not change. The state lock guards the records and is held exclusively only while they
// change: this program's own library, which decodes on several threads at once, is called holding
// it shared, and IsLoadableImage takes only it, so the UI thread never waits for a decode in
// progress to decide whether a file is an image.
#include "Image/ImageBackends.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <vector>

#include "Image/DibImage.h"
#include "Image/ImageInterfaces.h"
#include "Kv/KvHandles.h"
#include "Kv/KvSlowPaths.h"

namespace {

// The largest image any decoder may hand over (pixels); far above any thumbnail source, far below
// what would exhaust the address space.
constexpr uint64_t kMaxPixels = 1ull << 28;

struct ImageLibrary {
    HMODULE module = nullptr;
    ImgctlToDib toDib = nullptr;
    ImgctlDibTo24Bit dibTo24Bit = nullptr;
    ImgctlDataDib dataDib = nullptr;
    ImgctlDeleteDib deleteDib = nullptr;
    ImgctlGetImageType getImageType = nullptr;
    ImgctlGifToDibEx gifToDibEx = nullptr;
    ImgctlPngaToDib pngaToDib = nullptr;
    ImgctlToDibScaledW toDibScaledW = nullptr;  // only in this program's own library
};

struct Plugin {
    HMODULE module = nullptr;
    PluginGetInfo getPluginInfo = nullptr;
    PluginIsSupported isSupported = nullptr;
    PluginGetPictureInfo getPictureInfo = nullptr;
    PluginGetPicture getPicture = nullptr;
};

// Process-wide state at namespace scope: made before and destroyed after any object that may
// unload the decoders from its destructor.
std::mutex g_decodeLock;
std::shared_mutex g_stateLock;
ImageLibrary g_library;
std::vector<Plugin> g_plugins;
std::wstring g_imglibOverride;

// Held while records change: the decode lock first, then the state lock.
struct ChangeLock {
    std::lock_guard<std::mutex> decode{g_decodeLock};
    std::unique_lock<std::shared_mutex> state{g_stateLock};
};

ImageLibrary& Library() { return g_library; }
std::vector<Plugin>& Plugins() { return g_plugins; }

std::wstring& ImglibOverride() { return g_imglibOverride; }

std::wstring ImglibDirectory() {
    if (!ImglibOverride().empty()) return ImglibOverride();
    std::wstring module(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &module[0], static_cast<DWORD>(module.size()));
        if (length == 0) return L"imglib\\";
        if (length < module.size()) {
            module.resize(length);
            break;
        }
        module.resize(module.size() * 2);
    }
    return module.substr(0, module.find_last_of(L"\\/") + 1) + L"imglib\\";
}

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

// The row length of a bitmap of `bitCount` bits per pixel whose header describes width x height
// rows, when the `blockBytes` it was handed over in hold all of them; 0 otherwise.
uint64_t CheckedStride(const BITMAPINFOHEADER* header, WORD bitCount, uint64_t blockBytes) {
    if (!header || header->biSize < sizeof(BITMAPINFOHEADER)) return 0;
    if (header->biBitCount != bitCount || header->biCompression != BI_RGB) return 0;
    if (header->biWidth <= 0 || header->biHeight <= 0) return 0;
    const uint64_t width = static_cast<uint64_t>(header->biWidth), height = static_cast<uint64_t>(header->biHeight);
    if (width * height > kMaxPixels) return 0;
    const uint64_t stride = (width * bitCount + 31) / 32 * 4;
    return stride * height <= blockBytes ? stride : 0;
}

// A row buffer of blue, green, red, alpha for `width` pixels; empty when it cannot be had.
std::vector<uint8_t> RowBuffer(int width) {
    try {
        return std::vector<uint8_t>(static_cast<size_t>(width) * 4, 255);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

void FreePlugins() {
    for (const Plugin& plugin : Plugins()) FreeLibrary(plugin.module);
    Plugins().clear();
}

void FreeLibraryState() {
    ImageLibrary& library = Library();
    if (library.module) FreeLibrary(library.module);
    library = ImageLibrary{};
}

// The file's first 2000 bytes, as IsSupported takes them; missing bytes stay zero.
std::vector<char> ReadHead(const std::wstring& path) {
    std::vector<char> head(kPluginHeadBytes, 0);
    KvPathCallGate(path);
    kv::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (!file) return head;
    DWORD read = 0;
    ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr);
    return head;
}

const Plugin* PluginFor(const std::vector<char>& head, const std::string& ansi) {
    for (const Plugin& plugin : Plugins())
        if (plugin.isSupported(ansi.c_str(), const_cast<char*>(head.data())) != 0) return &plugin;
    return nullptr;
}

// Whether `extension` (with its dot, any case) names a format the image library decodes.
bool LibraryExtension(const std::wstring& extension) {
    static const wchar_t* const kExtensions[] = {L".png", L".jpg", L".jpeg", L".jpe", L".gif", L".bmp", L".dib",
                                                 L".tif", L".tiff", L".ico", L".dds", L".jxr", L".wdp", L".webp"};
    for (const wchar_t* known : kExtensions)
        if (CompareStringOrdinal(extension.c_str(), -1, known, -1, TRUE) == CSTR_EQUAL) return true;
    return false;
}

// Whether the first bytes are the signature of a format the image library decodes (what the
// Windows Imaging Component reads: PNG, JPEG, GIF, BMP, TIFF, icons, DDS, JPEG XR, WebP).
bool LibrarySignature(const std::vector<char>& head) {
    const auto starts = [&head](const char* bytes, size_t count, size_t at = 0) {
        return std::memcmp(head.data() + at, bytes, count) == 0;
    };
    return starts("\x89PNG\r\n\x1a\n", 8) || starts("\xff\xd8\xff", 3) || starts("GIF87a", 6) || starts("GIF89a", 6) ||
           starts("BM", 2) || starts("II*\0", 4) || starts("MM\0*", 4) || starts("\0\0\1\0", 4) || starts("DDS ", 4) ||
           starts("II\xbc", 3) || (starts("RIFF", 4) && starts("WEBP", 4, 8));
}

// Local-memory blocks handed over by a plug-in, freed on every path.
struct LocalBlock {
    HANDLE handle = nullptr;
    ~LocalBlock() {
        if (handle) LocalFree(handle);
    }
};

// A decoded bitmap of the image library, released with DeleteDIB on every path.
struct LibraryDib {
    const ImageLibrary& library;
    HANDLE handle;
    ~LibraryDib() {
        if (handle) library.deleteDib(handle);
    }
};

// Hands the rows of a bottom-up bitmap of 24 or 32 bits per pixel to `sink`.
bool StreamBitmap(const BITMAPINFOHEADER& header, const uint8_t* bits, uint64_t stride, PictureSink& sink) {
    const int width = header.biWidth, height = header.biHeight;
    std::vector<uint8_t> row = RowBuffer(width);
    if (row.empty() || !sink.Begin(width, height)) return false;
    const int bytesPerPixel = header.biBitCount / 8;
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = bits + stride * static_cast<uint64_t>(y);
        if (bytesPerPixel == 4) {
            sink.Row(y, p);
            continue;
        }
        for (int x = 0; x < width; ++x, p += bytesPerPixel) std::memcpy(&row[static_cast<size_t>(x) * 4], p, 3);
        sink.Row(y, row.data());
    }
    return true;
}

// The seven ANSI entry points: the bitmap, then the GIF's transparent colour or the PNG's alpha
// plane, each decoded again by the library.
bool DecodeWithAnsiLibrary(const ImageLibrary& library, const std::string& ansi, DibImage& image) {
    LibraryDib dib{library, library.toDib(ansi.c_str())};
    if (!dib.handle || library.dibTo24Bit(dib.handle) == 0) return false;
    const ImgctlDibData* data = library.dataDib(dib.handle);
    if (!data || !data->bits || !data->header) return false;
    const uint64_t stride = CheckedStride(data->header, 24, data->header->biSizeImage);
    if (stride == 0 || !image.Allocate(data->header->biHeight, data->header->biWidth)) return false;
    std::memcpy(image.pixels.data(), data->bits, image.pixels.size());

    const int type = library.getImageType(ansi.c_str(), 0);
    if (type == kImageTypeGif) {
        ImgctlGifInfo info{};
        info.flags = kGifTransparentFlag;
        LibraryDib gif{library, library.gifToDibEx(ansi.c_str(), &info)};
        if (!gif.handle || !(info.flags & kGifTransparentFlag)) return true;
        for (int row = 0; row < image.height; ++row) {
            const uint8_t* p = &image.pixels[image.PixelOffset(row, 0)];
            uint8_t* a = &image.alpha[image.AlphaOffset(row, 0)];
            for (int x = 0; x < image.width; ++x, p += 3)
                a[x] = (p[0] == info.transparent[0] && p[1] == info.transparent[1] && p[2] == info.transparent[2]) ? 0 : 255;
        }
    } else if (type == kImageTypePng) {
        LibraryDib mask{library, library.pngaToDib(ansi.c_str())};
        const ImgctlDibData* alpha = mask.handle ? library.dataDib(mask.handle) : nullptr;
        if (alpha && alpha->bits && alpha->header && alpha->header->biWidth == image.width &&
            alpha->header->biHeight == image.height && CheckedStride(alpha->header, 8, alpha->header->biSizeImage) != 0)
            std::memcpy(image.alpha.data(), alpha->bits, image.alpha.size());
    }
    return true;
}

}  // namespace

void SetImglibDirectory(const std::wstring& directory) {
    ChangeLock hold;
    ImglibOverride() = directory;
}

namespace {

bool ExactAnsi(const std::wstring& path, std::string& ansi) {
    BOOL lossy = FALSE;
    char buffer[512];
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, buffer, sizeof(buffer),
                                           nullptr, &lossy);
    if (length <= 0 || lossy) return false;
    ansi.assign(buffer, static_cast<size_t>(length - 1));
    return true;
}

}  // namespace

bool AnsiPath(const std::wstring& path, std::string& ansi) {
    ansi.clear();
    if (path.empty()) return false;
    if (ExactAnsi(path, ansi)) return true;
    // The short (8.3) form names the same file and is often spelled in plain ASCII.
    wchar_t shortPath[MAX_PATH];
    const DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    return ExactAnsi(shortPath, ansi);
}

bool LoadImageLibrary() {
    ChangeLock hold;
    FreeLibraryState();
    const std::wstring path = ImglibDirectory() + L"imgctl.dll";
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return false;
    ImageLibrary& library = Library();
    library.module = module;
    const bool complete = Resolve(module, "ToDIB", library.toDib) && Resolve(module, "DIBto24Bit", library.dibTo24Bit) &&
                          Resolve(module, "DataDIB", library.dataDib) && Resolve(module, "DeleteDIB", library.deleteDib) &&
                          Resolve(module, "GetImageType", library.getImageType) &&
                          Resolve(module, "GIFtoDIBex", library.gifToDibEx) && Resolve(module, "PNGAtoDIB", library.pngaToDib);
    if (!complete) FreeLibraryState();
    else Resolve(module, "ToDIBScaledW", library.toDibScaledW);
    return true;
}

void UnloadImageLibrary() {
    ChangeLock hold;
    FreeLibraryState();
}

bool ImageLibraryLoaded() {
    std::shared_lock<std::shared_mutex> hold(g_stateLock);
    return Library().module != nullptr;
}

void LoadPlugins() {
    ChangeLock hold;
    FreePlugins();
    const std::wstring directory = ImglibDirectory() + L"spi\\";
    WIN32_FIND_DATAW found{};
    kv::UniqueFind find(FindFirstFileW((directory + L"*").c_str(), &found));
    if (!find) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::wstring path = directory + found.cFileName;
        HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!module) continue;
        Plugin plugin;
        plugin.module = module;
        if (!Resolve(module, "IsSupported", plugin.isSupported) || !Resolve(module, "GetPictureInfo", plugin.getPictureInfo) ||
            !Resolve(module, "GetPicture", plugin.getPicture)) {
            FreeLibrary(module);
            continue;
        }
        if (Resolve(module, "GetPluginInfo", plugin.getPluginInfo)) {
            char text[256] = {};
            const int length = plugin.getPluginInfo(2, text, sizeof(text));
            if (length != 0) {
                text[sizeof(text) - 1] = '\0';
                OutputDebugStringA((std::string(text) + "\n").c_str());
            }
        }
        Plugins().push_back(plugin);
    } while (FindNextFileW(find.get(), &found));
}

void UnloadPlugins() {
    ChangeLock hold;
    FreePlugins();
}

namespace {

std::mutex g_holdsLock;
size_t g_holds = 0;

}  // namespace

ImageDecodersHold::ImageDecodersHold() {
    std::lock_guard<std::mutex> hold(g_holdsLock);
    if (g_holds++ > 0) return;
    LoadImageLibrary();
    LoadPlugins();
}

ImageDecodersHold::~ImageDecodersHold() {
    std::lock_guard<std::mutex> hold(g_holdsLock);
    if (--g_holds > 0) return;
    UnloadPlugins();
    UnloadImageLibrary();
}

size_t PluginCount() {
    std::shared_lock<std::shared_mutex> hold(g_stateLock);
    return Plugins().size();
}

bool IsLoadableImage(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.find_last_of(L'.');
    const std::wstring extension =
        dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash) ? path.substr(dot) : std::wstring();
    if (extension == L".tga" || extension == L".argb") return true;
    // A file on a share or a slow drive is not read on the caller's thread: its extension decides.
    if (KvMayBlock(path)) {
        std::shared_lock<std::shared_mutex> hold(g_stateLock);
        return Library().module && LibraryExtension(extension);
    }
    const std::vector<char> head = ReadHead(path);
    std::shared_lock<std::shared_mutex> hold(g_stateLock);
    if (Library().module && LibrarySignature(head)) return true;
    // A plug-in's IsSupported looks only at the name and the bytes it is given, so it is asked
    // without waiting for a decode.
    std::string ansi;
    return !Plugins().empty() && AnsiPath(path, ansi) && PluginFor(head, ansi) != nullptr;
}

bool LoadWithImageLibrary(const std::wstring& path, PictureSink& sink, int maxWidth, int maxHeight) {
    {
        // This program's own library decodes on any number of threads at once; holding the state
        // lock shared keeps it loaded meanwhile.
        std::shared_lock<std::shared_mutex> hold(g_stateLock);
        const ImageLibrary& library = Library();
        if (!library.module) return false;
        if (library.toDibScaledW) {
            LibraryDib dib{library, library.toDibScaledW(path.c_str(), std::max(maxWidth, 0), std::max(maxHeight, 0))};
            const ImgctlDibData* data = dib.handle ? library.dataDib(dib.handle) : nullptr;
            if (!data || !data->bits || !data->header) return false;
            const uint64_t stride = CheckedStride(data->header, 32, data->header->biSizeImage);
            return stride != 0 && StreamBitmap(*data->header, data->bits, stride, sink);
        }
    }
    std::lock_guard<std::mutex> hold(g_decodeLock);
    const ImageLibrary& library = Library();
    if (!library.module) return false;
    std::string ansi;
    DibImage image;
    if (!AnsiPath(path, ansi) || !DecodeWithAnsiLibrary(library, ansi, image)) return false;
    std::vector<uint8_t> row = RowBuffer(image.width);
    if (row.empty() || !sink.Begin(image.width, image.height)) return false;
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* p = &image.pixels[image.PixelOffset(y, 0)];
        const uint8_t* a = &image.alpha[image.AlphaOffset(y, 0)];
        for (int x = 0; x < image.width; ++x, p += 3) {
            std::memcpy(&row[static_cast<size_t>(x) * 4], p, 3);
            row[static_cast<size_t>(x) * 4 + 3] = a[x];
        }
        sink.Row(y, row.data());
    }
    return true;
}

bool LoadWithPlugins(const std::wstring& path, PictureSink& sink) {
    std::string ansi;
    if (!AnsiPath(path, ansi)) return false;
    const std::vector<char> head = ReadHead(path);
    std::lock_guard<std::mutex> hold(g_decodeLock);
    const Plugin* plugin = PluginFor(head, ansi);
    if (!plugin) return false;
    LocalBlock info, bits;
    if (plugin->getPicture(ansi.c_str(), 0, 0, &info.handle, &bits.handle, nullptr, 0) != 0) return false;
    if (!info.handle || !bits.handle) return false;
    if (LocalSize(info.handle) < sizeof(BITMAPINFOHEADER)) return false;
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LocalLock(info.handle));
    const uint8_t* data = static_cast<const uint8_t*>(LocalLock(bits.handle));
    bool done = false;
    if (header && data) {
        const uint64_t stride = CheckedStride(header, 24, LocalSize(bits.handle));
        done = stride != 0 && StreamBitmap(*header, data, stride, sink);
    }
    if (data) LocalUnlock(bits.handle);
    if (header) LocalUnlock(info.handle);
    return done;
}
