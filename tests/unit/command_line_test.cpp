#include <gtest/gtest.h>

#include "fakes.h"
#include "support/command_line.h"

using namespace quillbay;
using namespace quillbay::testing;

namespace {

// Passwords an administrator may well have, each hostile to some layer of quoting.
const std::vector<std::string> kAwkward = {
    "",
    "plain",
    "two words",
    " leading and trailing ",
    "tab\there",
    "quote\"inside",
    "\"",
    "\"\"",
    "\"starts and ends\"",
    "back\\slash",
    "trailing\\",
    "trailing\\\\",
    "\\",
    "\\\\server\\share",
    "slash before quote\\\"x",
    "two slashes before quote\\\\\"x",
    "odd\\\\\\\"mix\\",
    "100%",
    "%PATH%",
    "%%",
    "a&b",
    "a|b",
    "a^b",
    "a<b>c",
    "(paren)",
    "!bang!",
    "semi;colon,comma=eq",
    "P@ss w0rd\" & echo pwned | more ^ %TEMP% \\",
    "汉字密码",
};

TEST(QuoteArg, SimpleArgumentsAreWrappedInQuotes) {
    EXPECT_EQ(QuoteArg("plain"), "\"plain\"");
    EXPECT_EQ(QuoteArg(""), "\"\"");
    EXPECT_EQ(QuoteArg("two words"), "\"two words\"");
    EXPECT_EQ(QuoteArg("a&b|c^d%e%"), "\"a&b|c^d%e%\"");
}

TEST(QuoteArg, QuotesAndBackslashesFollowTheArgvRules) {
    EXPECT_EQ(QuoteArg("a\"b"), "\"a\\\"b\"");                 // "a\"b"
    EXPECT_EQ(QuoteArg("a\\b"), "\"a\\b\"");                   // lone backslash stays single
    EXPECT_EQ(QuoteArg("a\\\"b"), "\"a\\\\\\\"b\"");           // \" -> \\\"
    EXPECT_EQ(QuoteArg("end\\"), "\"end\\\\\"");               // before the closing quote: doubled
    EXPECT_EQ(QuoteArg("C:\\dir\\file"), "\"C:\\dir\\file\"");  // paths are unchanged inside
}

TEST(QuoteArg, EveryAwkwardPasswordSurvivesTheArgvParser) {
    for (const std::string& password : kAwkward) {
        const std::string line = "certutil.exe -f -p " + QuoteArg(password) + " -importpfx " +
                                 QuoteArg("C:\\Tools\\Quill bay\\fullchain.pfx");
        const std::vector<std::string> expected = {"certutil.exe", "-f", "-p", password, "-importpfx",
                                                   "C:\\Tools\\Quill bay\\fullchain.pfx"};
        EXPECT_EQ(ParseCommandLine(line), expected) << "password: " << password << "\nline: " << line;
    }
}

TEST(QuoteArg, LastArgumentWithTrailingBackslashesSurvives) {
    for (const char* arg : {"x\\", "x\\\\", "\\", "x\\\"\\"}) {
        const std::vector<std::string> expected = {"p", std::string(arg)};
        EXPECT_EQ(ParseCommandLine("p " + QuoteArg(arg)), expected) << arg;
    }
}

TEST(Redact, ReplacesTheQuotedSecretEverywhereAndNothingElse) {
    const std::string path = QuoteArg("C:\\a b\\fullchain.pfx");
    for (const std::string& password : kAwkward) {
        const std::string line = "certutil.exe -f -p " + QuoteArg(password) + " -importpfx " + path;
        EXPECT_EQ(Redact(line, password), "certutil.exe -f -p \"********\" -importpfx " + path) << password;
    }
    EXPECT_EQ(Redact("x " + QuoteArg("s\"1") + " y " + QuoteArg("s\"1"), "s\"1"), "x \"********\" y \"********\"");
    EXPECT_EQ(Redact("nothing secret here", "zz"), "nothing secret here");
}

TEST(ArgvParser, KnownSplits) {
    // Guards the test's own parser against the documented examples.
    EXPECT_EQ(ParseCommandLine("p \"a b c\" d e"), (std::vector<std::string>{"p", "a b c", "d", "e"}));
    EXPECT_EQ(ParseCommandLine("p \"ab\\\"c\" \"\\\\\" d"), (std::vector<std::string>{"p", "ab\"c", "\\", "d"}));
    EXPECT_EQ(ParseCommandLine("p a\\\\\\b d\"e f\"g h"), (std::vector<std::string>{"p", "a\\\\\\b", "de fg", "h"}));
    EXPECT_EQ(ParseCommandLine("p a\\\\\\\"b c d"), (std::vector<std::string>{"p", "a\\\"b", "c", "d"}));
    EXPECT_EQ(ParseCommandLine("p a\\\\\\\\\"b c\" d e"), (std::vector<std::string>{"p", "a\\\\b c", "d", "e"}));
    EXPECT_EQ(ParseCommandLine("p \"\" x"), (std::vector<std::string>{"p", "", "x"}));
}

}  // namespace
