#include <gtest/gtest.h>

#include "win32/text_win32.h"

namespace quillbay::win32::testing {
namespace {

TEST(Utf8AndWide, RoundTripBeyondTheBasicPlane) {
    const std::string utf8 = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x94\x92";  // a é 中 🔒
    std::wstring wide = Utf8ToWide(utf8);
    EXPECT_EQ(wide, std::wstring(L"a\u00e9\u4e2d\xD83D\xDD12"));
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(WideToUtf8(L""), "");
    EXPECT_EQ(Utf8ToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

TEST(AnsiText, EmptyTextStaysEmpty) {
    EXPECT_EQ(AnsiToUtf8(""), "");
    EXPECT_EQ(Utf8ToAnsi(""), "");
    EXPECT_EQ(Utf8ToAnsi("plain ASCII\r\n"), "plain ASCII\r\n");
}

TEST(ErrorText, GivesTheSystemMessageWithoutTheLineBreak) {
    std::string message = ErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(message.empty());
    EXPECT_NE(message.back(), '\n');
    EXPECT_NE(message.back(), '\r');
    EXPECT_NE(message, ErrorText(ERROR_ACCESS_DENIED));

    Failure failure = MakeFailure(0x80070002u);
    EXPECT_EQ(failure.number(), -2147024894);
    EXPECT_FALSE(failure.description().empty());
}

TEST(ErrorText, ThrowLastErrorCarriesTheCode) {
    SetLastError(ERROR_SHARING_VIOLATION);
    try {
        ThrowLastError();
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), ERROR_SHARING_VIOLATION);
        EXPECT_EQ(failure.description(), ErrorText(ERROR_SHARING_VIOLATION));
    }
}

}  // namespace
}  // namespace quillbay::win32::testing
