#include <gtest/gtest.h>

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

TEST(ErrorText, FailuresCarryTheCodeAndTheSystemMessageWithoutTheLineBreak) {
    const std::string message = ErrorText(ERROR_SHARING_VIOLATION);
    ASSERT_FALSE(message.empty());
    EXPECT_NE(message.back(), '\n');
    EXPECT_NE(message.back(), '\r');
    EXPECT_NE(message, ErrorText(ERROR_ACCESS_DENIED));

    SetLastError(ERROR_SHARING_VIOLATION);
    try {
        ThrowLastError();
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), ERROR_SHARING_VIOLATION);
        EXPECT_EQ(failure.description(), message);
    }
    EXPECT_EQ(MakeFailure(0x80070002u).number(), -2147024894);
    EXPECT_FALSE(MakeFailure(0x80070002u).description().empty());
}

}  // namespace
}  // namespace quillbay::win32::testing
