// Text between the program and the platform: UTF-8 and UTF-16, environment values, and
// arguments through the platform's own command-line parser.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "support/command_line.h"
#include "win32/host_win32.h"
#include "win32/text_win32.h"

namespace quillbay::win32::testing {
namespace {

TEST(Utf8AndWide, RoundTripBeyondTheBasicPlaneAndPastNul) {
    const struct { std::string utf8; std::wstring wide; } cases[] = {
        {"a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x94\x92", L"a\u00e9\u4e2d\xD83D\xDD12"},  // a é 中 🔒
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        {"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToWide(c.utf8), c.wide);
        EXPECT_EQ(WideToUtf8(c.wide), c.utf8);
    }
}

TEST(Win32Host, ReadsEnvironmentVariables) {
    Win32Host host;
    ASSERT_TRUE(SetEnvironmentVariableW(L"QUILLBAY_TEST_VALUE", (L"w\u00e9rt " + std::wstring(1000, L'x')).c_str()));
    EXPECT_EQ(host.GetEnv("QUILLBAY_TEST_VALUE"), "w\xC3\xA9rt " + std::string(1000, 'x'));
    SetEnvironmentVariableW(L"QUILLBAY_TEST_VALUE", nullptr);
    EXPECT_EQ(host.GetEnv("QUILLBAY_TEST_VALUE"), std::nullopt);
}

// Passwords an administrator may well have, each hostile to some layer of quoting, through
// the platform's own argument parser.
TEST(QuoteArg, EveryAwkwardArgumentSurvivesThePlatformsParserAndIsRedacted) {
    const std::string awkward[] = {
        "", "plain", " two words ", "tab\there", "quote\"inside", "\"\"", "back\\slash", "trailing\\",
        "trailing\\\\", "\\\\server\\share", "slash before quote\\\"x", "odd\\\\\\\"mix\\", "%PATH%",
        "a&b|c^d<e>(f)!g!", "P@ss w0rd\" & echo pwned | more ^ %TEMP% \\", "汉字密码",
    };
    const std::string pfx = "C:\\Tools\\Quill bay\\fullchain.pfx";
    for (const std::string& password : awkward) {
        const std::string line = "certutil.exe -f -p " + QuoteArg(password) + " -importpfx " + QuoteArg(pfx);
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(Utf8ToWide(line).c_str(), &count);
        ASSERT_NE(argv, nullptr);
        std::vector<std::string> args;
        for (int i = 0; i < count; ++i) args.push_back(WideToUtf8(argv[i]));
        LocalFree(argv);
        EXPECT_EQ(args, (std::vector<std::string>{"certutil.exe", "-f", "-p", password, "-importpfx", pfx})) << line;
        EXPECT_EQ(Redact(line, password), "certutil.exe -f -p \"********\" -importpfx " + QuoteArg(pfx)) << line;
    }
}

}  // namespace
}  // namespace quillbay::win32::testing
