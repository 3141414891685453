// Deterministic mutations of valid project files of every version: every mutated file must either
// load or be refused, quickly, and a refused load must leave the model and the file untouched.
// Most mutations are fed to the loader from memory (file creation under Wine costs milliseconds);
// every 10th goes through a real file.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "Document/Folder.h"
#include "Document/Project.h"
#include "Document/ProjectFile.h"
#include "Document/ProjectView.h"
#include "Support/ProjectBytes.h"
#include "Support/ProjectState.h"
#include "Support/ByteMutator.h"
#include "Support/TestSupport.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A larger version 10 seed than the sample: several levels, apps and search folders.
Bytes RichSeed(const tf_test::TempDir& dir) {
    ResetFolderModel();
    ResetProject();
    Project().apps.push_back({L"C:\\a.exe", L"a", {L".x", L".y"}});
    CFolder* folder = &RootFolder();
    for (int level = 0; level < 4; ++level) {
        for (int i = 0; i < 3; ++i) {
            CEntry& e = folder->Append();
            e.name = L"n" + std::to_wstring(i);
            e.path = L"C:\\f" + std::to_wstring(i);
            e.alias = L"al";
        }
        folder->search.folders.push_back({L"C:\\s", 2, L"i", L"e", true, true, true});
        CEntry& sub = folder->Append();
        sub.name = L"sub";
        EXPECT_TRUE(folder->CreateSubfolder(sub, kFolderKindImage));
        folder = sub.subfolder.get();
    }
    const std::wstring path = dir / L"rich.tfolder";
    EXPECT_TRUE(SaveProject(path));
    return tf_test::ReadBytes(path);
}

}  // namespace

TEST(ProjectFuzz, MutatedFilesLoadOrAreRefusedCleanly) {
    tf_test::TempDir dir;
    SetProjectView(nullptr);
    std::vector<Bytes> seeds;
    seeds.push_back(RichSeed(dir));
    for (int v = 1; v <= 10; ++v) seeds.push_back(tf_test::SampleProject(v));

    ResetFolderModel();
    ResetProject();
    const std::wstring path = dir / L"m.tfolder";
    const std::wstring copy = dir / L"copy.tfolder";
    std::wstring state = tf_test::ProjectFingerprint();
    tf_test::ByteMutator mutator(20240601u);
    int loaded = 0;
    int refused = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20000; ++i) {
        const Bytes& seed = seeds[i % seeds.size()];
        const Bytes bytes = mutator.Mutate(seed);
        // Every 10th mutation goes through a real file; the rest are fed from memory.
        const bool viaFile = i % 10 == 0;
        if (viaFile) {
            ASSERT_TRUE(tf_test::WriteBytes(path, bytes));
        }
        const bool ok = viaFile ? LoadProject(path) : LoadProjectBytes(path, bytes.data(), bytes.size());
        if (ok) {
            ++loaded;
            state = tf_test::ProjectFingerprint();
            // Now and then: whatever loads also saves and loads back the same.
            if (loaded % 400 == 1) {
                const std::wstring withoutPaths = tf_test::ProjectFingerprint(false);
                ASSERT_TRUE(SaveProject(copy)) << "mutation " << i;
                ASSERT_TRUE(LoadProject(copy)) << "mutation " << i;
                ASSERT_EQ(tf_test::ProjectFingerprint(false), withoutPaths) << "mutation " << i;
                state = tf_test::ProjectFingerprint();
            }
            continue;
        }
        ++refused;
        ASSERT_EQ(tf_test::ProjectFingerprint(), state) << "refused mutation " << i << " changed the model";
        if (viaFile) {
            ASSERT_EQ(tf_test::ReadBytes(path), bytes) << "refused mutation " << i << " wrote the file";
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d loaded, %d refused in %.2f s\n", loaded, refused, seconds);
    EXPECT_GT(loaded, 2000);
    EXPECT_GT(refused, 2000);
    ResetFolderModel();
    ResetProject();
}
