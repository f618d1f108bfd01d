#include "harness.h"

#include <objbase.h>
#include <shellapi.h>

#include <map>

#include "common/cmdline.h"
#include "common/state.h"
#include "common/text.h"

namespace sandbox::test {

namespace {

std::wstring TempFileName() {
    wchar_t folder[MAX_PATH];
    wchar_t name[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"sbt", 0, name);
    return name;
}

std::string ReadAndDelete(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    ReadFileBytes(path, bytes, nullptr);
    DeleteFileW(path.c_str());
    return std::string(bytes.begin(), bytes.end());
}

class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

std::map<std::wstring, std::wstring> ReadPairs(const std::wstring& file, wchar_t separator) {
    std::map<std::wstring, std::wstring> pairs;
    std::vector<unsigned char> bytes;
    ReadFileBytes(Fixture(file), bytes, nullptr);
    std::wstring text = Widen(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    for (const std::wstring& line : Split(text, L'\n')) {
        size_t at = line.find(separator);
        if (at != std::wstring::npos) pairs[line.substr(0, at)] = line.substr(at + 1);
    }
    return pairs;
}

}  // namespace

ProcessResult RunProcess(const std::wstring& commandLine) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    std::wstring outPath = TempFileName();
    std::wstring errPath = TempFileName();
    HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    ProcessResult result;
    result.exitCode = static_cast<DWORD>(-1);
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &result.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    CloseHandle(in);
    result.out = ReadAndDelete(outPath);
    result.err = ReadAndDelete(errPath);
    return result;
}

std::wstring Ansi(const std::string& bytes) { return FromCodePage(CP_ACP, bytes); }

DWORD ShellLaunch(const std::wstring& file, const std::wstring& parameters) {
    ComScope com;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = L"";
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info) || !info.hProcess) return static_cast<DWORD>(-1);
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD exitCode = static_cast<DWORD>(-1);
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hProcess);
    return exitCode;
}

DWORD ShellRun(const std::wstring& commandLine) {
    // Program: up to the first blank, or between quotes; the rest are the parameters.
    size_t pos = commandLine.find_first_not_of(L" \t");
    if (pos == std::wstring::npos) return static_cast<DWORD>(-1);
    std::wstring program;
    if (commandLine[pos] == L'"') {
        size_t close = commandLine.find(L'"', pos + 1);
        if (close == std::wstring::npos) close = commandLine.size();
        program = commandLine.substr(pos + 1, close - pos - 1);
        pos = close < commandLine.size() ? close + 1 : close;
    } else {
        size_t end = commandLine.find_first_of(L" \t", pos);
        if (end == std::wstring::npos) end = commandLine.size();
        program = commandLine.substr(pos, end - pos);
        pos = end;
    }
    pos = commandLine.find_first_not_of(L" \t", pos);
    return ShellLaunch(program, pos == std::wstring::npos ? L"" : commandLine.substr(pos));
}

Captured RunHiddenAndCapture(const std::wstring& command) {
    std::wstring capture = TempFileName();
    DeleteFileW(capture.c_str());
    Captured captured;
    captured.exitCode = ShellRun(L"cmd.exe /c " + command + L" > \"" + capture + L"\"");
    captured.text = FromCodePage(CP_ACP, ReadAndDelete(capture));
    return captured;
}

std::wstring SystemDir() { return SystemDirectory(); }
std::wstring AppcmdPath() { return SystemDir() + L"\\inetsrv\\appcmd.exe"; }

std::wstring Sbx(const std::wstring& arguments, DWORD* exitCode) {
    ProcessResult result = RunProcess(L"C:\\QuillbaySandbox\\sbx.exe " + arguments);
    if (exitCode) *exitCode = result.exitCode;
    return Widen(result.out);
}

bool Seed(const std::wstring& arguments) {
    DWORD code = 1;
    Sbx(L"seed " + arguments, &code);
    return code == 0;
}

std::vector<std::vector<std::wstring>> SbxRecords(const std::wstring& command) {
    std::vector<std::vector<std::wstring>> records;
    for (const std::wstring& line : Lines(Sbx(command))) records.push_back(Split(line, L'\t'));
    return records;
}

std::vector<std::vector<std::wstring>> LogOf(const std::wstring& tool) {
    std::vector<std::vector<std::wstring>> records;
    for (auto& record : SbxRecords(L"log"))
        if (record.size() >= 4 && record[1] == tool) records.push_back(record);
    return records;
}

std::wstring Fixture(const std::wstring& name) { return L"C:\\Sandbox Fixtures\\" + name; }

std::wstring Thumbprint(const std::wstring& name) {
    static const std::map<std::wstring, std::wstring> thumbprints = ReadPairs(L"thumbprints.txt", L'=');
    auto found = thumbprints.find(name);
    return found == thumbprints.end() ? L"" : found->second;
}

std::wstring Password(const std::wstring& pfxName) {
    static const std::map<std::wstring, std::wstring> passwords = ReadPairs(L"passwords.txt", L'\t');
    auto found = passwords.find(pfxName);
    return found == passwords.end() ? L"" : found->second;
}

std::wstring Quote(const std::wstring& argument) { return QuoteArgument(argument); }

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace sandbox::test
