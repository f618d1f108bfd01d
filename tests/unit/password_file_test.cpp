#include <gtest/gtest.h>

#include "fakes.h"
#include "support/password_file.h"

using namespace quillbay;
using namespace quillbay::testing;

namespace {

const std::string kPath = "C:\\Tools\\Quillbay\\password.txt";

// The Windows-1252 conversion for the bytes these tests use: high bytes become Latin-1
// characters in UTF-8.
std::string Cp1252ToUtf8(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::optional<std::string> Read(const std::string& bytes) {
    FakeFileSystem fs;
    fs.decodeAnsi = Cp1252ToUtf8;
    fs.AddFile(kPath, bytes);
    return ReadPasswordFile(fs, kPath);
}

TEST(PasswordFile, FirstLineWithoutItsLineEnd) {
    EXPECT_EQ(Read("secret\r\nsecond line\r\n"), "secret");
    EXPECT_EQ(Read("secret\nsecond"), "secret");
    EXPECT_EQ(Read("secret\rsecond"), "secret");
    EXPECT_EQ(Read("secret"), "secret");
    EXPECT_EQ(Read("secret\r\n"), "secret");
}

TEST(PasswordFile, NothingIsTrimmed) {
    EXPECT_EQ(Read(" pass word \r\n"), " pass word ");
    EXPECT_EQ(Read("\tx\t\n"), "\tx\t");
}

TEST(PasswordFile, AnEmptyFirstLineIsAnEmptyPassword) {
    EXPECT_EQ(Read("\r\n"), "");
    EXPECT_EQ(Read("\nlater"), "");
}

TEST(PasswordFile, AFileWithoutAnyLineGivesNoPassword) {
    EXPECT_EQ(Read(""), std::nullopt);
    EXPECT_EQ(Read("\xEF\xBB\xBF"), std::nullopt);
}

TEST(PasswordFile, WithoutTheMarkTheAnsiCodePageApplies) {
    EXPECT_EQ(Read("caf\xE9\r\n"), "caf\xC3\xA9");
}

TEST(PasswordFile, TheUtf8MarkMeansUtf8AndIsDropped) {
    EXPECT_EQ(Read("\xEF\xBB\xBF" "caf\xC3\xA9\r\nnext"), "caf\xC3\xA9");
    EXPECT_EQ(Read("\xEF\xBB\xBF" "\xE6\xB1\x89\xE5\xAD\x97"), "\xE6\xB1\x89\xE5\xAD\x97");
    EXPECT_EQ(Read("\xEF\xBB\xBF\r\n"), "");
}

TEST(PasswordFile, OnlyALeadingMarkCounts) {
    // A mark later in the text is ordinary data in the ANSI code page.
    EXPECT_EQ(Read("x\xEF\xBB\xBF"), "x\xC3\xAF\xC2\xBB\xC2\xBF");
}

TEST(PasswordFile, MissingFileThrows) {
    FakeFileSystem fs;
    EXPECT_THROW(ReadPasswordFile(fs, kPath), Failure);
}

}  // namespace
