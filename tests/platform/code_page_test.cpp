#include <windows.h>

#include <gtest/gtest.h>

TEST(Platform, WinePrefixRunsWithCyrillicCodePages) {
    EXPECT_EQ(GetACP(), 1251u) << "start Wine with LC_ALL=ru_RU.CP1251 (scripts/wine-env.sh)";
    EXPECT_EQ(GetOEMCP(), 866u);
}
