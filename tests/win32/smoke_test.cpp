#include <gtest/gtest.h>
TEST(Smoke, Runs) { EXPECT_TRUE(true); }
