// Thumbnail benchmark, printed against goals and baselines measured in the same run:
//  1. one thumbnail of a 4000 x 3000 JPEG (decode, scale, blend) against decoding it alone
//     (goal: at most 3x);
//  2. the peak memory one thumbnail of a 16384 x 16384 PNG and JPEG takes above what was in use
//     before (goal: at most 64 MB), beside what the platform's decoder alone holds for the same
//     file (reading one row) and what the library's ANSI entry points (a full decode, then the
//     alpha plane decoded again) take;
//  3. an image folder of many 1600 x 1200 JPEGs shown in the filer until its first screen of
//     thumbnails is made: the longest time a message posted to the UI thread waits for its answer
//     (goal: under 100 ms), and the time against a loop of full decodes of the same files on one
//     thread (goal: at least 2x faster);
//  4. an image folder of 100,000 entries shown and scrolled from its first item to its last, a
//     screen every 500 items: the process's private bytes at the end and at most meanwhile (goal:
//     under 300 MB), beside those of the same folder model before it was shown, and what an image
//     list holding every entry's thumbnail at once would take.
// The pictures are written with the Windows Imaging Component's encoders. The image library must lie
// in imglib\ beside the benchmark (the build puts it there).
// Usage: bench_images.exe [files-in-folder] [width] [height] [entries-in-large-folder] [huge-side (0: none)]
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <wincodec.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Bench/BenchSupport.h"
#include "Config/GlobalText.h"
#include "Document/Folder.h"
#include "Filer/Kinds/FilerImage.h"
#include "Filer/KvFiler.h"
#include "Image/DibImage.h"
#include "Image/ImageBackends.h"
#include "Image/ImageInterfaces.h"
#include "Kv/KvWindow.h"
#include "Support/TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// A picture of smooth colour bands with fine noise, so that it decodes like a photograph; `noise`
// false leaves the bands alone, which a PNG keeps small.
bool WritePicture(const std::wstring& path, const GUID& container, UINT width, UINT height, unsigned seed,
                  bool noise = true) {
    IWICImagingFactory* factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory))))
        return false;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    bool ok = SUCCEEDED(factory->CreateStream(&stream)) &&
              SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
              SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
              SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
              SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
              SUCCEEDED(frame->SetSize(width, height));
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    ok = ok && SUCCEEDED(frame->SetPixelFormat(&format));
    const UINT stride = width * 3;
    std::vector<BYTE> row(stride);
    unsigned random = seed * 2654435761u + 1;
    for (UINT y = 0; ok && y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            random = random * 1103515245u + 12345u;
            const int n = noise ? static_cast<int>((random >> 16) & 15) : 0;
            row[x * 3] = static_cast<BYTE>((x * 255 / width + n + seed * 40) & 255);
            row[x * 3 + 1] = static_cast<BYTE>((y * 255 / height + n) & 255);
            row[x * 3 + 2] = static_cast<BYTE>(((x + y) / (noise ? 8 : 512) + n) & 255);
        }
        ok = SUCCEEDED(frame->WritePixels(1, stride, stride, row.data()));
    }
    ok = ok && SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    if (frame) frame->Release();
    if (encoder) encoder->Release();
    if (stream) stream->Release();
    factory->Release();
    return ok;
}

bool WriteJpeg(const std::wstring& path, UINT width, UINT height, unsigned seed) {
    return WritePicture(path, GUID_ContainerFormatJpeg, width, height, seed);
}

double Megabytes(size_t bytes) { return bytes / 1048576.0; }

// What the library's seven ANSI entry points cost for a thumbnail: the full decode, its conversion
// to 24 bits and, for a PNG, the alpha plane decoded again.
void DecodeThroughAnsiEntryPoints(const std::wstring& path) {
    HMODULE module = LoadLibraryW((tf_test::ExeDirectory() + L"imglib\\imgctl.dll").c_str());
    if (!module) return;
    auto entry = [module](const char* name) { return reinterpret_cast<void*>(GetProcAddress(module, name)); };
    auto toDib = reinterpret_cast<ImgctlToDib>(entry("ToDIB"));
    auto to24 = reinterpret_cast<ImgctlDibTo24Bit>(entry("DIBto24Bit"));
    auto remove = reinterpret_cast<ImgctlDeleteDib>(entry("DeleteDIB"));
    auto alpha = reinterpret_cast<ImgctlPngaToDib>(entry("PNGAtoDIB"));
    std::string ansi;
    if (toDib && to24 && remove && alpha && AnsiPath(path, ansi)) {
        if (HANDLE dib = toDib(ansi.c_str())) {
            to24(dib);
            if (HANDLE mask = alpha(ansi.c_str())) remove(mask);
            remove(dib);
        }
    }
    FreeLibrary(module);
}

std::atomic<long long> g_worstWait{0};  // microseconds

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP) {
        const long long sent = static_cast<long long>(lp);
        const long long now =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
        g_worstWait = std::max(g_worstWait.load(), now - sent);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Runs the message loop until `done` holds or a minute passes.
template <typename Done>
void PumpUntil(Done done) {
    const auto start = Clock::now();
    MSG msg;
    while (!done() && Seconds(start) < 60) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 2000;
    const UINT width = argc > 2 ? std::atoi(argv[2]) : 1600;
    const UINT height = argc > 3 ? std::atoi(argv[3]) : 1200;
    const int entries = argc > 4 ? std::atoi(argv[4]) : 100000;
    const UINT hugeSide = argc > 5 ? std::atoi(argv[5]) : 16384;

    BenchStartUp();
    if (!LoadImageLibrary() || !ImageLibraryLoaded()) {
        std::printf("imglib\\imgctl.dll is missing beside the benchmark\n");
        return 1;
    }

    tf_test::TempDir dir;
    {
        const std::wstring big = dir / L"big.jpg";
        if (!WriteJpeg(big, 4000, 3000, 7)) {
            std::printf("cannot write the JPEG\n");
            return 1;
        }
        double decode = 0, thumbnail = 0;
        const int rounds = 3;
        for (int round = 0; round < rounds; ++round) {
            auto start = Clock::now();
            DibImage image;
            image.Load(big);
            decode += Seconds(start);
            start = Clock::now();
            DibImage canvas;
            ComposeThumbnail(big, canvas);
            thumbnail += Seconds(start);
        }
        std::printf("thumbnail of 4000 x 3000: decode + scale + blend %.3f s, decode alone %.3f s, ratio %.2f (goal <= 3.00)\n",
                    thumbnail / rounds, decode / rounds, thumbnail / decode);
    }
    // One thumbnail of a 16384 x 16384 picture.
    for (const GUID* container : {&GUID_ContainerFormatPng, &GUID_ContainerFormatJpeg}) {
        if (hugeSide == 0) break;
        const bool png = container == &GUID_ContainerFormatPng;
        const std::wstring huge = dir / (png ? L"huge.png" : L"huge.jpg");
        if (!WritePicture(huge, *container, hugeSide, hugeSide, 3, false)) {
            std::printf("cannot write the %u x %u picture\n", hugeSide, hugeSide);
            return 1;
        }
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExW(huge.c_str(), GetFileExInfoStandard, &data);
        DibImage canvas;
        bool made = false;
        const size_t thumbnail = tf_test::PeakExtraBytes([&] { made = ComposeThumbnail(huge, canvas); });
        const size_t decoder = tf_test::PeakExtraBytes([&] { tf_test::PlatformDecodeOneRow(huge); });
        const size_t ansi = tf_test::PeakExtraBytes([&] { DecodeThroughAnsiEntryPoints(huge); });
        std::printf("thumbnail of a %u x %u %s of %.1f MB (%s): peak extra memory %.0f MB (goal <= 64); the platform "
                    "decoder alone for one row %.0f MB; the library's ANSI entry points %.0f MB\n",
                    hugeSide, hugeSide, png ? "PNG" : "JPEG", Megabytes(data.nFileSizeLow), made ? "made" : "NOT made", Megabytes(thumbnail),
                    Megabytes(decoder), Megabytes(ansi));
        DeleteFileW(huge.c_str());
    }
    UnloadImageLibrary();

    // The folder: a few distinct files, linked (or copied) under many names.
    const int distinct = std::min(files, 16);
    std::vector<std::wstring> paths;
    for (int i = 0; i < distinct; ++i) {
        paths.push_back(dir / (L"p" + std::to_wstring(i) + L".jpg"));
        WriteJpeg(paths.back(), width, height, static_cast<unsigned>(i));
    }
    for (int i = distinct; i < files; ++i) {
        paths.push_back(dir / (L"p" + std::to_wstring(i) + L".jpg"));
        const std::wstring& from = paths[static_cast<size_t>(i % distinct)];
        if (!CreateHardLinkW(paths.back().c_str(), from.c_str(), nullptr)) CopyFileW(from.c_str(), paths.back().c_str(), FALSE);
    }

    HWND parent = BenchParentWindow(L"ImageBenchParent", ParentProc, WS_VISIBLE);
    if (!parent || !Filer().Create(parent, GetModuleHandleW(nullptr), 0, 800, 600, nullptr)) {
        std::printf("cannot create the filer (parent %p, error %lu)\n", static_cast<void*>(parent), GetLastError());
        return 1;
    }
    CEntry& owner = RootFolder().Append();
    owner.name = L"images";
    RootFolder().CreateSubfolder(owner, kFolderKindImage);
    CFolder& folder = *owner.subfolder;
    for (const std::wstring& path : paths) folder.Append().path = path;

    std::atomic<bool> probing{true};
    std::thread probe([&] {
        while (probing) {
            const long long now =
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
            PostMessageW(parent, WM_APP, 0, static_cast<LPARAM>(now));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });

    const auto start = Clock::now();
    Filer().ShowFolder(&folder, false);
    const double show = Seconds(start);
    UpdateWindow(Filer().ListView());
    const double firstPaint = Seconds(start) - show;
    int made = 0;
    auto firstScreenDone = [&] {
        int pending = 0;
        made = 0;
        for (const CEntry& entry : folder.entries) {
            if (entry.Display().thumbIndex == kThumbPending) ++pending;
            if (entry.Display().thumbIndex >= 0) ++made;
        }
        return made > 0 && pending == 0;
    };
    PumpUntil(firstScreenDone);
    const double whole = Seconds(start);
    probing = false;
    probe.join();
    PumpUntil([] { return true; });

    // The baseline: the same files decoded one after the other on this thread.
    LoadImageLibrary();
    const auto loopStart = Clock::now();
    for (int i = 0; i < made; ++i) {
        DibImage image;
        image.Load(paths[static_cast<size_t>(i)]);
    }
    const double loop = Seconds(loopStart);
    UnloadImageLibrary();
    std::printf("image folder of %d JPEGs of %u x %u: first screen of %d thumbnails in %.3f s on %u workers, a loop of "
                "full decodes on one thread %.3f s, %.2fx faster (goal >= 2.00); longest wait of a posted message %.0f ms "
                "(goal < 100), of which showing the folder %.0f ms and its first paint %.0f ms\n",
                files, width, height, made, whole, std::max(1u, std::thread::hardware_concurrency()), loop, loop / whole,
                g_worstWait.load() / 1000.0, show * 1000, firstPaint * 1000);

    // A folder of 100,000 entries of a few small JPEGs, scrolled to its end a screen every 500 items.
    Filer().ShowFolder(&RootFolder(), false);
    std::vector<std::wstring> small;
    for (int i = 0; i < 16; ++i) {
        small.push_back(dir / (L"s" + std::to_wstring(i) + L".jpg"));
        WriteJpeg(small.back(), 320, 240, static_cast<unsigned>(i));
    }
    CEntry& largeOwner = RootFolder().Append();
    largeOwner.name = L"many";
    RootFolder().CreateSubfolder(largeOwner, kFolderKindImage);
    CFolder& large = *largeOwner.subfolder;
    for (int i = 0; i < entries; ++i) large.Append().path = small[static_cast<size_t>(i) % small.size()];
    const size_t modelOnly = tf_test::PrivateBytes();
    // Reckoned rather than measured: the system commits an image list's pages only as thumbnails are
    // drawn into them, so creating an empty one for every entry shows almost nothing.
    const size_t fullList = static_cast<size_t>(entries) * kThumbnailWidth * kThumbnailHeight * 4;
    size_t most = 0;
    int screens = 0, thumbnails = 0;
    const auto scrollStart = Clock::now();
    Filer().ShowFolder(&large, false);
    HWND list = Filer().ListView();
    std::vector<int> stops;
    for (int item = 0; item < entries; item += 500) stops.push_back(item);
    if (entries > 0 && stops.back() != entries - 1) stops.push_back(entries - 1);
    for (int item : stops) {
        SendMessageW(list, LVM_ENSUREVISIBLE, item, FALSE);
        UpdateWindow(list);
        CEntry* entry = Filer().EntryAtIndex(item);
        PumpUntil([&] {
            most = std::max(most, tf_test::PrivateBytes());
            return !entry || entry->Display().thumbIndex >= 0 || entry->Display().thumbIndex == kThumbFailed;
        });
        if (entry && entry->Display().thumbIndex >= 0) ++thumbnails;
        ++screens;
    }
    const double scrolled = Seconds(scrollStart);
    most = std::max(most, tf_test::PrivateBytes());
    std::printf("image folder of %d entries scrolled to its end (%d screens, %d of their first items with a thumbnail) in "
                "%.1f s: private bytes at the end %.0f MB, at most %.0f MB (goal < 300); the folder model alone %.0f MB; "
                "an image list holding a thumbnail of every entry would take %.0f MB more (32-bit pixels)\n",
                entries, screens, thumbnails, scrolled, Megabytes(tf_test::PrivateBytes()), Megabytes(most), Megabytes(modelOnly),
                Megabytes(fullList));

    Filer().ShowFolder(&RootFolder(), false);
    Filer().Destroy();
    DestroyWindow(parent);
    OleUninitialize();
    return 0;
}
