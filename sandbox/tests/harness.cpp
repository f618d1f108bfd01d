#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/cmdline.h"
#include "common/state.h"
#include "common/text.h"

namespace sandbox::test {
namespace {

const std::wstring kSbx = L"C:\\QuillbaySandbox\\sbx.exe ";
constexpr DWORD kNotStarted = 0xFFFFFFFF;

std::wstring TempFile() {
    wchar_t name[MAX_PATH];
    GetTempFileNameW(TempPath(L"").c_str(), L"sbt", 0, name);
    return name;
}

std::string ReadAndDelete(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    ReadFileBytes(path, bytes, nullptr);
    DeleteFileW(path.c_str());
    return std::string(bytes.begin(), bytes.end());
}

// CreateProcessW with exactly this command line and empty standard input. A start that the freshly
// installed prefix refuses now and then is tried again; a tool that runs and fails is not.
DWORD Run(const std::wstring& commandLine, std::string& out, std::string& err) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    std::wstring paths[] = {TempFile(), TempFile()};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = CreateFileW(L"NUL", GENERIC_READ, share, &inherit, OPEN_EXISTING, 0, nullptr);
    startup.hStdOutput = CreateFileW(paths[0].c_str(), GENERIC_WRITE, share, &inherit, CREATE_ALWAYS, 0, nullptr);
    startup.hStdError = CreateFileW(paths[1].c_str(), GENERIC_WRITE, share, &inherit, CREATE_ALWAYS, 0, nullptr);
    std::wstring line = commandLine;
    PROCESS_INFORMATION process{};
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt)
        started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                                 &process);
    DWORD code = kNotStarted;
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        for (HANDLE handle : {process.hProcess, process.hThread}) CloseHandle(handle);
    }
    err = started ? "" : "CreateProcessW failed with error " + std::to_string(GetLastError());  // shown with the row
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) CloseHandle(handle);
    out = ReadAndDelete(paths[0]);
    err = ReadAndDelete(paths[1]) + err;
    return code;
}

// The value of NAME in a file of NAME<TAB>VALUE lines that make-fixtures.sh wrote, read as the
// host's records are: a backslash before t, r, n or another backslash would be an escape.
std::wstring FixtureValue(const std::wstring& file, const std::wstring& name) {
    for (const Record& record : ReadRecords(Fixture(file)))
        if (record[0] == name) return record.size() > 1 ? record[1] : L"";
    return L"";
}

}  // namespace

void Check(const std::vector<Row>& rows) {
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE("row " + std::to_string(i + 1) + ": " + Narrow(row.line));
        DWORD code = 0;
        std::wstring out;
        if (row.via == Via::Stores) {
            out = Stores();
        } else {
            std::string stdOut, stdErr;
            code = Run(row.via == Via::Sbx ? kSbx + row.line : row.line, stdOut, stdErr);
            if (row.via == Via::Refused) std::swap(stdOut, stdErr);
            EXPECT_TRUE((row.via == Via::Sbx && code != kNotStarted) || stdErr.empty()) << "the other stream: " << stdErr;
            out = row.via == Via::Sbx ? Widen(stdOut) : FromCodePage(CP_ACP, stdOut);
        }
        EXPECT_EQ(code, row.code) << "exit code";
        EXPECT_TRUE(row.match == Match::Any || (row.match == Match::Exact ? out == row.out : out.find(row.out) != std::wstring::npos))
            << "expected " << (row.match == Match::Exact ? "" : "a part ") << "[" << Narrow(row.out) << "], got [" << Narrow(out) << "]";
    }
}

// The records "sbx COMMAND" prints, fields split at tabs.
std::vector<std::vector<std::wstring>> SbxRecords(const std::wstring& command) {
    std::string out, err;
    Run(kSbx + command, out, err);
    std::vector<std::vector<std::wstring>> records;
    for (std::wstring line : Split(Widen(out), L'\n')) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (!line.empty()) records.push_back(Split(line, L'\t'));
    }
    return records;
}

std::wstring TempPath(const std::wstring& name) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return folder + name;
}

std::vector<std::vector<std::wstring>> LogOf(const std::wstring& tool) {
    std::vector<std::vector<std::wstring>> records;
    for (const auto& record : SbxRecords(L"log"))
        if (record.size() >= 4 && record[1] == tool) records.push_back(record);
    return records;
}

std::wstring Stores() {
    std::vector<std::wstring> items;
    for (auto record : SbxRecords(L"stores")) {
        record.resize(3);
        for (const wchar_t* fixture : {L"root", L"inter", L"leaf"})
            if (Thumbprint(fixture) == record[1]) record[1] = fixture;
        items.push_back(record[0] + L"/" + record[1] + (record[2] == L"yes" ? L"+key" : L""));
    }
    std::sort(items.begin(), items.end());
    std::wstring joined;
    for (const std::wstring& item : items) joined += (joined.empty() ? L"" : L" ") + item;
    return joined;
}

std::wstring AppcmdPath() { return SystemDirectory() + L"\\inetsrv\\appcmd.exe"; }
std::wstring Fixture(const std::wstring& name) { return L"C:\\Sandbox Fixtures\\" + name; }
std::wstring Thumbprint(const std::wstring& name) { return FixtureValue(L"thumbprints.txt", name); }
std::wstring Password(const std::wstring& pfxName) { return FixtureValue(L"passwords.txt", pfxName); }
std::wstring PfxImport(const std::wstring& password, const std::wstring& file) {
    return L"certutil.exe -f -p " + QuoteArgument(password) + L" -importpfx \"" + file + L"\"";
}

}  // namespace sandbox::test

// The Windows build links everything with -municode.
int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
