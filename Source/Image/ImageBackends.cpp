// The image library and the image plug-ins, loaded from "imglib" beside the executable.
//
// Whatever an external decoder reports about sizes is checked before it is used: a bitmap whose
// header claims more rows or a wider row than the bytes it holds is refused, never read past.
#include "Image/ImageBackends.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "Image/DibImage.h"
#include "Image/ImageInterfaces.h"
#include "Kv/KvHandles.h"

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
std::recursive_mutex g_backendLock;
ImageLibrary g_library;
std::vector<Plugin> g_plugins;
std::wstring g_imglibOverride;

std::recursive_mutex& BackendLock() { return g_backendLock; }
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

// A bitmap header that describes `width` x `height` rows of `bitCount` bits with at least as many
// bytes as it claims to hold; `stride` receives its row length.
bool SaneHeader(const BITMAPINFOHEADER* header, WORD bitCount, int& stride) {
    if (!header || header->biSize < sizeof(BITMAPINFOHEADER)) return false;
    if (header->biBitCount != bitCount || header->biCompression != BI_RGB) return false;
    if (header->biWidth <= 0 || header->biHeight <= 0) return false;
    const uint64_t pixels = static_cast<uint64_t>(header->biWidth) * static_cast<uint64_t>(header->biHeight);
    if (pixels > kMaxPixels) return false;
    stride = ((header->biWidth * bitCount + 31) / 32) * 4;
    return true;
}

void FreeLibraryState() {
    ImageLibrary& library = Library();
    if (library.module) FreeLibrary(library.module);
    library = ImageLibrary{};
}

// Reads the file's first 2000 bytes for IsSupported; missing bytes stay zero.
void ReadPluginHead(const std::wstring& path, std::vector<char>& head) {
    head.assign(kPluginHeadBytes, 0);
    kv::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (!file) return;
    DWORD read = 0;
    ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr);
}

const Plugin* PluginFor(const std::wstring& path, const std::string& ansi) {
    std::vector<Plugin>& plugins = Plugins();
    if (plugins.empty()) return nullptr;
    std::vector<char> head;
    ReadPluginHead(path, head);
    for (const Plugin& plugin : plugins)
        if (plugin.isSupported(ansi.c_str(), head.data()) != 0) return &plugin;
    return nullptr;
}

// Local-memory blocks handed over by a plug-in, freed on every path.
struct LocalBlock {
    HANDLE handle = nullptr;
    ~LocalBlock() {
        if (handle) LocalFree(handle);
    }
};

}  // namespace

void SetImglibDirectory(const std::wstring& directory) {
    std::lock_guard<std::recursive_mutex> hold(BackendLock());
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
    std::lock_guard<std::recursive_mutex> hold(BackendLock());
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
    return true;
}

void UnloadImageLibrary() {
    std::lock_guard<std::recursive_mutex> hold(BackendLock());
    FreeLibraryState();
}

bool ImageLibraryLoaded() {
    std::lock_guard<std::recursive_mutex> hold(BackendLock());
    return Library().module != nullptr;
}

void LoadPlugins() {
    std::lock_guard<std::recursive_mutex> hold(BackendLock());
    UnloadPlugins();
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
    std::lock_guard<std::recursive_mutex> hold(BackendLock());
    for (const Plugin& plugin : Plugins()) FreeLibrary(plugin.module);
    Plugins().clear();
}

size_t PluginCount() {
    std::lock_guard<std::recursive_mutex> hold(BackendLock());
    return Plugins().size();
}

bool IsLoadableImage(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.find_last_of(L'.');
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) {
        const std::wstring extension = path.substr(dot);
        if (extension == L".tga" || extension == L".argb") return true;
    }
    std::string ansi;
    if (!AnsiPath(path, ansi)) return false;
    std::lock_guard<std::recursive_mutex> hold(BackendLock());
    const ImageLibrary& library = Library();
    if (library.module && library.getImageType(ansi.c_str(), 0) != kImageTypeNone) return true;
    return PluginFor(path, ansi) != nullptr;
}

bool LoadWithImageLibrary(const std::wstring& path, DibImage& image) {
    std::string ansi;
    if (!AnsiPath(path, ansi)) return false;
    std::lock_guard<std::recursive_mutex> hold(BackendLock());
    const ImageLibrary& library = Library();
    if (!library.module) return false;
    HANDLE dib = library.toDib(ansi.c_str());
    if (!dib) return false;
    bool copied = false;
    if (library.dibTo24Bit(dib) != 0) {
        const ImgctlDibData* data = library.dataDib(dib);
        int stride = 0;
        if (data && data->bits && SaneHeader(data->header, 24, stride) &&
            data->header->biSizeImage >= static_cast<uint64_t>(stride) * data->header->biHeight &&
            image.Allocate(data->header->biHeight, data->header->biWidth)) {
            std::memcpy(image.pixels.data(), data->bits, image.pixels.size());
            copied = true;
        }
    }
    library.deleteDib(dib);
    if (!copied) return false;

    const int type = library.getImageType(ansi.c_str(), 0);
    if (type == kImageTypeGif) {
        ImgctlGifInfo info{};
        info.flags = kGifTransparentFlag;
        if (HANDLE gif = library.gifToDibEx(ansi.c_str(), &info)) {
            library.deleteDib(gif);
            if (info.flags & kGifTransparentFlag) {
                for (int row = 0; row < image.height; ++row) {
                    const uint8_t* p = &image.pixels[image.PixelOffset(row, 0)];
                    uint8_t* a = &image.alpha[image.AlphaOffset(row, 0)];
                    for (int x = 0; x < image.width; ++x, p += 3)
                        a[x] = (p[0] == info.transparent[0] && p[1] == info.transparent[1] && p[2] == info.transparent[2])
                                   ? 0 : 255;
                }
            }
        }
    } else if (type == kImageTypePng) {
        if (HANDLE mask = library.pngaToDib(ansi.c_str())) {
            const ImgctlDibData* data = library.dataDib(mask);
            int stride = 0;
            if (data && data->bits && SaneHeader(data->header, 8, stride) && data->header->biWidth == image.width &&
                data->header->biHeight == image.height &&
                data->header->biSizeImage >= static_cast<uint64_t>(stride) * image.height)
                std::memcpy(image.alpha.data(), data->bits, image.alpha.size());
            library.deleteDib(mask);
        }
    }
    return true;
}

bool LoadWithPlugins(const std::wstring& path, DibImage& image) {
    std::string ansi;
    if (!AnsiPath(path, ansi)) return false;
    std::lock_guard<std::recursive_mutex> hold(BackendLock());
    const Plugin* plugin = PluginFor(path, ansi);
    if (!plugin) return false;
    LocalBlock info, bits;
    if (plugin->getPicture(ansi.c_str(), 0, 0, &info.handle, &bits.handle, nullptr, 0) != 0) return false;
    if (!info.handle || !bits.handle) return false;
    if (LocalSize(info.handle) < sizeof(BITMAPINFOHEADER)) return false;
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LocalLock(info.handle));
    const uint8_t* data = static_cast<const uint8_t*>(LocalLock(bits.handle));
    bool done = false;
    int stride = 0;
    if (header && data && SaneHeader(header, 24, stride) &&
        LocalSize(bits.handle) >= static_cast<uint64_t>(stride) * header->biHeight &&
        image.Allocate(header->biHeight, header->biWidth)) {
        std::memcpy(image.pixels.data(), data, image.pixels.size());
        done = true;
    }
    if (data) LocalUnlock(bits.handle);
    if (header) LocalUnlock(info.handle);
    return done;
}
