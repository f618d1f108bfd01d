#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "support/command_line.h"
#include "win32/text_win32.h"

namespace quillbay::win32::testing {
namespace {

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
