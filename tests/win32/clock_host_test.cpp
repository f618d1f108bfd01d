#include <gtest/gtest.h>

#include <windows.h>

#include "test_support.h"
#include "win32/clock_win32.h"
#include "win32/host_win32.h"

namespace quillbay::win32::testing {
namespace {

// Log records: the local date, then the time with seconds. Now() is the backup's name (80-import).
TEST(Win32Clock, TimestampsAreTheDateThenTheTimeWithSeconds) {
    const std::string text = FormatTimestamp({2024, 3, 0, 5, 7, 8, 9, 0});
    const size_t year = text.find("2024"), time = text.find("08:09");
    EXPECT_TRUE(year != std::string::npos && time != std::string::npos && year < time) << text;
    EXPECT_NE(Win32Clock().TimestampText().find(std::to_string(Win32Clock().Now().year)), std::string::npos);
}

TEST(Win32Host, ReadsEnvironmentVariables) {
    Win32Host host;
    ASSERT_TRUE(SetEnvironmentVariableW(L"QUILLBAY_TEST_VALUE", (L"w\u00e9rt " + std::wstring(1000, L'x')).c_str()));
    EXPECT_EQ(host.GetEnv("QUILLBAY_TEST_VALUE"), "w\xC3\xA9rt " + std::string(1000, 'x'));
    SetEnvironmentVariableW(L"QUILLBAY_TEST_VALUE", nullptr);
    EXPECT_EQ(host.GetEnv("QUILLBAY_TEST_VALUE"), std::nullopt);
    EXPECT_TRUE(host.GetEnv("windir").has_value());
}

TEST(Win32Host, VersionsComeFromTheVersionRecord) {
    Win32Host host;
    const struct { std::string path, version; } cases[] = {
        {ExePath(), "10.0.17763.1"},   // the text of the record wins over its fixed numbers
        {HelperPath(), "5.6.7.8"},     // without a text, the fixed numbers
        {FixturePath("leaf.pfx"), ""},
        {FixturePath("no-such-program.exe"), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(host.FileProductVersion(c.path), c.version) << c.path;
    EXPECT_EQ(host.OwnVersion(), (std::vector<int>{1, 2, 3, 4}));
}

}  // namespace
}  // namespace quillbay::win32::testing
