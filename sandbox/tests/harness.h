// Runs the sandbox's tools inside Wine the ways the application does: through the command
// interpreter with the output redirected to a capture file, through the shell with a program and
// its parameters, and as plain processes whose two output streams are kept apart.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sandbox::test {

struct ProcessResult {
    DWORD exitCode = 0;
    std::string out;  // raw bytes of standard output
    std::string err;  // raw bytes of standard error
};

// CreateProcessW with exactly this command line; standard input is empty.
ProcessResult RunProcess(const std::wstring& commandLine);
// Redirected output of the stand-ins is in the system ANSI code page.
std::wstring Ansi(const std::string& bytes);

// The application's hidden command runner: "cmd.exe /c " + command + " > \"capture\"", started
// through the shell, hidden, waited for; the capture read back as ANSI text.
struct Captured {
    DWORD exitCode = 0;
    std::wstring text;
};
Captured RunHiddenAndCapture(const std::wstring& command);

// The application's shell run: the line split into program and parameters, ShellExecuteExW,
// hidden, waited for; returns the exit code.
DWORD ShellRun(const std::wstring& commandLine);
// ShellExecuteExW with a program and parameters, waited for (the application launches these
// without waiting; the tests wait to see the outcome).
DWORD ShellLaunch(const std::wstring& file, const std::wstring& parameters);

std::wstring SystemDir();
std::wstring AppcmdPath();  // as the application builds it: system folder + "\inetsrv\appcmd.exe"

// sbx.exe with these arguments (already quoted); its standard output decoded from UTF-8.
std::wstring Sbx(const std::wstring& arguments, DWORD* exitCode = nullptr);
// "sbx seed" with these arguments; true when it succeeded.
bool Seed(const std::wstring& arguments = L"");
// Output lines of an sbx command split at tabs.
std::vector<std::vector<std::wstring>> SbxRecords(const std::wstring& command);

// Records of "sbx log" for one tool, oldest first: time, tool, exit code, command line.
std::vector<std::vector<std::wstring>> LogOf(const std::wstring& tool);

std::wstring Fixture(const std::wstring& name);  // full path in the prefix
std::wstring Thumbprint(const std::wstring& name);  // as openssl computed it
std::wstring Password(const std::wstring& pfxName);

std::wstring Quote(const std::wstring& argument);  // for command lines built by the tests
std::vector<std::wstring> Lines(const std::wstring& text);  // split at CR LF, last empty piece dropped

}  // namespace sandbox::test
