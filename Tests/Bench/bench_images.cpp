// Thumbnail benchmark, printed as ratios against baselines measured in the same run:
//  1. one thumbnail of a 4000 x 3000 JPEG (decode, scale, blend) against decoding it alone
//     (goal: at most 3x);
//  2. an image folder of many large JPEGs shown in the filer until its first screen of thumbnails
//     is made: the longest time a message posted to the UI thread waits for its answer (goal: under
//     100 ms), and thumbnails per second against decoding the same files in a loop (goal: at least
//     0.8x).
// The JPEGs are written with the Windows Imaging Component's encoder. The image library must lie
// in imglib\ beside the benchmark (the build puts it there).
// Usage: bench_images.exe [files-in-folder] [width] [height]
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
#include "Kv/KvWindow.h"
#include "Support/TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// A JPEG of smooth colour bands with fine noise, so that it decodes like a photograph.
bool WriteJpeg(const std::wstring& path, UINT width, UINT height, unsigned seed) {
    IWICImagingFactory* factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory))))
        return false;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    bool ok = SUCCEEDED(factory->CreateStream(&stream)) &&
              SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
              SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) &&
              SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
              SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
              SUCCEEDED(frame->SetSize(width, height));
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    ok = ok && SUCCEEDED(frame->SetPixelFormat(&format));
    const UINT stride = width * 3;
    std::vector<BYTE> row(stride);
    unsigned noise = seed * 2654435761u + 1;
    for (UINT y = 0; ok && y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            noise = noise * 1103515245u + 12345u;
            const int n = static_cast<int>((noise >> 16) & 15);
            row[x * 3] = static_cast<BYTE>((x * 255 / width + n + seed * 40) & 255);
            row[x * 3 + 1] = static_cast<BYTE>((y * 255 / height + n) & 255);
            row[x * 3 + 2] = static_cast<BYTE>(((x + y) / 8 + n) & 255);
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
        std::printf("cannot create the filer\n");
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
    const double rate = made / whole, loopRate = made / loop;
    std::printf("image folder of %d JPEGs of %u x %u: first screen of %d thumbnails in %.3f s (%.1f/s), decoding loop "
                "%.1f/s, ratio %.2f (goal >= 0.80); longest wait of a posted message %.0f ms (goal < 100), of which "
                "showing the folder %.0f ms and its first paint %.0f ms\n",
                files, width, height, made, whole, rate, loopRate, rate / loopRate, g_worstWait.load() / 1000.0,
                show * 1000, firstPaint * 1000);

    Filer().ShowFolder(&RootFolder(), false);
    Filer().Destroy();
    DestroyWindow(parent);
    OleUninitialize();
    return 0;
}
