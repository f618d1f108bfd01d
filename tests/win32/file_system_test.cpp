#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <regex>
#include <set>

#include "test_support.h"
#include "win32/file_system_win32.h"
#include "win32/text_win32.h"

namespace quillbay::win32::testing {
namespace {

int32_t FailureNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure.number();
    }
    return 0;
}

// A text the system code page can hold, with its bytes in that code page.
struct CodePageSample {
    std::string utf8;
    std::string ansi;
};

std::optional<CodePageSample> SampleForCodePage(UINT codePage) {
    switch (codePage) {
        case 1252: return CodePageSample{"caf\xC3\xA9 \xE2\x82\xAC", "caf\xE9 \x80"};           // café €
        case 936: return CodePageSample{"\xE4\xB8\xAD\xE6\x96\x87 ok", "\xD6\xD0\xCE\xC4 ok"};  // 中文
        case 950: return CodePageSample{"\xE4\xB8\xAD\xE6\x96\x87 ok", "\xA4\xA4\xA4\xE5 ok"};  // 中文
        case CP_UTF8: return CodePageSample{"caf\xC3\xA9 \xE4\xB8\xAD", "caf\xC3\xA9 \xE4\xB8\xAD"};
        default: return std::nullopt;
    }
}

class Win32FileSystemTest : public ::testing::Test {
protected:
    Win32FileSystem fs;
    ScratchFolder scratch{"qb fs "};
};

TEST_F(Win32FileSystemTest, TellsFilesFromFolders) {
    WriteRaw(scratch / "file.txt", "x");
    EXPECT_TRUE(fs.FileExists(scratch / "file.txt"));
    EXPECT_FALSE(fs.FolderExists(scratch / "file.txt"));
    EXPECT_TRUE(fs.FolderExists(scratch.path()));
    EXPECT_FALSE(fs.FileExists(scratch.path()));
    EXPECT_FALSE(fs.FileExists(scratch / "missing.txt"));
    EXPECT_FALSE(fs.FolderExists(scratch / "missing"));
}

TEST_F(Win32FileSystemTest, CreatesOneFolderLevel) {
    fs.CreateFolder(scratch / "chain");
    EXPECT_TRUE(fs.FolderExists(scratch / "chain"));
    EXPECT_EQ(FailureNumber([&] { fs.CreateFolder(scratch / "chain"); }), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(FailureNumber([&] { fs.CreateFolder(scratch / "a\\b"); }), ERROR_PATH_NOT_FOUND);
}

TEST_F(Win32FileSystemTest, ListsOnlyTheFilesDirectlyInAFolder) {
    WriteRaw(scratch / "a.crt", "1");
    WriteRaw(scratch / "b c.cer", "2");
    WriteRaw(scratch / "hidden.der", "3");
    SetFileAttributesW(Utf8ToWide(scratch / "hidden.der").c_str(), FILE_ATTRIBUTE_HIDDEN);
    fs.CreateFolder(scratch / "sub.crt");
    WriteRaw(scratch / "sub.crt\\inner.crt", "4");

    std::vector<FileEntry> files = fs.ListFiles(scratch.path());
    std::sort(files.begin(), files.end(), [](const FileEntry& a, const FileEntry& b) { return a.name < b.name; });
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].name, "a.crt");
    EXPECT_EQ(files[0].path, scratch / "a.crt");
    EXPECT_EQ(files[1].name, "b c.cer");
    EXPECT_EQ(files[1].path, scratch / "b c.cer");
    EXPECT_EQ(files[2].name, "hidden.der");

    EXPECT_EQ(fs.ListFiles(scratch.path() + "\\").size(), 3u);
    EXPECT_TRUE(fs.ListFiles(scratch / "sub.crt").size() == 1);
    fs.CreateFolder(scratch / "empty");
    EXPECT_TRUE(fs.ListFiles(scratch / "empty").empty());
    EXPECT_EQ(FailureNumber([&] { fs.ListFiles(scratch / "missing"); }), ERROR_PATH_NOT_FOUND);
}

TEST_F(Win32FileSystemTest, SpecialFoldersExistAndHaveNoTrailingBackslash) {
    std::string system = fs.GetSpecialFolder(SpecialFolder::System);
    std::string temp = fs.GetSpecialFolder(SpecialFolder::Temporary);
    for (const std::string& folder : {system, temp}) {
        ASSERT_FALSE(folder.empty());
        EXPECT_NE(folder.back(), '\\') << folder;
        EXPECT_TRUE(fs.FolderExists(folder)) << folder;
    }
    EXPECT_TRUE(fs.FileExists(system + "\\cmd.exe")) << system;
    EXPECT_THROW(fs.GetSpecialFolder(static_cast<SpecialFolder>(7)), Failure);
}

TEST_F(Win32FileSystemTest, TempNamesAreFreshAndWellFormed) {
    const std::regex shape("rad[0-9A-F]{5}\\.tmp");
    std::string temp = fs.GetSpecialFolder(SpecialFolder::Temporary);
    std::set<std::string> seen;
    for (int i = 0; i < 2000; ++i) {
        std::string name = fs.GetTempName();
        ASSERT_TRUE(std::regex_match(name, shape)) << name;
        ASSERT_TRUE(seen.insert(name).second) << "repeated " << name;
    }
    // A generated name is free: a file can be created there and is not someone else's.
    std::string name = fs.GetTempName();
    EXPECT_FALSE(fs.FileExists(temp + "\\" + name));
    WriteRaw(temp + "\\" + name, "x");
    fs.Delete(temp + "\\" + name);
}

TEST_F(Win32FileSystemTest, TextFilesAreInTheSystemCodePage) {
    std::optional<CodePageSample> sample = SampleForCodePage(GetACP());
    if (!sample) GTEST_SKIP() << "no sample text for code page " << GetACP();
    std::string path = scratch / "log.txt";

    fs.AppendText(path, sample->utf8 + "\r\n");  // creates the file
    fs.AppendText(path, "second\r\n");
    EXPECT_EQ(ReadRaw(path), sample->ansi + "\r\nsecond\r\n");
    EXPECT_EQ(fs.ReadAllText(path), sample->utf8 + "\r\nsecond\r\n");

    fs.WriteText(path, "new");  // empties the file first
    EXPECT_EQ(ReadRaw(path), "new");

    WriteRaw(path, sample->ansi + "\r\n\r\n");
    EXPECT_EQ(fs.ReadAllText(path), sample->utf8 + "\r\n\r\n");
}

TEST_F(Win32FileSystemTest, CharactersTheCodePageCannotHoldBecomeQuestionMarks) {
    if (GetACP() == CP_UTF8) GTEST_SKIP() << "a UTF-8 code page holds every character";
    std::string path = scratch / "log.txt";
    // U+0159 and U+05D0: in none of the usual ANSI code pages; U+0159 has the best-fit
    // look-alike "r", which must not be used.
    fs.WriteText(path, "[\xC5\x99\xD7\x90]");
    EXPECT_EQ(ReadRaw(path), "[??]");
}

TEST_F(Win32FileSystemTest, ReadsBytesUnchanged) {
    const std::string bytes("\x00\xFF\r\n\x80z", 6);
    WriteRaw(scratch / "data.pfx", bytes);
    EXPECT_EQ(fs.ReadBytes(scratch / "data.pfx"), bytes);
    WriteRaw(scratch / "empty.pfx", "");
    EXPECT_EQ(fs.ReadBytes(scratch / "empty.pfx"), "");
    EXPECT_EQ(FailureNumber([&] { fs.ReadBytes(scratch / "missing.pfx"); }), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FailureNumber([&] { fs.ReadAllText(scratch / "missing.txt"); }), ERROR_FILE_NOT_FOUND);
}

TEST_F(Win32FileSystemTest, WritingIntoAMissingFolderThrows) {
    EXPECT_EQ(FailureNumber([&] { fs.AppendText(scratch / "missing\\log.txt", "x"); }), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(FailureNumber([&] { fs.WriteText(scratch / "missing\\s.vbs", "x"); }), ERROR_PATH_NOT_FOUND);
}

TEST_F(Win32FileSystemTest, CopiesWithAndWithoutOverwriting) {
    WriteRaw(scratch / "a.crt", "first");
    WriteRaw(scratch / "b.crt", "second");
    fs.Copy(scratch / "a.crt", scratch / "c.crt", false);
    EXPECT_EQ(ReadRaw(scratch / "c.crt"), "first");
    EXPECT_EQ(FailureNumber([&] { fs.Copy(scratch / "b.crt", scratch / "c.crt", false); }), ERROR_FILE_EXISTS);
    EXPECT_EQ(ReadRaw(scratch / "c.crt"), "first");
    fs.Copy(scratch / "b.crt", scratch / "c.crt", true);
    EXPECT_EQ(ReadRaw(scratch / "c.crt"), "second");
    EXPECT_EQ(FailureNumber([&] { fs.Copy(scratch / "none.crt", scratch / "d.crt", true); }),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(Win32FileSystemTest, DeletesReadOnlyFiles) {
    std::string path = scratch / "capture.tmp";
    WriteRaw(path, "x");
    ASSERT_TRUE(SetFileAttributesW(Utf8ToWide(path).c_str(), FILE_ATTRIBUTE_READONLY));
    fs.Delete(path);
    EXPECT_EQ(GetFileAttributesW(Utf8ToWide(path).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(FailureNumber([&] { fs.Delete(path); }), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace quillbay::win32::testing
