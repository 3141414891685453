#include <gtest/gtest.h>
#include "Kv/KvWindow.h"
TEST(Smoke, Runs) { EXPECT_GT(KvGetSystemInfo().frameCaptionHeight, 0); }
