#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

#include "test_support.h"
#include "win32/clock_win32.h"
#include "win32/file_system_win32.h"
#include "win32/host_win32.h"
#include "win32/text_win32.h"

namespace quillbay::win32::testing {
namespace {

// ":07" for 7: how a time format writes the seconds.
std::string SecondsPart(int second) {
    char text[8];
    std::snprintf(text, sizeof text, ":%02d", second);
    return text;
}

TEST(Win32Clock, TimestampIsTheDateFollowedByTheTimeWithSeconds) {
    SYSTEMTIME moment{};
    moment.wYear = 2024;
    moment.wMonth = 3;
    moment.wDay = 5;
    moment.wHour = 7;
    moment.wMinute = 8;
    moment.wSecond = 9;
    std::string text = FormatTimestamp(moment);
    size_t year = text.find("2024");
    size_t time = text.find("08:09");
    ASSERT_NE(year, std::string::npos) << text;
    ASSERT_NE(time, std::string::npos) << text;
    EXPECT_LT(year, time) << text;
    EXPECT_NE(text.find(' '), std::string::npos) << text;
}

TEST(Win32Clock, NowAndTimestampShowTheCurrentLocalSecond) {
    Win32Clock clock;
    LocalTime before = clock.Now();
    std::string text = clock.TimestampText();
    LocalTime after = clock.Now();
    EXPECT_TRUE(before.year >= 2024 && before.month >= 1 && before.month <= 12 && before.day >= 1 &&
                before.day <= 31 && before.hour <= 23 && before.minute <= 59 && before.second <= 60);
    bool hasSecond = text.find(SecondsPart(before.second)) != std::string::npos ||
                     text.find(SecondsPart(after.second)) != std::string::npos;
    EXPECT_TRUE(hasSecond) << text;
    EXPECT_NE(text.find(std::to_string(before.year)), std::string::npos) << text;
}

TEST(Win32Host, NamesTheRunningExecutableAndItsFolder) {
    Win32Host host;
    Win32FileSystem fs;
    std::string folder = host.AppFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '\\');
    EXPECT_EQ(host.ExeBaseName(), "quillbay_win32_tests");
    EXPECT_TRUE(fs.FileExists(folder + "\\" + host.ExeBaseName() + ".exe"));
    EXPECT_TRUE(fs.FolderExists(folder + "\\fixtures"));
}

TEST(Win32Host, ReadsEnvironmentVariables) {
    Win32Host host;
    ASSERT_TRUE(SetEnvironmentVariableW(L"QUILLBAY_TEST_VALUE", L"w\u00e9rt mit Leerzeichen"));
    EXPECT_EQ(host.GetEnv("QUILLBAY_TEST_VALUE"), std::optional<std::string>("w\xC3\xA9rt mit Leerzeichen"));
    std::wstring longValue(1000, L'x');
    ASSERT_TRUE(SetEnvironmentVariableW(L"QUILLBAY_TEST_VALUE", longValue.c_str()));
    EXPECT_EQ(host.GetEnv("QUILLBAY_TEST_VALUE"), std::optional<std::string>(std::string(1000, 'x')));
    SetEnvironmentVariableW(L"QUILLBAY_TEST_VALUE", nullptr);
    EXPECT_EQ(host.GetEnv("QUILLBAY_TEST_VALUE"), std::nullopt);
    EXPECT_TRUE(host.GetEnv("windir").has_value());
}

TEST(Win32Host, ProductVersionComesFromTheVersionRecord) {
    Win32Host host;
    // The text of the record wins over its fixed numbers.
    EXPECT_EQ(host.FileProductVersion(ExePath()), "10.0.17763.1");
    // Without a text, the fixed numbers.
    EXPECT_EQ(host.FileProductVersion(HelperPath()), "5.6.7.8");
    // No record at all, or no file.
    EXPECT_EQ(host.FileProductVersion(FixturePath("fullchain.pfx")), "");
    EXPECT_EQ(host.FileProductVersion(TestExeFolder() + "\\no-such-program.exe"), "");
}

TEST(Win32Host, OwnVersionIsTheFixedFileVersion) {
    EXPECT_EQ(Win32Host().OwnVersion(), (std::vector<int>{1, 2, 3, 4}));
}

}  // namespace
}  // namespace quillbay::win32::testing
