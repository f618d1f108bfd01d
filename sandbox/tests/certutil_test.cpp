// certutil as the application launches it: chain files through the shell with
// '-addstore -f "CA" "file"', the PFX through 'cmd.exe /c certutil.exe -f -p "password"
// -importpfx "file"', the password put between quotes exactly as read.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "harness.h"

namespace sandbox::test {
namespace {

constexpr DWORD kFileNotFound = 0x80070002;
constexpr DWORD kAccessDenied = 0x80070005;
constexpr DWORD kNoMatch = 0x80092009;
constexpr DWORD kInvalidPassword = 0x80070056;
constexpr DWORD kInvalidArg = 0x80070057;

// A store entry as "sbx stores" lists it: store, thumbprint, key, subject.
struct Entry {
    std::wstring store;
    std::wstring thumbprint;
    std::wstring key;
};

std::vector<Entry> Stores() {
    std::vector<Entry> entries;
    for (const auto& r : SbxRecords(L"stores"))
        if (r.size() == 4) entries.push_back({r[0], r[1], r[2]});
    return entries;
}

bool Holds(const std::wstring& store, const std::wstring& thumbprint, const std::wstring& key) {
    for (const Entry& e : Stores())
        if (e.store == store && e.thumbprint == thumbprint && e.key == key) return true;
    return false;
}

std::wstring ChainParameters(const std::wstring& file) { return L"-addstore -f \"CA\" \"" + file + L"\""; }

std::wstring PfxLine(const std::wstring& password, const std::wstring& file) {
    return L"certutil.exe -f -p \"" + password + L"\" -importpfx \"" + file + L"\"";
}

// The import as the application starts it, waited for here.
DWORD ImportPfx(const std::wstring& password, const std::wstring& file) {
    return ShellLaunch(L"cmd.exe", L"/c " + PfxLine(password, file));
}

class Certutil : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Seed());
        ASSERT_EQ(Thumbprint(L"leaf").size(), 40u) << "fixtures missing";
    }
};

TEST_F(Certutil, AddsChainCertificatesInEveryEncoding) {
    for (const wchar_t* file : {L"inter.der", L"inter.crt", L"inter.b64"}) {
        ASSERT_TRUE(Seed());
        EXPECT_EQ(ShellLaunch(L"certutil.exe", ChainParameters(Fixture(file))), 0u) << file;
        std::vector<Entry> entries = Stores();
        ASSERT_EQ(entries.size(), 1u) << file;
        EXPECT_EQ(entries[0].store, L"CA");
        EXPECT_EQ(entries[0].thumbprint, Thumbprint(L"inter"));
        EXPECT_EQ(entries[0].key, L"no");
    }
    ProcessResult again = RunProcess(L"certutil.exe " + ChainParameters(Fixture(L"inter.crt")));
    EXPECT_EQ(again.exitCode, 0u);
    EXPECT_EQ(again.out,
              "CA \"Intermediate Certification Authorities\"\r\n"
              "Certificate \"Sandbox Test Intermediate\" already in store.\r\n"
              "CertUtil: -addstore command completed successfully.\r\n");
    EXPECT_EQ(Stores().size(), 1u);
}

TEST_F(Certutil, ReportsASelfSignedCertificateAndAddsEachOfABundle) {
    ProcessResult root = RunProcess(L"certutil.exe -addstore -f \"Root\" " + Quote(Fixture(L"root.crt")));
    EXPECT_EQ(root.exitCode, 0u);
    EXPECT_EQ(root.out,
              "Root \"Trusted Root Certification Authorities\"\r\n"
              "Signature matches Public Key\r\n"
              "Certificate \"Sandbox Test Root\" added to store.\r\n"
              "CertUtil: -addstore command completed successfully.\r\n");
    EXPECT_EQ(ShellLaunch(L"certutil.exe", ChainParameters(Fixture(L"chain.p7b"))), 0u);
    EXPECT_TRUE(Holds(L"CA", Thumbprint(L"inter"), L"no"));
    EXPECT_TRUE(Holds(L"CA", Thumbprint(L"root"), L"no"));
    EXPECT_TRUE(Holds(L"Root", Thumbprint(L"root"), L"no"));
}

TEST_F(Certutil, FailsWithTheToolsHResults) {
    struct Case {
        std::wstring file;
        DWORD code;
        const char* lines;
    } cases[] = {
        {Fixture(L"no-such-file.crt"), kFileNotFound,
         "CertUtil: -addstore command FAILED: 0x80070002 (WIN32: 2 ERROR_FILE_NOT_FOUND)\r\n"
         "CertUtil: The system cannot find the file specified.\r\n"},
        {L"C:\\Sandbox Fixtures", kAccessDenied,
         "CertUtil: -addstore command FAILED: 0x80070005 (WIN32: 5 ERROR_ACCESS_DENIED)\r\n"
         "CertUtil: Access is denied.\r\n"},
        {Fixture(L"garbage.crt"), kNoMatch,
         "CertUtil: -addstore command FAILED: 0x80092009 (-2146885623 CRYPT_E_NO_MATCH)\r\n"
         "CertUtil: Cannot find the requested object.\r\n"},
        {Fixture(L"empty.crt"), kNoMatch, nullptr},
    };
    for (const Case& c : cases) {
        ProcessResult result = RunProcess(L"certutil.exe " + ChainParameters(c.file));
        EXPECT_EQ(result.exitCode, c.code) << Ansi(result.out).c_str();
        if (c.lines) {
            EXPECT_EQ(result.out, c.lines);
        }
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(ShellLaunch(L"certutil.exe", ChainParameters(c.file)), c.code) << "through the shell as well";
    }
    EXPECT_EQ(static_cast<int>(kFileNotFound), -2147024894) << "the exit code a caller sees";
    EXPECT_TRUE(Stores().empty());
}

TEST_F(Certutil, ImportsThePfxWithTheKeyIntoMyAndTheChainIntoCa) {
    EXPECT_EQ(ImportPfx(Password(L"leaf"), Fixture(L"leaf.pfx")), 0u);
    EXPECT_TRUE(Holds(L"My", Thumbprint(L"leaf"), L"yes"));
    EXPECT_TRUE(Holds(L"CA", Thumbprint(L"inter"), L"no"));
    for (const Entry& e : Stores()) {
        EXPECT_FALSE(e.store == L"My" && e.thumbprint != Thumbprint(L"leaf")) << "only the certificate of the key";
        EXPECT_FALSE(e.store == L"CA" && e.thumbprint == Thumbprint(L"leaf"));
    }
    ProcessResult output = RunProcess(PfxLine(Password(L"leaf"), Fixture(L"leaf.pfx")));
    EXPECT_EQ(output.out, "Certificate \"www.example.com\" added to store.\r\n\r\nCertUtil: -importPFX command completed successfully.\r\n");
}

TEST_F(Certutil, RefusesAWrongPassword) {
    ProcessResult wrong = RunProcess(PfxLine(L"not the password", Fixture(L"leaf.pfx")));
    EXPECT_EQ(wrong.exitCode, kInvalidPassword);
    EXPECT_EQ(static_cast<int>(wrong.exitCode), -2147024810);
    EXPECT_EQ(wrong.out,
              "CertUtil: -importPFX command FAILED: 0x80070056 (WIN32: 86 ERROR_INVALID_PASSWORD)\r\n"
              "CertUtil: The specified network password is not correct.\r\n");
    EXPECT_EQ(ImportPfx(L"", Fixture(L"leaf.pfx")), kInvalidPassword);
    EXPECT_TRUE(Stores().empty());
}

TEST_F(Certutil, PasswordsWithShellCharactersSurviveTheQuotes) {
    for (const wchar_t* name : {L"awkward", L"nonascii"}) {
        ASSERT_TRUE(Seed());
        EXPECT_EQ(ImportPfx(Password(name), Fixture(std::wstring(name) + L".pfx")), 0u) << name;
        EXPECT_TRUE(Holds(L"My", Thumbprint(L"leaf"), L"yes")) << name;
    }
}

TEST_F(Certutil, PasswordsThatBreakTheQuotesImportNothing) {
    // A quote ends the quoted password early; a final backslash escapes the closing quote.
    for (const wchar_t* name : {L"quote", L"backslash"}) {
        ASSERT_TRUE(Seed());
        EXPECT_NE(ImportPfx(Password(name), Fixture(std::wstring(name) + L".pfx")), 0u) << name;
        EXPECT_TRUE(Stores().empty()) << name;
    }
}

TEST_F(Certutil, NeverLogsThePassword) {
    for (const wchar_t* name : {L"leaf", L"awkward", L"quote", L"backslash"})
        ImportPfx(Password(name), Fixture(std::wstring(name) + L".pfx"));
    ImportPfx(L"not the password", Fixture(L"leaf.pfx"));
    auto log = LogOf(L"certutil");
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0][3], L"certutil.exe -f -p ******** -importpfx \"" + Fixture(L"leaf.pfx") + L"\"");
    EXPECT_EQ(log[4][2], std::to_wstring(static_cast<int>(kInvalidPassword)));
    for (const auto& record : log) {
        EXPECT_NE(record[3].find(L"-p ********"), std::wstring::npos) << record[3];
        for (const wchar_t* piece : {L"Secret", L"a&b", L"QBSBX", L"ab", L"cd", L"trail", L"not the"})
            EXPECT_EQ(record[3].find(piece), std::wstring::npos) << record[3];
    }
}

TEST_F(Certutil, ConcurrentImportsAllArrive) {
    // The application launches the chain imports one after another without waiting.
    const wchar_t* files[] = {L"inter.der", L"root.crt", L"leaf.crt", L"chain.p7b"};
    std::vector<HANDLE> processes;
    for (const wchar_t* file : files) {
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
        info.lpFile = L"certutil.exe";
        std::wstring parameters = ChainParameters(Fixture(file));
        info.lpParameters = parameters.c_str();
        info.nShow = SW_HIDE;
        ASSERT_TRUE(ShellExecuteExW(&info));
        processes.push_back(info.hProcess);
    }
    for (HANDLE process : processes) {
        WaitForSingleObject(process, INFINITE);
        CloseHandle(process);
    }
    for (const wchar_t* name : {L"inter", L"root", L"leaf"}) EXPECT_TRUE(Holds(L"CA", Thumbprint(name), L"no")) << name;
    EXPECT_EQ(Stores().size(), 3u);
    EXPECT_EQ(LogOf(L"certutil").size(), 4u);
}

TEST_F(Certutil, AnswersUnknownArgumentsWithUsage) {
    ProcessResult unknown = RunProcess(L"certutil.exe -addstroe -f \"CA\" " + Quote(Fixture(L"inter.crt")));
    EXPECT_EQ(unknown.exitCode, kInvalidArg);
    EXPECT_EQ(unknown.out.rfind("CertUtil: Unknown arg: -addstroe\r\n", 0), 0u) << unknown.out;
    ProcessResult missing = RunProcess(L"certutil.exe -addstore -f \"CA\"");
    EXPECT_EQ(missing.exitCode, kInvalidArg);
    EXPECT_NE(missing.out.find("CertUtil: -addstore command FAILED: 0x80070057 (WIN32: 87 ERROR_INVALID_PARAMETER)"),
              std::string::npos);
    EXPECT_TRUE(Stores().empty());
}

}  // namespace
}  // namespace sandbox::test
