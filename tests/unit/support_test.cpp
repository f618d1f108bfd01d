// The logs, the password file and the hidden command runner.
#include <gtest/gtest.h>

#include "fakes.h"
#include "support/command_line.h"
#include "support/password_file.h"
#include "support/runner.h"

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::string_literals;

namespace {

const std::string kSep = "----------------------------------------\r\n";

TEST(Log, RecordLayoutsAppendInOrder) {
    FakeMachine w;
    w.machine.log.WriteLog("IsIIS8OrGreater", "two\r\nlines");
    w.machine.log.WriteLog("P", "");
    w.machine.log.WriteErrorLog("RunHiddenAndCapture", -2147024894, "Not found.");
    EXPECT_EQ(w.InfoLog(), "[2026/12/6 9:05:07] 在过程 'IsIIS8OrGreater' 记录: two\r\nlines\r\n" + kSep +
                               "[2026/12/6 9:05:07] 在过程 'P' 记录: \r\n" + kSep);
    EXPECT_EQ(w.ErrorLog(), "[2026/12/6 9:05:07] 在过程 'RunHiddenAndCapture' 中发生错误: Not found. (代码: -2147024894)\r\n" + kSep);
}

TEST(Log, UnwritableFolderIsSilentAndADriveRootGetsNoDoubleBackslash) {
    FakeMachine w;
    w.fs.readOnlyFolders.insert(w.host.appFolder);
    EXPECT_NO_THROW(w.machine.log.WriteErrorLog("X", 70, "Permission denied"));
    EXPECT_FALSE(w.fs.FileExists(w.AppPath("log-error.txt")));

    w.host.appFolder = "D:\\";
    w.fs.AddFolder("D:");
    w.machine.log.WriteLog("P", "m");
    EXPECT_TRUE(w.fs.FileExists("D:\\log.txt"));
}

// Windows-1252 for the bytes used here: high bytes become Latin-1 characters in UTF-8.
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

TEST(RunHiddenAndCapture, HandsBackExitCodeAndOutputAndLogsAToolThatCannotStart) {
    FakeMachine w;
    w.shell.onCapture = [](const std::string&) { return Captured{1168, "ERROR ( message:x. )\r\n"}; };
    const ToolRun refused = RunHiddenAndCapture(w.shell, w.machine.log, "C:\\t.exe list");
    EXPECT_TRUE(refused.started);
    EXPECT_FALSE(refused.Succeeded());
    EXPECT_EQ(refused.exitCode, 1168);
    EXPECT_EQ(refused.FirstLine(), "ERROR ( message:x. )");
    EXPECT_TRUE(w.shell.runs.at(0).captured);
    EXPECT_EQ(w.ErrorLog(), "");  // the caller judges a refusal

    w.shell.onCapture = [](const std::string&) -> Captured { throw Failure(2, "Cannot find the file."); };
    const ToolRun missing = RunHiddenAndCapture(w.shell, w.machine.log, "C:\\t.exe");
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(w.ErrorLog().find("'RunHiddenAndCapture' 中发生错误: Cannot find the file. (C:\\t.exe) (代码: 2)"),
              std::string::npos);
}

TEST(SystemPrograms, AreNamedByFullPathQuotedOnlyWhenNeeded) {
    FakeMachine w;
    EXPECT_EQ(SystemProgram(w.fs, "inetsrv\\appcmd.exe"), "C:\\windows\\system32\\inetsrv\\appcmd.exe");
    EXPECT_EQ(ProgramToken("C:\\windows\\system32\\reg.exe"), "C:\\windows\\system32\\reg.exe");
    EXPECT_EQ(ProgramToken("D:\\Win Dir\\system32\\reg.exe"), "\"D:\\Win Dir\\system32\\reg.exe\"");
}

}  // namespace
