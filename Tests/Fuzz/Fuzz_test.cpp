// Mutated inputs of every format the program reads itself or through its own image library, fed to
// the public load functions: TGA and .argb (own readers), PPM and PGM (the plug-in), PNG, JPEG, GIF
// and BMP (imgctl.dll), the identity sidecar, the folder extras sidecar and the UI text table. Each input must load or be
// refused cleanly (a refused image is empty, a refused sidecar leaves an empty store, a refused text
// table the one before), within a time limit, and without taking more than a memory bound.
//
// A watchdog thread samples the process's private bytes while an input runs and ends the process
// with the input's name when one runs over its time. CI runs fixed seeds; a longer run by hand:
//   TF_FUZZ_SCALE=20 TF_FUZZ_SEED=7 Fuzz_test.exe      (20 times the inputs, another seed)
// TF_FUZZ_ONLY=jpeg tries only that format's inputs (the others are still made, so each input is the
// one of the whole run), and TF_FUZZ_FROM=134 only its inputs from that one on.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Config/GlobalText.h"
#include "Document/FolderExtras.h"
#include "Follow/IdentityStore.h"
#include "Image/DibImage.h"
#include "Image/ImageBackends.h"
#include "Support/ByteMutator.h"
#include "Support/TestSupport.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Clock = std::chrono::steady_clock;

// Every input is small: even under a loaded machine one runs in well under a second, so an input
// still running after this long is stuck.
constexpr auto kInputTimeLimit = std::chrono::seconds(30);
constexpr size_t kMemoryBound = 256u << 20;  // private bytes above those before the input

unsigned EnvNumber(const char* name, unsigned fallback) {
    const char* text = std::getenv(name);
    return text && *text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : fallback;
}

// Watches the input in progress: its running time and the most private bytes above its start.
class Watchdog {
public:
    Watchdog() : thread_([this] { Run(); }) {}
    ~Watchdog() {
        stop_ = true;
        thread_.join();
    }
    void Begin(const std::string& name) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            name_ = name;
        }
        base_ = tf_test::PrivateBytes();
        peak_ = 0;
        started_ = Clock::now().time_since_epoch().count();
    }
    // The most private bytes the input took above those before it.
    size_t End() {
        started_ = 0;
        const size_t now = tf_test::PrivateBytes();
        return std::max<size_t>(peak_, now > base_ ? now - base_ : 0);
    }

private:
    void Run() {
        while (!stop_) {
            const auto started = started_.load();
            if (started != 0) {
                const size_t now = tf_test::PrivateBytes();
                if (now > base_ && now - base_ > peak_) peak_ = now - base_;
                if (Clock::now().time_since_epoch().count() - started >
                    std::chrono::duration_cast<Clock::duration>(kInputTimeLimit).count()) {
                    std::lock_guard<std::mutex> hold(lock_);
                    std::printf("fuzz input %s ran over its time limit\n", name_.c_str());
                    std::fflush(stdout);
                    TerminateProcess(GetCurrentProcess(), 3);
                }
            }
            Sleep(2);
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<Clock::rep> started_{0};
    std::atomic<size_t> base_{0};
    std::atomic<size_t> peak_{0};
    std::mutex lock_;
    std::string name_;
    std::thread thread_;
};

// The name of the input being tried, printed when the process crashes on it.
char g_current[128];

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    std::printf("fuzz input %s crashed (exception 0x%08lx)\n", g_current,
                static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
    std::fflush(stdout);
    return EXCEPTION_EXECUTE_HANDLER;
}

// One format: its seeds, the name of the file the mutations are written to, how many leading
// bytes hold its sizes, and the check of one load (false: not refused cleanly).
struct Format {
    const char* name;
    std::vector<Bytes> seeds;
    std::wstring file;
    size_t head;
    unsigned inputs;
    std::function<bool(const std::wstring& path, unsigned index)> tryLoad;
};

void Put16(Bytes& b, uint32_t v) {
    b.push_back(v & 0xff);
    b.push_back((v >> 8) & 0xff);
}
void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xffff);
    Put16(b, v >> 16);
}

Bytes TgaSeed(int width, int height) {
    Bytes b = {2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(b, width);
    Put16(b, height);
    b.push_back(32);
    b.push_back(0);
    b.insert(b.end(), {'i', 'd'});
    for (int i = 0; i < width * height; ++i) Put32(b, 0x80000000u | (i * 2654435761u >> 8));
    return b;
}

Bytes ArgbSeed(int width, int height) {
    Bytes b = {'B', 'G', 'R', 'A', 8, 8, 8, 8};
    Put32(b, width);
    Put32(b, height);
    for (int i = 0; i < width * height; ++i) Put32(b, 0xff000000u | (i * 40503u));
    return b;
}

// An image is either loaded or refused empty; every other input also goes through the thumbnail.
bool TryImage(const std::wstring& path, unsigned index) {
    if (index % 2 == 0) {
        DibImage image;
        const bool loaded = image.Load(path);
        return loaded != image.Empty();
    }
    DibImage canvas;
    const bool made = ComposeThumbnail(path, canvas);
    return !made || (canvas.width == kThumbnailWidth && canvas.height == kThumbnailHeight);
}

class FuzzTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadImageLibrary());
        ASSERT_TRUE(ImageLibraryLoaded());
        LoadPlugins();
        ASSERT_EQ(PluginCount(), 1u);
    }
    void TearDown() override {
        UnloadPlugins();
        UnloadImageLibrary();
        GlobalText::Load();
    }
    tf_test::TempDir dir_;
};

TEST_F(FuzzTest, MutatedInputsOfEveryFormatLoadOrAreRefusedCleanly) {
    const unsigned scale = std::max(1u, EnvNumber("TF_FUZZ_SCALE", 1));
    const uint32_t seed = EnvNumber("TF_FUZZ_SEED", 20261208u);
    const char* only = std::getenv("TF_FUZZ_ONLY");
    const unsigned from = EnvNumber("TF_FUZZ_FROM", 0);
    const std::wstring images = tf_test::ExeDirectory() + L"images\\";
    auto file = [](const std::wstring& path) { return tf_test::ReadBytes(path); };

    // The identity sidecar of three files, and the text table as built.
    IdentityStore store;
    for (int i = 0; i < 3; ++i) {
        FileIdentity identity;
        identity.volume = 0x1234 + i;
        identity.id[0] = static_cast<uint8_t>(i);
        identity.size = 1000u * i;
        identity.written = 0x01d9000000000000ull + i;
        store.Remember(L"C:\\photos\\\u5199\u771f" + std::to_wstring(i) + L".jpg", identity);
    }
    ASSERT_TRUE(store.Save(dir_ / L"seed.ids"));
    // The folder extras sidecar of a project file that stays as it is, so every mutation is read.
    const std::wstring project = dir_ / L"p.tfolder";
    ASSERT_TRUE(tf_test::WriteText(project, "project"));
    FolderExtras extras;
    extras.exclusions.push_back({3, L"*.tmp;\u4e0b\u66f8\u304d"});
    extras.exclusions.push_back({7, L"thumbs.db"});
    extras.declined.push_back({3, 12, L"C:\\photos\\a.jpg"});
    ASSERT_TRUE(WriteFolderExtras(project, extras));
    const Bytes gt = file(tf_test::ExeDirectory() + L"GT");
    ASSERT_FALSE(gt.empty());
    std::wstring lastText = GlobalText::Get(kGtMenuExit);

    std::vector<Format> formats = {
        {"tga", {TgaSeed(5, 3), TgaSeed(40, 30)}, dir_ / L"m.tga", 20, 5000, TryImage},
        {"argb", {ArgbSeed(4, 4), ArgbSeed(33, 17)}, dir_ / L"m.argb", 16, 5000, TryImage},
        {"pgm", {file(images + L"grey.pgm")}, dir_ / L"m.pgm", 16, 1500, TryImage},
        {"ppm", {file(images + L"colour.ppm")}, dir_ / L"m.ppm", 16, 1500, TryImage},
        {"png", {file(images + L"alpha.png")}, dir_ / L"m.png", 40, 1000, TryImage},
        {"jpeg", {file(images + L"photo.jpg")}, dir_ / L"m.jpg", 200, 1000, TryImage},
        {"gif", {file(images + L"trans.gif")}, dir_ / L"m.gif", 32, 1000, TryImage},
        {"bmp", {file(images + L"plain.bmp")}, dir_ / L"m.bmp", 54, 1000, TryImage},
        {"ids", {file(dir_ / L"seed.ids")}, dir_ / L"m.ids", 16, 2000,
         [](const std::wstring& path, unsigned) {
             IdentityStore loaded;
             loaded.Remember(L"C:\\before", FileIdentity{});
             return loaded.Load(path) || loaded.Count() == 0;
         }},
        {"more", {file(FolderExtrasPathFor(project))}, FolderExtrasPathFor(project), 32, 1500,
         [&project](const std::wstring&, unsigned) {
             FolderExtras read;
             return ReadFolderExtras(project, read) || read.Empty();
         }},
        {"gt", {gt}, dir_ / L"GT", 64, 1200,
         [&lastText](const std::wstring& path, unsigned) {
             if (GlobalText::LoadFrom(path)) {
                 lastText = GlobalText::Get(kGtMenuExit);
                 return true;
             }
             return lastText == GlobalText::Get(kGtMenuExit);
         }},
    };
    for (const Format& format : formats)
        for (const Bytes& bytes : format.seeds) ASSERT_FALSE(bytes.empty()) << format.name;

    SetUnhandledExceptionFilter(ReportCrash);
    tf_test::ModalResponder boxes(IDOK);  // the text table's error boxes
    Watchdog watchdog;
    // The watchdog sees what an input takes: 64 MB held for 50 ms.
    watchdog.Begin("calibration");
    {
        std::vector<unsigned char> held(64u << 20, 1);
        Sleep(50);
    }
    EXPECT_GE(watchdog.End(), 60u << 20);
    tf_test::ByteMutator mutator(seed);
    unsigned tried = 0, failures = 0;
    size_t worstMemory = 0;
    const auto start = Clock::now();
    for (const Format& format : formats) {
        const auto formatStart = Clock::now();
        for (unsigned i = 0; i < format.inputs * scale; ++i) {
            const Bytes& original = format.seeds[i % format.seeds.size()];
            Bytes bytes = mutator.MutateHead(original, format.head);
            for (int more = mutator.Pick(3); more > 0; --more) bytes = mutator.MutateHead(bytes, format.head);
            if (only && *only && (std::strcmp(only, format.name) != 0 || i < from)) continue;
            ASSERT_TRUE(tf_test::WriteBytes(format.file, bytes));
            std::snprintf(g_current, sizeof(g_current), "%s #%u (seed %u)", format.name, i, seed);
            watchdog.Begin(g_current);
            const bool clean = format.tryLoad(format.file, i);
            const size_t memory = watchdog.End();
            ++tried;
            worstMemory = std::max(worstMemory, memory);
            if (!clean || memory > kMemoryBound) {
                ++failures;
                const std::wstring kept = tf_test::ExeDirectory() + L"fuzz-failure-" +
                                          std::wstring(format.name, format.name + std::strlen(format.name)) + L"-" +
                                          std::to_wstring(i) + L".bin";
                CopyFileW(format.file.c_str(), kept.c_str(), FALSE);
                ADD_FAILURE() << g_current << (clean ? " took " : " was not refused cleanly, took ") << (memory >> 20)
                              << " MB";
            }
        }
        std::printf("fuzz %-5s %6u inputs in %5.1f s\n", format.name, format.inputs * scale,
                    std::chrono::duration<double>(Clock::now() - formatStart).count());
    }
    std::printf("fuzz: %u inputs tried, %u failures, most memory taken by one input %zu KB, %.1f s in all (seed %u)\n",
                tried, failures, worstMemory >> 10, std::chrono::duration<double>(Clock::now() - start).count(), seed);
    SetUnhandledExceptionFilter(nullptr);
    EXPECT_EQ(failures, 0u);
    if (!only || !*only) {
        EXPECT_GE(tried, 20000u);
    }
}

}  // namespace
