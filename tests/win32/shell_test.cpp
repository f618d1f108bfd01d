// Running programs and reading the registry and the environment, and the text between the
// program and the platform: UTF-8 and UTF-16, and arguments through the platform's own parser.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "test_support.h"
#include "support/command_line.h"
#include "win32/host_win32.h"
#include "win32/shell_win32.h"
#include "win32/text_win32.h"

namespace quillbay::win32::testing {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

class Win32ShellRun : public ::testing::Test {
protected:
    Win32Shell shell;
    ScratchFolder scratch{"qb shell "};
    std::string helper = Quoted(HelperPath());
    std::string record = scratch / "record.txt";
};

// The helper records the argument text as it arrived and the window state it was asked for.
TEST_F(Win32ShellRun, HandsTheLineOverUnchangedAndReturnsAllThirtyTwoBitsOfTheExitCode) {
    ASSERT_TRUE(CopyFileW(Utf8ToWide(HelperPath()).c_str(), Utf8ToWide(scratch / "exit code helper.exe").c_str(), 0));
    const std::string spaced = Quoted(scratch / "exit code helper.exe"), tail = " " + Quoted(record) + " a  \"b c\" %PATH% ^x &y";
    const struct { std::string program, code; WindowStyle style; bool wait; std::int32_t result; int show; } cases[] = {
        {helper, "255", WindowStyle::Hidden, true, 255, SW_HIDE},
        {spaced, "65536", WindowStyle::Normal, true, 65536, SW_SHOWNORMAL},
        {helper, "-2147024894", WindowStyle::Hidden, true, -2147024894, SW_HIDE},
        {helper, "7", WindowStyle::Hidden, false, 0, SW_HIDE},  // not waited for: 0, and it runs on
    };
    for (const auto& c : cases) {
        DeleteFileW(Utf8ToWide(record).c_str());
        EXPECT_EQ(shell.Run(c.program + " " + c.code + tail, c.style, c.wait), c.result) << c.code;
        // The helper keeps its record unshared until it is complete.
        std::string text;
        for (int i = 0; i < 200 && (text = ReadRaw(record)).empty(); ++i) Sleep(50);
        EXPECT_EQ(text, "args=" + c.code + tail + "\nshow=" + std::to_string(c.show) + "\n");
    }
}

// Only a full path to an .exe is started: nothing is looked up in the current folder or on
// the search path, where a planted file could stand in for the tool.
TEST_F(Win32ShellRun, NothingButAFullPathToAProgramIsStarted) {
    const std::string planted = scratch / "planted.txt";
    for (const char* name : {"cmd.exe", "certutil.exe", "reg.exe"})
        ASSERT_TRUE(CopyFileW(Utf8ToWide(HelperPath()).c_str(), Utf8ToWide(scratch / name).c_str(), 0));
    WriteRaw(scratch / "reg.bat", "@echo x> \"" + planted + "\"\r\n");
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(Utf8ToWide(scratch.path()).c_str()));
    std::wstring oldPath(32767, L'\0');
    oldPath.resize(GetEnvironmentVariableW(L"PATH", oldPath.data(), 32767));
    SetEnvironmentVariableW(L"PATH", Utf8ToWide(scratch.path()).c_str());
    const struct { std::string line; DWORD number; } cases[] = {
        {"cmd.exe /c exit 3", ERROR_BAD_PATHNAME},
        {"reg add HKCU\\x /f", ERROR_BAD_PATHNAME},
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
}

TEST_F(Win32ShellRun, CaptureKeepsEveryByteOfBothStreamsAndTheExitCode) {
    // More than a pipe holds, then a line on standard error, in the program's code page.
    const Captured big = shell.RunAndCapture(helper + " 1168 -print " + Quoted("0123456789abcdef\r\n") + " " +
                                             Quoted("ERROR ( message:Cannot find SITE object. )\r\n") + " 20000");
    EXPECT_EQ(big.exitCode, 1168);
    ASSERT_EQ(big.output.size(), 18u * 20000 + 44);
    EXPECT_EQ(big.output.substr(0, 18), "0123456789abcdef\r\n");
    EXPECT_EQ(big.output.substr(18u * 20000), "ERROR ( message:Cannot find SITE object. )\r\n");
    // Names in the code page, and the characters quoting must carry, are read end to end from
    // appcmd's listings (65-iis-discovery).
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

// A tool that never finishes is ended at its time-out, waited for with or without output; one
// that finishes in time is not. The time-out is the tool's, by the program's name.
TEST_F(Win32ShellRun, AToolThatHangsIsEndedAtItsTimeout) {
    Win32Shell bounded({}, [](const std::string& line) { return line.find(" 9 ") != std::string::npos ? 300u : 0u; });
    const std::string never = " -wait " + Quoted(scratch / "never");
    for (int form = 0; form < 3; ++form) {
        const DWORD started = GetTickCount();
        try {
            if (form == 0) bounded.Run(helper + " 9" + never, WindowStyle::Hidden, true);
            if (form == 1) bounded.RunAndCapture(helper + " 9" + never);
            if (form == 2) bounded.RunTool(helper + " 9" + never);
            ADD_FAILURE() << "no time-out in form " << form;
        } catch (const Failure& f) {
            EXPECT_EQ(f.number(), ERROR_TIMEOUT);
            EXPECT_EQ(f.description(), "The program did not finish within 300 milliseconds and was ended: " + HelperPath());
        }
        EXPECT_LT(GetTickCount() - started, 10000u) << form;
    }
    // Messages that never stop arriving do not hold it either.
    Win32Shell busy([] { PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0); },
                    [](const std::string&) { return 300u; });
    PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
    EXPECT_THROW(busy.Run(helper + " 9" + never, WindowStyle::Hidden, true), Failure);
    MSG drained;
    while (PeekMessageW(&drained, nullptr, 0, 0, PM_REMOVE)) {
    }
    WriteRaw(scratch / "never", "now");
    EXPECT_EQ(bounded.RunTool(helper + " 9" + never).exitCode, 9);
    EXPECT_EQ(Win32Shell::DefaultTimeoutMs("C:\\Windows\\system32\\inetsrv\\APPCMD.EXE list site"), 120000u);
    EXPECT_EQ(Win32Shell::DefaultTimeoutMs("\"C:\\Windows\\system32\\certutil.exe\" -f"), 300000u);
    EXPECT_EQ(Win32Shell::DefaultTimeoutMs("C:\\Windows\\system32\\mmc.exe certlm.msc"), 0u);
}

TEST(Win32ShellRegRead, ReadsTextAndNumbersUnderEitherFormOfTheRootAndThrowsForWhatItCannotRead) {
    const wchar_t* key = L"Software\\QuillbayAdapterTests";
    RegDeleteTreeW(HKEY_CURRENT_USER, key);
    const DWORD ten = 10, allBits = 0xFFFFFFFEu;
    const struct { const wchar_t* name; DWORD type; const void* data; std::size_t size; } values[] = {
        {L"Text", REG_SZ, L"h\u00e9llo w\u00f6rld", sizeof L"h\u00e9llo w\u00f6rld"},
        {nullptr, REG_SZ, L"the default", sizeof L"the default"},
        {L"Ten", REG_DWORD, &ten, sizeof ten},
        {L"AllBits", REG_DWORD, &allBits, sizeof allBits},
        {L"Binary", REG_BINARY, "\1\2\3", 3},
    };
    for (const auto& v : values)
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, v.name, v.type, v.data, static_cast<DWORD>(v.size)), ERROR_SUCCESS);
    const std::string tests = "HKCU\\Software\\QuillbayAdapterTests\\";
    const struct { std::string path, value; std::int32_t number; } cases[] = {
        {"HKEY_CURRENT_USER\\Software\\QuillbayAdapterTests\\Text", "h\xC3\xA9llo w\xC3\xB6rld", 0},
        {"hkcu\\software\\quillbayadaptertests\\ten", "10", 0},
        {tests + "AllBits", "-2", 0},
        {tests, "the default", 0},  // a trailing backslash: the default value
        {tests + "Absent", "", ERROR_FILE_NOT_FOUND},
        {tests + "NoSuchKey\\Ten", "", ERROR_FILE_NOT_FOUND},
        {"HKXY\\Software\\QuillbayAdapterTests\\Ten", "", ERROR_INVALID_PARAMETER},
        {tests + "Binary", "", ERROR_UNSUPPORTED_TYPE},
    };
    Win32Shell shell;
    for (const auto& c : cases) {
        std::string value;
        EXPECT_EQ(FailureNumber([&] { value = shell.RegRead(c.path); }), c.number) << c.path;
        EXPECT_EQ(value, c.value) << c.path;
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, key);
}

// Passwords an administrator may well have, each hostile to some layer of quoting, through
// the platform's own argument parser.
TEST(QuoteArg, EveryAwkwardArgumentSurvivesThePlatformsParserAndIsRedacted) {
    const std::string awkward[] = {
        "", "plain", " two words ", "tab\there", "quote\"inside", "\"\"", "back\\slash", "trailing\\",
        "trailing\\\\", "\\\\server\\share", "slash before quote\\\"x", "odd\\\\\\\"mix\\", "%PATH%",
        "a&b|c^d<e>(f)!g!", "P@ss w0rd\" & echo pwned | more ^ %TEMP% \\", "汉字密码\xF0\x9F\x94\x92",
    };
    const std::string pfx = "C:\\Tools\\Quill bay\\fullchain.pfx";
    for (const std::string& password : awkward) {
        const std::string line = "certutil.exe -f -p " + QuoteArg(password) + " -importpfx " + QuoteArg(pfx);
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(Utf8ToWide(line).c_str(), &count);
        ASSERT_NE(argv, nullptr);
        std::vector<std::string> args;
        for (int i = 0; i < count; ++i) args.push_back(WideToUtf8(argv[i]));
        LocalFree(argv);
        EXPECT_EQ(args, (std::vector<std::string>{"certutil.exe", "-f", "-p", password, "-importpfx", pfx})) << line;
        EXPECT_EQ(Redact(line, password), "certutil.exe -f -p \"********\" -importpfx " + QuoteArg(pfx)) << line;
    }
}

}  // namespace
}  // namespace quillbay::win32::testing
