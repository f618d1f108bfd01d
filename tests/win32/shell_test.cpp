#include <gtest/gtest.h>

#include <windows.h>

#include "test_support.h"
#include "win32/file_system_win32.h"
#include "win32/shell_win32.h"
#include "win32/text_win32.h"

namespace quillbay::win32::testing {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// What the helper program wrote about how it was started.
struct StartRecord {
    std::string args;
    std::string show;
};

StartRecord ReadRecord(const std::string& path) {
    std::string text = ReadRaw(path);
    StartRecord record;
    size_t argsEnd = text.find("\nshow=");
    if (text.rfind("args=", 0) != 0 || argsEnd == std::string::npos) {
        ADD_FAILURE() << "no start record in " << path << ": " << text;
        return record;
    }
    record.args = text.substr(5, argsEnd - 5);
    record.show = text.substr(argsEnd + 6);
    if (!record.show.empty() && record.show.back() == '\n') record.show.pop_back();
    return record;
}

bool WaitForFile(const std::string& path, DWORD milliseconds) {
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        if (!ReadRaw(path).empty()) return true;
        Sleep(50);
    }
    return false;
}

TEST(SplitCommandLine, TakesTheFirstTokenAsProgramAndKeepsTheRest) {
    EXPECT_EQ(SplitCommandLine("reg add HKLM\\X /v A /f"),
              std::make_pair(std::string("reg"), std::string("add HKLM\\X /v A /f")));
    EXPECT_EQ(SplitCommandLine("certlm.msc"), std::make_pair(std::string("certlm.msc"), std::string()));
    EXPECT_EQ(SplitCommandLine("  cmd.exe   /c  echo  a  "),
              std::make_pair(std::string("cmd.exe"), std::string("/c  echo  a  ")));
    EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\x y\\t.exe\" -a \"b c\""),
              std::make_pair(std::string("C:\\Program Files\\x y\\t.exe"), std::string("-a \"b c\"")));
    EXPECT_EQ(SplitCommandLine("\"C:\\unterminated path"),
              std::make_pair(std::string("C:\\unterminated path"), std::string()));
}

class Win32ShellRun : public ::testing::Test {
protected:
    Win32Shell shell;
    ScratchFolder scratch{"qb shell "};
    std::string record = scratch / "record.txt";
};

TEST_F(Win32ShellRun, ReturnsTheExitCodeOfTheProcessItWaitedFor) {
    EXPECT_EQ(shell.Run("cmd.exe /c exit 0", WindowStyle::Hidden, true), 0);
    EXPECT_EQ(shell.Run("cmd.exe /c exit 1", WindowStyle::Hidden, true), 1);
    EXPECT_EQ(shell.Run("cmd.exe /c exit 3", WindowStyle::Hidden, true), 3);
    EXPECT_EQ(shell.Run(Quoted(HelperPath()) + " 255", WindowStyle::Hidden, true), 255);
}

TEST_F(Win32ShellRun, KeepsAllThirtyTwoBitsOfTheExitCode) {
    EXPECT_EQ(shell.Run(Quoted(HelperPath()) + " -2147024894", WindowStyle::Hidden, true), -2147024894);
    EXPECT_EQ(shell.Run(Quoted(HelperPath()) + " 65536", WindowStyle::Hidden, true), 65536);
}

TEST_F(Win32ShellRun, FindsABareProgramNameOnTheSearchPath) {
    EXPECT_EQ(shell.Run("cmd /c exit 4", WindowStyle::Hidden, true), 4);
}

TEST_F(Win32ShellRun, StartsAQuotedProgramPathThatContainsBlanks) {
    ScratchFolder folder{"qb prog dir "};
    std::string copy = folder / "exit code helper.exe";
    ASSERT_TRUE(CopyFileW(Utf8ToWide(HelperPath()).c_str(), Utf8ToWide(copy).c_str(), FALSE));
    EXPECT_EQ(shell.Run(Quoted(copy) + " 5", WindowStyle::Hidden, true), 5);
}

TEST_F(Win32ShellRun, HandsTheParametersOverUnchangedAndHidden) {
    std::string parameters = "0 " + Quoted(record) + " a  \"b c\" %PATH% ^x &y";
    ASSERT_EQ(shell.Run(Quoted(HelperPath()) + " " + parameters, WindowStyle::Hidden, true), 0);
    StartRecord started = ReadRecord(record);
    EXPECT_EQ(started.args, parameters);
    EXPECT_EQ(started.show, std::to_string(SW_HIDE));
}

TEST_F(Win32ShellRun, StyleOneShowsTheWindowNormally) {
    ASSERT_EQ(shell.Run(Quoted(HelperPath()) + " 0 " + Quoted(record), WindowStyle::Normal, true), 0);
    EXPECT_EQ(ReadRecord(record).show, std::to_string(SW_SHOWNORMAL));
}

TEST_F(Win32ShellRun, WithoutWaitingReturnsZeroAndTheProcessStillRuns) {
    EXPECT_EQ(shell.Run(Quoted(HelperPath()) + " 7 " + Quoted(record) + " detached", WindowStyle::Hidden, false), 0);
    ASSERT_TRUE(WaitForFile(record, 10000));
    // The helper writes and closes its record in one go; give it time to finish writing.
    Sleep(200);
    EXPECT_EQ(ReadRecord(record).args, "7 " + Quoted(record) + " detached");
}

TEST_F(Win32ShellRun, CapturesACommandInterpreterRedirectionIntoAFolderWithBlanks) {
    ScratchFolder target{"qb capture a b "};
    std::string out = target / "out.txt";
    ASSERT_EQ(shell.Run("cmd.exe /c echo hi > " + Quoted(out), WindowStyle::Hidden, true), 0);
    // The blank before ">" belongs to the echoed text.
    EXPECT_EQ(ReadRaw(out), "hi \r\n");
}

TEST_F(Win32ShellRun, LetsTheCommandInterpreterExpandEnvironmentReferences) {
    std::string out = scratch / "windir.txt";
    ASSERT_EQ(shell.Run("cmd.exe /c echo %windir%\\x> " + Quoted(out), WindowStyle::Hidden, true), 0);
    wchar_t windows[MAX_PATH];
    UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(ReadRaw(out), WideToUtf8(std::wstring(windows, length)) + "\\x\r\n");
}

TEST_F(Win32ShellRun, ToolsStartedThroughARedirectingInterpreterGetATrailingBlank) {
    // The wrapped command lines of the hidden command runner have this shape: an unquoted
    // tool path, its arguments, and a quoted capture file.
    ScratchFolder tools{"qbtools"};
    ASSERT_EQ(tools.path().find(' '), std::string::npos);
    std::string helper = tools / "tool.exe";
    ASSERT_TRUE(CopyFileW(Utf8ToWide(HelperPath()).c_str(), Utf8ToWide(helper).c_str(), FALSE));
    std::string toolRecord = tools / "record.txt";
    ScratchFolder target{"qb capture a b "};
    std::string command = helper + " 0 " + toolRecord + " list module \"RewriteModule\"";
    ASSERT_EQ(shell.Run("cmd.exe /c " + command + " > " + Quoted(target / "out.txt"), WindowStyle::Hidden, true), 0);
    EXPECT_EQ(ReadRecord(toolRecord).args, "0 " + toolRecord + " list module \"RewriteModule\" ");
}

TEST_F(Win32ShellRun, AProgramThatDoesNotExistThrowsFileNotFound) {
    try {
        shell.Run("quillbay_no_such_program_4711.exe /x", WindowStyle::Hidden, true);
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), ERROR_FILE_NOT_FOUND);
        EXPECT_FALSE(failure.description().empty());
    }
    EXPECT_THROW(shell.Run(scratch / "missing.exe", WindowStyle::Hidden, false), Failure);
    EXPECT_THROW(shell.Run("", WindowStyle::Hidden, true), Failure);
}

class Win32ShellDocument : public Win32ShellRun {
protected:
    void SetUp() override {
        std::wstring command = L"\"" + Utf8ToWide(HelperPath()) + L"\" 7 \"" + Utf8ToWide(record) + L"\" \"%1\"";
        ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, L".qbadaptertest", nullptr, REG_SZ, L"QuillbayAdapterTest.Doc",
                                  sizeof(L"QuillbayAdapterTest.Doc")),
                  ERROR_SUCCESS);
        DWORD size = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
        ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, L"QuillbayAdapterTest.Doc\\shell\\open\\command", nullptr,
                                  REG_SZ, command.c_str(), size),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L".qbadaptertest");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"QuillbayAdapterTest.Doc");
    }
};

TEST_F(Win32ShellDocument, OpensADocumentWithItsAssociatedProgram) {
    std::string document = scratch / "settings.qbadaptertest";
    WriteRaw(document, "x");
    EXPECT_EQ(shell.Run(Quoted(document), WindowStyle::Hidden, true), 7);
    StartRecord started = ReadRecord(record);
    EXPECT_NE(started.args.find(document), std::string::npos) << started.args;
}

class Win32ShellRegRead : public ::testing::Test {
protected:
    static constexpr const wchar_t* kKey = L"Software\\QuillbayAdapterTests";

    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        SetString(L"Text", REG_SZ, L"h\u00e9llo w\u00f6rld");
        SetString(L"Expand", REG_EXPAND_SZ, L"%WINDIR%\\x");
        SetString(nullptr, REG_SZ, L"the default");
        SetDword(L"Ten", 10);
        SetDword(L"AllBits", 0xFFFFFFFEu);
        const wchar_t multi[] = L"one\0two\0";
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Multi", REG_MULTI_SZ, multi, sizeof multi),
                  ERROR_SUCCESS);
        const BYTE binary[] = {1, 2, 3};
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Binary", REG_BINARY, binary, sizeof binary),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        shell.Run("reg delete HKLM\\Software\\QuillbayAdapterTests /f", WindowStyle::Hidden, true);
    }

    void SetString(const wchar_t* name, DWORD type, const std::wstring& value) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, type, value.c_str(),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    void SetDword(const wchar_t* name, DWORD value) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_DWORD, &value, sizeof value), ERROR_SUCCESS);
    }
    int32_t FailureNumber(const std::string& path) {
        try {
            shell.RegRead(path);
        } catch (const Failure& failure) {
            return failure.number();
        }
        return 0;
    }

    Win32Shell shell;
};

TEST_F(Win32ShellRegRead, ReadsTextAndNumbersUnderEveryFormOfTheRoot) {
    EXPECT_EQ(shell.RegRead("HKCU\\Software\\QuillbayAdapterTests\\Text"), "h\xC3\xA9llo w\xC3\xB6rld");
    EXPECT_EQ(shell.RegRead("HKEY_CURRENT_USER\\Software\\QuillbayAdapterTests\\Text"), "h\xC3\xA9llo w\xC3\xB6rld");
    EXPECT_EQ(shell.RegRead("hkcu\\software\\quillbayadaptertests\\ten"), "10");
    EXPECT_EQ(shell.RegRead("HKCU\\Software\\QuillbayAdapterTests\\AllBits"), "-2");
    EXPECT_EQ(shell.RegRead("HKCU\\Software\\QuillbayAdapterTests\\Multi"), "one\r\ntwo");
    wchar_t windows[MAX_PATH];
    UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(shell.RegRead("HKCU\\Software\\QuillbayAdapterTests\\Expand"),
              WideToUtf8(std::wstring(windows, length)) + "\\x");
}

TEST_F(Win32ShellRegRead, APathEndingInABackslashReadsTheDefaultValue) {
    EXPECT_EQ(shell.RegRead("HKCU\\Software\\QuillbayAdapterTests\\"), "the default");
}

TEST_F(Win32ShellRegRead, MissingKeysAndValuesThrowFileNotFound) {
    EXPECT_EQ(FailureNumber("HKCU\\Software\\QuillbayAdapterTests\\Absent"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FailureNumber("HKCU\\Software\\QuillbayAdapterTests\\NoSuchKey\\Ten"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FailureNumber("HKLM\\SOFTWARE\\QuillbayNoSuchKey\\"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Win32ShellRegRead, RejectsUnknownRootsAndUnreadableTypes) {
    EXPECT_EQ(FailureNumber("HKXY\\Software\\QuillbayAdapterTests\\Ten"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(FailureNumber("Ten"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(FailureNumber("HKCU\\Software\\QuillbayAdapterTests\\Binary"), ERROR_UNSUPPORTED_TYPE);
}

TEST_F(Win32ShellRegRead, ReadsBackMachineValuesThatRegWrote) {
    const std::string add = "reg add HKLM\\Software\\QuillbayAdapterTests /t REG_DWORD /f /v ";
    ASSERT_EQ(shell.Run(add + "MajorVersion /d 10", WindowStyle::Hidden, true), 0);
    ASSERT_EQ(shell.Run(add + "Leading /d 00000800", WindowStyle::Hidden, true), 0);
    ASSERT_EQ(shell.Run(add + "Hex /d 0x800", WindowStyle::Hidden, true), 0);
    EXPECT_EQ(shell.RegRead("HKLM\\Software\\QuillbayAdapterTests\\MajorVersion"), "10");
    EXPECT_EQ(shell.RegRead("HKEY_LOCAL_MACHINE\\Software\\QuillbayAdapterTests\\Leading"), "800");
    EXPECT_EQ(shell.RegRead("HKLM\\Software\\QuillbayAdapterTests\\Hex"), "2048");

    ASSERT_EQ(shell.Run("reg delete HKLM\\Software\\QuillbayAdapterTests /f", WindowStyle::Hidden, true), 0);
    EXPECT_EQ(FailureNumber("HKLM\\Software\\QuillbayAdapterTests\\MajorVersion"), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace quillbay::win32::testing
