// The password file and the programs the command lines start.
#include <gtest/gtest.h>

#include "fakes.h"
#include "support/command_line.h"
#include "support/password_file.h"
#include "support/runner.h"

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::string_literals;

namespace {

// Windows-1252 for the bytes used here: high bytes become Latin-1 characters in UTF-8.
std::string Cp1252ToUtf8(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x80) out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(c < 0x80 ? c : 0x80 | (c & 0x3F));
    }
    return out;
}

TEST(PasswordFile, FirstLineUntrimmedInItsEncoding) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"secret\r\nsecond line\r\n", "secret"},
        {"secret\nsecond", "secret"},
        {"secret\rsecond", "secret"},
        {"secret", "secret"},
        {" pass word \r\n", " pass word "},  // nothing is trimmed
        {"\r\n", ""},                        // an empty first line is an empty password
        {"", std::nullopt},                  // no line at all: no password
        {"\xEF\xBB\xBF", std::nullopt},
        {"caf\xE9\r\n", "caf\xC3\xA9"},                          // ANSI without the mark
        {"\xEF\xBB\xBF" "caf\xC3\xA9\r\nnext", "caf\xC3\xA9"},  // UTF-8 with it, mark dropped
        {"x\xEF\xBB\xBF", "x\xC3\xAF\xC2\xBB\xC2\xBF"},          // only a leading mark counts
        // Saved as "Unicode": UTF-16 by its mark (é, 中, and 😀 as a surrogate pair).
        {"\xFF\xFE" "c\0\xE9\0-\0\x2D\x4E\x3D\xD8\x00\xDE\r\0\n\0x\0"s, "c\xC3\xA9-\xE4\xB8\xAD\xF0\x9F\x98\x80"},
        {"\xFE\xFF" "\0a\0b\0\r"s, "ab"},
        {"a\0b\r\n"s, std::nullopt},  // a NUL would cut the command line short
        {std::string(1024, 'x'), std::string(1024, 'x')},
        {std::string(1025, 'x') + "\r\n", std::nullopt},  // not a password: the wrong file
    };
    const std::string path = "C:\\Tools\\Quillbay\\password.txt";
    for (const auto& [bytes, expected] : cases) {
        FakeFileSystem fs;
        fs.decodeAnsi = Cp1252ToUtf8;
        fs.AddFile(path, bytes);
        EXPECT_EQ(ReadPasswordFile(fs, path), expected) << bytes;
    }
    FakeFileSystem empty;
    EXPECT_THROW(ReadPasswordFile(empty, path), Failure);
}

TEST(SystemPrograms, AreQuotedOnlyWhenNeeded) {
    EXPECT_EQ(ProgramToken("C:\\windows\\system32\\reg.exe"), "C:\\windows\\system32\\reg.exe");
    EXPECT_EQ(ProgramToken("D:\\Win Dir\\system32\\reg.exe"), "\"D:\\Win Dir\\system32\\reg.exe\"");
}

// What QuoteArg writes, SplitArguments reads back; and the platform's own lines split as it splits them.
TEST(CommandLine, SplitArgumentsUndoesQuoteArg) {
    const std::vector<std::string> awkward = {"", "plain", "two words", "tab\there", "D:\\", "D:\\x\\\\", "a\"b",
                                              "a\\\"b", "\\\\server\\share", "quote at end\"", "\"", "R&D <x> 'y'",
                                              "\xE5\x95\x86\xE5\xBA\x97"};
    std::string line;
    for (const std::string& arg : awkward) line += (line.empty() ? "" : " ") + QuoteArg(arg);
    EXPECT_EQ(SplitArguments(line), awkward);
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"  renew   --from D:\\x\\  ", {"renew", "--from", "D:\\x\\"}},
        {"a\\\\\"b c\" d", {"a\\b c", "d"}},  // two backslashes before a quote: one, and the quote opens
        {"\"a \"\"b\" c", {"a \"b", "c"}},      // a doubled quote inside quotes is one
        {"x\\y \\\\z", {"x\\y", "\\\\z"}},   // backslashes not before a quote stay
        {"", {}},
    };
    for (const auto& [given, expected] : cases) EXPECT_EQ(SplitArguments(given), expected) << given;
}

// Three- and four-byte characters, the mark and the byte order are read back by ScheduleXml,
// the way back by PasswordFile.
TEST(Utf16, FromUtf8WithTheReplacementCharacterForWhatIsNoUtf8) {
    EXPECT_EQ(Utf16LeWithBom("\xC3\xA9x\xFFy"), "\xFF\xFE\xE9\0x\0\xFD\xFFy\0"s);  // é, x, U+FFFD, y
}

}  // namespace
