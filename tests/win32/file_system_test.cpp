#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "test_support.h"
#include "win32/file_system_win32.h"
#include "win32/text_win32.h"

namespace quillbay::win32::testing {
namespace {

class Win32FileSystemTest : public ::testing::Test {
protected:
    Win32FileSystem fs;
    ScratchFolder scratch{"qb fs "};
};

TEST_F(Win32FileSystemTest, ThrowsTheSystemsErrorCodes) {
    // A folder that exists already is start-up's error end to end (15-startup-error).
    const struct { const char* what; std::function<void()> action; std::int32_t number; } cases[] = {
        {"two levels", [&] { fs.CreateFolder(scratch / "a\\b"); }, ERROR_PATH_NOT_FOUND},
        {"list missing", [&] { fs.ListFiles(scratch / "missing"); }, ERROR_PATH_NOT_FOUND},
        {"bytes missing", [&] { fs.ReadBytes(scratch / "missing.pfx"); }, ERROR_FILE_NOT_FOUND},
        {"text missing", [&] { fs.ReadAllText(scratch / "missing.txt"); }, ERROR_FILE_NOT_FOUND},
        {"append no folder", [&] { fs.AppendText(scratch / "missing\\log.txt", "x"); }, ERROR_PATH_NOT_FOUND},
        {"write no folder", [&] { fs.WriteText(scratch / "missing\\s.vbs", "x"); }, ERROR_PATH_NOT_FOUND},
        {"copy missing", [&] { fs.Copy(scratch / "none.crt", scratch / "d.crt", true); }, ERROR_FILE_NOT_FOUND},
        {"delete missing", [&] { fs.Delete(scratch / "none.crt"); }, ERROR_FILE_NOT_FOUND},
        {"no such folder", [&] { fs.GetSpecialFolder(static_cast<SpecialFolder>(7)); }, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) EXPECT_EQ(FailureNumber(c.action), c.number) << c.what;
}

TEST_F(Win32FileSystemTest, ListsOnlyTheFilesDirectlyInAFolder) {
    fs.CreateFolder(scratch / "sub.crt");
    fs.CreateFolder(scratch / "empty");
    for (const char* name : {"a.crt", "b c.cer", "hidden.der", "sub.crt\\inner.crt"}) WriteRaw(scratch / name, "x");
    SetFileAttributesW(Utf8ToWide(scratch / "hidden.der").c_str(), FILE_ATTRIBUTE_HIDDEN);
    for (const std::string& folder : {scratch.path(), scratch.path() + "\\"}) {
        std::vector<FileEntry> files = fs.ListFiles(folder);
        std::sort(files.begin(), files.end(), [](const FileEntry& a, const FileEntry& b) { return a.name < b.name; });
        std::vector<std::string> listed;
        for (const FileEntry& file : files) listed.push_back(file.name + "|" + file.path);
        EXPECT_EQ(listed, (std::vector<std::string>{"a.crt|" + scratch / "a.crt", "b c.cer|" + scratch / "b c.cer",
                                                    "hidden.der|" + scratch / "hidden.der"}));
    }
    EXPECT_EQ(fs.ListFiles(scratch / "sub.crt").size(), 1u);
    EXPECT_TRUE(fs.ListFiles(scratch / "empty").empty());
}

TEST_F(Win32FileSystemTest, TextFilesAreInTheSystemCodePage) {
    // A text each code page can hold, and its bytes there.
    const struct { UINT codePage; std::string utf8, ansi; } samples[] = {
        {1252, "caf\xC3\xA9 \xE2\x82\xAC", "caf\xE9 \x80"},           // café €
        {936, "\xE4\xB8\xAD\xE6\x96\x87 ok", "\xD6\xD0\xCE\xC4 ok"},  // 中文
        {950, "\xE4\xB8\xAD\xE6\x96\x87 ok", "\xA4\xA4\xA4\xE5 ok"},
        {CP_UTF8, "caf\xC3\xA9 \xE4\xB8\xAD", "caf\xC3\xA9 \xE4\xB8\xAD"},
    };
    auto sample = std::find_if(std::begin(samples), std::end(samples), [](auto& s) { return s.codePage == GetACP(); });
    if (sample == std::end(samples)) GTEST_SKIP() << "no sample text for code page " << GetACP();
    const std::string path = scratch / "log.txt";
    fs.AppendText(path, sample->utf8 + "\r\n");  // creates the file
    fs.AppendText(path, "second\r\n");
    EXPECT_EQ(ReadRaw(path), sample->ansi + "\r\nsecond\r\n");
    EXPECT_EQ(fs.ReadAllText(path), sample->utf8 + "\r\nsecond\r\n");
    fs.WriteText(path, "new");  // empties the file first
    EXPECT_EQ(ReadRaw(path), "new");
    if (GetACP() == CP_UTF8) return;
    // U+0159 and U+05D0 are in none of the usual ANSI code pages; the best-fit look-alike
    // "r" of U+0159 must not be used.
    fs.WriteText(path, "[\xC5\x99\xD7\x90]");
    EXPECT_EQ(ReadRaw(path), "[??]");
}

TEST_F(Win32FileSystemTest, AppendsBesideAnotherWriterOfTheSameLog) {
    // A second Quillbay holds the log open for appending while this one writes its record.
    const std::string path = scratch / "log.txt";
    HANDLE other = CreateFileW(Utf8ToWide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(other, "theirs\r\n", 8, &written, nullptr);
    EXPECT_NO_THROW(fs.AppendText(path, "ours\r\n"));
    WriteFile(other, "theirs again\r\n", 14, &written, nullptr);
    CloseHandle(other);
    EXPECT_EQ(ReadRaw(path), "theirs\r\nours\r\ntheirs again\r\n");
}

TEST_F(Win32FileSystemTest, CopiesWithAndWithoutOverwritingAndDeletesReadOnlyFiles) {
    WriteRaw(scratch / "a.crt", "first");
    WriteRaw(scratch / "b.crt", "second");
    fs.Copy(scratch / "a.crt", scratch / "c.crt", false);
    EXPECT_EQ(ReadRaw(scratch / "c.crt"), "first");
    EXPECT_EQ(FailureNumber([&] { fs.Copy(scratch / "b.crt", scratch / "c.crt", false); }), ERROR_FILE_EXISTS);
    EXPECT_EQ(ReadRaw(scratch / "c.crt"), "first");
    fs.Copy(scratch / "b.crt", scratch / "c.crt", true);
    EXPECT_EQ(ReadRaw(scratch / "c.crt"), "second");

    ASSERT_TRUE(SetFileAttributesW(Utf8ToWide(scratch / "c.crt").c_str(), FILE_ATTRIBUTE_READONLY));
    fs.Delete(scratch / "c.crt");
    EXPECT_FALSE(fs.FileExists(scratch / "c.crt"));
}

}  // namespace
}  // namespace quillbay::win32::testing
