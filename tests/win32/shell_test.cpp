#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "test_support.h"
#include "win32/shell_win32.h"
#include "win32/text_win32.h"

namespace quillbay::win32::testing {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

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
        {"cmd.exe /c exit 0", 0},     {"cmd.exe /c exit 3", 3},
        {"cmd /c exit 4", 4},  // a bare name, from the search path
        {helper + " 255", 255},       {helper + " 65536", 65536},
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

TEST_F(Win32ShellRun, ALineThatCannotStartThrowsFileNotFound) {
    const struct { std::string line; bool wait; } cases[] = {
        {"quillbay_no_such_program_4711.exe /x", true}, {scratch / "missing.exe", false}, {"", true}};
    for (const auto& c : cases)
        EXPECT_EQ(FailureNumber([&] { shell.Run(c.line, WindowStyle::Hidden, c.wait); }), ERROR_FILE_NOT_FOUND)
            << c.line;
    // What follows a NUL would be lost: such a line is not started at all.
    const std::string cut = "cmd.exe /c exit 0" + std::string(1, '\0') + " & exit 9";
    EXPECT_EQ(FailureNumber([&] { shell.Run(cut, WindowStyle::Hidden, true); }), ERROR_INVALID_PARAMETER);
}

TEST_F(Win32ShellRun, OpensADocumentWithItsAssociatedProgram) {
    auto setDefault = [](const wchar_t* key, const std::wstring& value) {
        return RegSetKeyValueW(HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, value.c_str(),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    };
    const std::string document = scratch / "settings.qbadaptertest";
    WriteRaw(document, "x");
    ASSERT_EQ(setDefault(L".qbadaptertest", L"QuillbayAdapterTest.Doc"), ERROR_SUCCESS);
    ASSERT_EQ(setDefault(L"QuillbayAdapterTest.Doc\\shell\\open\\command",
                         Utf8ToWide(helper + " 7 " + Quoted(record) + " \"%1\"")),
              ERROR_SUCCESS);
    EXPECT_EQ(shell.Run(Quoted(document), WindowStyle::Hidden, true), 7);
    EXPECT_NE(ReadRaw(record).find(document), std::string::npos) << ReadRaw(record);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".qbadaptertest");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"QuillbayAdapterTest.Doc");
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
        shell.Run("reg delete HKLM\\Software\\QuillbayAdapterTests /f", WindowStyle::Hidden, true);
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

TEST_F(Win32ShellRegRead, ReadsBackMachineValuesThatRegWrote) {
    const std::string key = "\\Software\\QuillbayAdapterTests";
    const struct { const char *name, *data, *root, *value; } cases[] = {
        {"MajorVersion", "10", "HKLM", "10"},
        {"Leading", "00000800", "HKEY_LOCAL_MACHINE", "800"},
        {"Hex", "0x800", "HKLM", "2048"},
    };
    for (const auto& c : cases) {
        const std::string add = "reg add HKLM" + key + " /t REG_DWORD /f /v " + c.name + " /d " + c.data;
        ASSERT_EQ(shell.Run(add, WindowStyle::Hidden, true), 0);
        EXPECT_EQ(shell.RegRead(c.root + key + "\\" + c.name), c.value) << c.data;
    }
    ASSERT_EQ(shell.Run("reg delete HKLM" + key + " /f", WindowStyle::Hidden, true), 0);
    EXPECT_EQ(FailureNumber([&] { shell.RegRead("HKLM" + key + "\\MajorVersion"); }), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace quillbay::win32::testing
