// The thumbnail worker's order: the newest batch of requests first, each batch in its own order.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "Filer/Kinds/ThumbnailWorker.h"
#include "Support/TestSupport.h"

namespace {

TEST(ThumbnailWorkerTest, TheNewestBatchIsServedFirstInTheOrderItWasAskedFor) {
    tf_test::TempDir dir;
    ThumbnailWorker worker;
    int keys[5] = {};
    worker.BeginBatch();
    worker.Request(&keys[0], 0, dir / L"a.tga");
    worker.Request(&keys[1], 1, dir / L"b.tga");
    worker.BeginBatch();
    worker.Request(&keys[2], 2, dir / L"c.tga");
    worker.Request(&keys[3], 3, dir / L"d.tga");
    worker.BeginBatch();  // a paint that asked for nothing
    ASSERT_TRUE(worker.Start(nullptr, 0, 1));

    std::vector<ThumbnailWorker::Result> results;
    for (int i = 0; i < 200 && results.size() < 4; ++i) {
        for (ThumbnailWorker::Result& result : worker.TakeResults()) results.push_back(std::move(result));
        Sleep(10);
    }
    ASSERT_EQ(results.size(), 4u);
    const std::vector<int> order = {results[0].item, results[1].item, results[2].item, results[3].item};
    EXPECT_EQ(order, (std::vector<int>{2, 3, 0, 1}));
    EXPECT_FALSE(results[0].canvas);  // no such file: nothing made, and the job still answered

    // Cancelled jobs are never answered.
    worker.Stop();
    worker.Request(&keys[4], 4, dir / L"e.tga");
    worker.Cancel();
    ASSERT_TRUE(worker.Start(nullptr, 0));
    Sleep(100);
    EXPECT_TRUE(worker.TakeResults().empty());
}

}  // namespace
