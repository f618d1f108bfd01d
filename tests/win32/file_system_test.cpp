#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <algorithm>

#include "test_support.h"
#include "win32/file_system_win32.h"
#include "win32/path_security.h"
#include "win32/text_win32.h"

namespace quillbay::win32::testing {
namespace {

class Win32FileSystemTest : public ::testing::Test {
protected:
    Win32FileSystem fs;
    ScratchFolder scratch{"qb fs "};
};

TEST_F(Win32FileSystemTest, ThrowsTheSystemsErrorCodes) {
    fs.CreateFolder(scratch / "chain");  // CreateFolder's own refusal of it is start-up's error (15-startup-error)
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
        {"admin-only folder exists", [&] { fs.CreateAdminOnlyFolder(scratch / "chain"); }, ERROR_ALREADY_EXISTS},
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
    fs.AppendText(path, std::string("second\0\r\n", 9));  // what follows a NUL (in a tool's output) is kept
    EXPECT_EQ(ReadRaw(path), sample->ansi + std::string("\r\nsecond\0\r\n", 11));
    EXPECT_EQ(fs.ReadAllText(path), sample->utf8 + std::string("\r\nsecond\0\r\n", 11));
    fs.WriteText(path, "new");  // empties the file first
    EXPECT_EQ(ReadRaw(path), "new");
    if (GetACP() == CP_UTF8) return;
    // U+0159 and U+05D0 are in none of the usual ANSI code pages; the best-fit look-alike
    // "r" of U+0159 must not be used.
    fs.WriteText(path, "[\xC5\x99\xD7\x90]");
    EXPECT_EQ(ReadRaw(path), "[??]");
}

// Who else may get at a path, read from its descriptor. Wine keeps no DACL set on a file, so the
// descriptors are made here from the text a folder under C:\\ and others would carry.
TEST(Win32PathSecurity, OthersAccessFromTheDescriptor) {
    const struct {
        const wchar_t* sddl;
        bool folder, write, read;
    } cases[] = {
        // A folder made under C:\\ inherits: Users read, create files and folders; CREATOR OWNER.
        {L"O:BAD:(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)(A;CIID;0x100004;;;BU)"
         L"(A;CIID;0x100002;;;BU)(A;OICIIOID;GA;;;CO)", true, true, true},
        {L"O:S-1-5-21-1-2-3-1000D:(A;;FA;;;S-1-5-21-1-2-3-1000)(A;;FA;;;SY)", false, false, false},  // the owner
        {L"O:BAD:(A;;FR;;;AU)", false, false, true},                    // authenticated users read
        {L"O:BAD:(A;OICIIO;FA;;;BU)", true, false, false},              // only for what is made inside
        {L"O:BAD:(A;;0x40;;;BU)", true, true, false},                   // delete children of a folder
        {L"O:BAD:(A;;0x40;;;BU)", false, false, false},                 // the same bit is execute on a file
        {L"O:BAD:(D;;FA;;;WD)(A;;FA;;;BA)", false, false, false},       // a denial gives nothing
        {L"O:BAD:(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)", true, false, false},
    };
    for (const auto& c : cases) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl, SDDL_REVISION_1, &descriptor, nullptr))
            << WideToUtf8(c.sddl);
        const PathAccess access = OthersAccess(descriptor, c.folder);
        LocalFree(descriptor);
        EXPECT_EQ(access.othersMayWrite, c.write) << WideToUtf8(c.sddl);
        EXPECT_EQ(access.othersMayRead, c.read) << WideToUtf8(c.sddl);
    }
    SECURITY_DESCRIPTOR open{};  // no DACL at all: everyone may do everything
    InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);
    EXPECT_TRUE(OthersAccess(&open, false).othersMayWrite && OthersAccess(&open, false).othersMayRead);

    PSECURITY_DESCRIPTOR own = AdminOnlyDescriptor();
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(own, &control, &revision);
    EXPECT_TRUE(control & SE_DACL_PROTECTED);
    const PathAccess access = OthersAccess(own, true);
    LocalFree(own);
    EXPECT_FALSE(access.othersMayWrite || access.othersMayRead);
}

TEST_F(Win32FileSystemTest, AdminOnlyFolderAndNewFilesNeverReuseWhatIsThere) {
    const std::string folder = scratch / "private";
    fs.CreateAdminOnlyFolder(folder);
    fs.WriteNewBytes(folder + "\\update.zip", std::string("PK\0\x03", 4));
    EXPECT_EQ(ReadRaw(folder + "\\update.zip"), std::string("PK\0\x03", 4));
    EXPECT_EQ(FailureNumber([&] { fs.WriteNewBytes(folder + "\\update.zip", "other"); }), ERROR_FILE_EXISTS);
    EXPECT_EQ(ReadRaw(folder + "\\update.zip"), std::string("PK\0\x03", 4));
    const PathAccess access = fs.Access(folder);
    EXPECT_FALSE(access.reparsePoint || access.othersMayWrite || access.othersMayRead);
    EXPECT_EQ(FailureNumber([&] { fs.Access(scratch / "missing"); }), ERROR_FILE_NOT_FOUND);
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
