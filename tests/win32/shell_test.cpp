#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "test_support.h"
#include "support/command_line.h"
#include "win32/shell_win32.h"
#include "win32/text_win32.h"

namespace quillbay::win32::testing {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string QuoteForTest(const std::string& text) { return QuoteArg(text); }

// The helper's record of how it was started: "args=ARGUMENTS\nshow=SHOW-STATE\n".
std::string Record(const std::string& args, int show) {
    return "args=" + args + "\nshow=" + std::to_string(show) + "\n";
}

TEST(SplitCommandLine, SeparatesTheProgramFromItsParameters) {
    const struct { const char *line, *program, *parameters; } cases[] = {
        {"reg add HKLM\\X /v A /f", "reg", "add HKLM\\X /v A /f"},
        {"certlm.msc", "certlm.msc", ""},
        {"  cmd.exe   /c  echo  a  ", "cmd.exe", "/c  echo  a  "},
        {"\"C:\\Program Files\\x y\\t.exe\" -a \"b c\"", "C:\\Program Files\\x y\\t.exe", "-a \"b c\""},
        {"\"C:\\unterminated path", "C:\\unterminated path", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitCommandLine(c.line), std::make_pair(std::string(c.program), std::string(c.parameters)));
}

class Win32ShellRun : public ::testing::Test {
protected:
    Win32Shell shell;
    ScratchFolder scratch{"qb shell "};
    std::string helper = Quoted(HelperPath());
    std::string record = scratch / "record.txt";
};

TEST_F(Win32ShellRun, ReturnsAllThirtyTwoBitsOfTheExitCode) {
    const std::string spaced = Quoted(scratch / "exit code helper.exe");
    ASSERT_TRUE(CopyFileW(Utf8ToWide(HelperPath()).c_str(), Utf8ToWide(scratch / "exit code helper.exe").c_str(), 0));
    const struct { std::string line; std::int32_t code; } cases[] = {
        {helper + " 0", 0},           {helper + " 255", 255}, {helper + " 65536", 65536},
        {helper + " -2147024894", -2147024894},
        {spaced + " 5", 5},
    };
    for (const auto& c : cases) EXPECT_EQ(shell.Run(c.line, WindowStyle::Hidden, true), c.code) << c.line;
}

TEST_F(Win32ShellRun, HandsTheParametersOverUnchangedInTheStyleAsked) {
    const std::string parameters = "0 " + Quoted(record) + " a  \"b c\" %PATH% ^x &y";
    const struct { WindowStyle style; int show; } cases[] = {{WindowStyle::Hidden, SW_HIDE},
                                                             {WindowStyle::Normal, SW_SHOWNORMAL}};
    for (const auto& c : cases) {
        ASSERT_EQ(shell.Run(helper + " " + parameters, c.style, true), 0);
        EXPECT_EQ(ReadRaw(record), Record(parameters, c.show));
    }
}

TEST_F(Win32ShellRun, WithoutWaitingReturnsZeroAndTheProcessRunsOn) {
    const std::string args = "7 " + Quoted(record) + " detached";
    EXPECT_EQ(shell.Run(helper + " " + args, WindowStyle::Hidden, false), 0);
    // The helper keeps its record unshared until it is complete.
    std::string text;
    for (int i = 0; i < 200 && (text = ReadRaw(record)).empty(); ++i) Sleep(50);
    EXPECT_EQ(text, Record(args, SW_HIDE));
}

// Only a full path to an .exe is started: nothing is looked up in the current folder or on
// the search path, where a planted file could stand in for the tool.
TEST_F(Win32ShellRun, NothingButAFullPathToAProgramIsStarted) {
    const std::string planted = scratch / "planted.txt";
    for (const char* name : {"cmd.exe", "certutil.exe", "reg.exe", "plantedtool.exe"})
        ASSERT_TRUE(CopyFileW(Utf8ToWide(HelperPath()).c_str(), Utf8ToWide(scratch / name).c_str(), 0));
    WriteRaw(scratch / "reg.bat", "@echo x> \"" + planted + "\"\r\n");
    WriteRaw(scratch / "iisreset.bat", "@echo x> \"" + planted + "\"\r\n");
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(Utf8ToWide(scratch.path()).c_str()));
    std::wstring oldPath(32767, L'\0');
    oldPath.resize(GetEnvironmentVariableW(L"PATH", oldPath.data(), 32767));
    SetEnvironmentVariableW(L"PATH", Utf8ToWide(scratch.path()).c_str());
    const struct { std::string line; DWORD number; } cases[] = {
        {"cmd.exe /c exit 3", ERROR_BAD_PATHNAME},
        {"plantedtool 0 " + Quoted(planted), ERROR_BAD_PATHNAME},
        {"reg add HKCU\\x /f", ERROR_BAD_PATHNAME},
        {"iisreset", ERROR_BAD_PATHNAME},
        {".\\certutil.exe 0 " + Quoted(planted), ERROR_BAD_PATHNAME},
        {Quoted(scratch / "reg.bat"), ERROR_BAD_PATHNAME},
        {"C:\\windows\\system32\\..\\system32\\reg.exe", ERROR_BAD_PATHNAME},
        {"", ERROR_BAD_PATHNAME},
        {Quoted(scratch / "missing.exe"), ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        for (bool wait : {true, false})
            EXPECT_EQ(FailureNumber([&] { shell.Run(c.line, WindowStyle::Hidden, wait); }), c.number) << c.line;
        EXPECT_EQ(FailureNumber([&] { shell.RunAndCapture(c.line); }), c.number) << c.line;
    }
    // What follows a NUL would be lost: such a line is not started at all.
    const std::string cut = helper + " 0" + std::string(1, '\0') + " & exit 9";
    EXPECT_EQ(FailureNumber([&] { shell.Run(cut, WindowStyle::Hidden, true); }), ERROR_INVALID_PARAMETER);
    SetCurrentDirectoryW(previous);
    SetEnvironmentVariableW(L"PATH", oldPath.c_str());
    EXPECT_EQ(ReadRaw(planted), "");
    EXPECT_EQ(ReadRaw(record), "");
}

TEST_F(Win32ShellRun, CaptureKeepsEveryByteOfBothStreamsAndTheExitCode) {
    // More than a pipe holds, then a line on standard error, in the program's code page.
    const Captured big = shell.RunAndCapture(helper + " 1168 -print " + Quoted("0123456789abcdef\r\n") + " " +
                                             Quoted("ERROR ( message:Cannot find SITE object. )\r\n") + " 20000");
    EXPECT_EQ(big.exitCode, 1168);
    ASSERT_EQ(big.output.size(), 18u * 20000 + 44);
    EXPECT_EQ(big.output.substr(0, 18), "0123456789abcdef\r\n");
    EXPECT_EQ(big.output.substr(18u * 20000), "ERROR ( message:Cannot find SITE object. )\r\n");

    const std::string odd = "Caf\xC3\xA9 \"x\" %PATH% & ^ [1] 'q'";  // é survives the ANSI round trip here
    const Captured named = shell.RunAndCapture(helper + " 0 -print " + QuoteForTest(odd) + " \"\"");
    EXPECT_EQ(named.exitCode, 0);
    EXPECT_EQ(named.output, odd);
}

TEST_F(Win32ShellRun, TheWindowIsServedWhileAProgramRuns) {
    // The program ends only once the waiting side has served a message: a wait that does not
    // pump would never see it.
    const std::string release = scratch / "release";
    int served = 0;
    Win32Shell pumping([&] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ++served;
        WriteRaw(release, "go");
    });
    PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
    EXPECT_EQ(pumping.Run(helper + " 4 -wait " + Quoted(release), WindowStyle::Hidden, true), 4);
    EXPECT_GE(served, 1);
    DeleteFileW(Utf8ToWide(release).c_str());
    PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
    EXPECT_EQ(pumping.RunAndCapture(helper + " 6 -wait " + Quoted(release)).exitCode, 6);
}

class Win32ShellRegRead : public ::testing::Test {
protected:
    static constexpr const wchar_t* kKey = L"Software\\QuillbayAdapterTests";

    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        const DWORD ten = 10, allBits = 0xFFFFFFFEu;
        const wchar_t multi[] = L"one\0two\0";
        Set(L"Text", REG_SZ, L"h\u00e9llo w\u00f6rld", sizeof L"h\u00e9llo w\u00f6rld");
        Set(L"Expand", REG_EXPAND_SZ, L"%WINDIR%\\x", sizeof L"%WINDIR%\\x");
        Set(nullptr, REG_SZ, L"the default", sizeof L"the default");
        Set(L"Ten", REG_DWORD, &ten, sizeof ten);
        Set(L"AllBits", REG_DWORD, &allBits, sizeof allBits);
        Set(L"Multi", REG_MULTI_SZ, multi, sizeof multi);
        Set(L"Binary", REG_BINARY, "\1\2\3", 3);
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    }
    void Set(const wchar_t* name, DWORD type, const void* data, std::size_t size) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, type, data, static_cast<DWORD>(size)), ERROR_SUCCESS);
    }

    Win32Shell shell;
};

TEST_F(Win32ShellRegRead, ReadsEachTypeUnderEveryFormOfTheRoot) {
    const struct { std::string path, value; } cases[] = {
        {"HKCU\\Software\\QuillbayAdapterTests\\Text", "h\xC3\xA9llo w\xC3\xB6rld"},
        {"HKEY_CURRENT_USER\\Software\\QuillbayAdapterTests\\Text", "h\xC3\xA9llo w\xC3\xB6rld"},
        {"hkcu\\software\\quillbayadaptertests\\ten", "10"},
        {"HKCU\\Software\\QuillbayAdapterTests\\AllBits", "-2"},
        {"HKCU\\Software\\QuillbayAdapterTests\\Multi", "one\r\ntwo"},
        {"HKCU\\Software\\QuillbayAdapterTests\\Expand", std::string(std::getenv("WINDIR")) + "\\x"},
        {"HKCU\\Software\\QuillbayAdapterTests\\", "the default"},  // a trailing backslash: the default value
    };
    for (const auto& c : cases) EXPECT_EQ(shell.RegRead(c.path), c.value) << c.path;
}

TEST_F(Win32ShellRegRead, ThrowsForWhatItCannotRead) {
    const struct { const char* path; std::int32_t number; } cases[] = {
        {"HKCU\\Software\\QuillbayAdapterTests\\Absent", ERROR_FILE_NOT_FOUND},
        {"HKCU\\Software\\QuillbayAdapterTests\\NoSuchKey\\Ten", ERROR_FILE_NOT_FOUND},
        {"HKLM\\SOFTWARE\\QuillbayNoSuchKey\\", ERROR_FILE_NOT_FOUND},
        {"HKXY\\Software\\QuillbayAdapterTests\\Ten", ERROR_INVALID_PARAMETER},
        {"Ten", ERROR_INVALID_PARAMETER},
        {"HKCU\\Software\\QuillbayAdapterTests\\Binary", ERROR_UNSUPPORTED_TYPE},
    };
    for (const auto& c : cases) EXPECT_EQ(FailureNumber([&] { shell.RegRead(c.path); }), c.number) << c.path;
}

}  // namespace
}  // namespace quillbay::win32::testing
