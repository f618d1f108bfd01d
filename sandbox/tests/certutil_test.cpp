// certutil as the application starts it: chain files with '-addstore -f "CA" "file"', the PFX
// with 'certutil.exe -f -p PASSWORD -importpfx "file"', the password one quoted argument.
#include <gtest/gtest.h>

#include "common/cmdline.h"
#include "common/state.h"
#include "common/text.h"
#include "harness.h"

namespace sandbox::test {
namespace {

std::wstring AddStore(const std::wstring& store, const std::wstring& file) {
    return L"certutil.exe -addstore -f \"" + store + L"\" \"" + file + L"\"";
}
std::wstring Failed(const std::wstring& verb, const std::wstring& code, const std::wstring& message) {
    return L"CertUtil: " + verb + L" command FAILED: " + code + L"\r\nCertUtil: " + message + L"\r\n";
}
const std::wstring kDone = L"CertUtil: -addstore command completed successfully.\r\n";

TEST(Certutil, AddsCertificatesInEveryEncodingToTheNamedStore) {
    std::vector<Row> rows;
    for (const wchar_t* file : {L"inter.der", L"inter.crt", L"inter.b64"})
        rows.insert(rows.end(), {Sbx(L"seed"), {Via::Process, AddStore(L"CA", Fixture(file)), 0, kDone, Match::Has},
                                 {Via::Stores, file, 0, L"CA/inter"}});
    Check(rows);
    Check({
        {Via::Process, AddStore(L"CA", Fixture(L"inter.crt")), 0, L"\"Quillbay Test Intermediate\" already in store.", Match::Has},
        {Via::Stores, L"", 0, L"CA/inter"},
        {Via::Process, AddStore(L"Root", Fixture(L"root.crt")), 0, L"Certificate \"Quillbay Test Root\" added to store.", Match::Has},
        {Via::Process, AddStore(L"CA", Fixture(L"chain.p7b")), 0, kDone, Match::Has},
        {Via::Stores, L"", 0, L"CA/inter CA/root Root/root"},
        {Via::Process, LeafImport(), 0, L"-importPFX command completed successfully.", Match::Has},
        {Via::Stores, L"", 0, L"CA/inter CA/root My/leaf+key Root/root"},
    });
}

// A PFX cut short, or no PFX at all, is damaged whatever the password; a whole one with a wrong
// password is refused as such.
TEST(Certutil, FailsWithTheToolsHResults) {
    std::vector<unsigned char> pfx;
    ASSERT_TRUE(ReadFileBytes(Fixture(L"leaf.pfx"), pfx, nullptr));
    auto cut = [&](size_t size) {
        std::wstring path = TempPath(L"cut " + std::to_wstring(size) + L".pfx");
        WriteFileBytes(path, pfx.data(), size);
        return path;
    };
    const std::wstring noMatch = Failed(L"-addstore", L"0x80092009 (-2146885623 CRYPT_E_NO_MATCH)", L"Cannot find the requested object.");
    const std::wstring damaged = Failed(L"-importPFX", L"0x80092002 (-2146885630 CRYPT_E_BAD_ENCODE)",
                                        L"An error occurred during encode or decode operation.");
    const std::wstring password = Password(L"leaf");
    Check({
        Sbx(L"seed"),
        {Via::Process, AddStore(L"CA", Fixture(L"none.crt")), 0x80070002,
         Failed(L"-addstore", L"0x80070002 (WIN32: 2 ERROR_FILE_NOT_FOUND)", L"The system cannot find the file specified.")},
        {Via::Process, AddStore(L"CA", L"C:\\Sandbox Fixtures"), 0x80070005,
         Failed(L"-addstore", L"0x80070005 (WIN32: 5 ERROR_ACCESS_DENIED)", L"Access is denied.")},
        {Via::Process, AddStore(L"CA", Fixture(L"garbage.crt")), 0x80092009, noMatch},
        {Via::Process, AddStore(L"CA", Fixture(L"empty.crt")), 0x80092009, noMatch},
        Ran(L"certutil.exe -addstroe -f \"CA\" \"" + Fixture(L"inter.crt") + L"\"", 0x80070057, L"CertUtil: Unknown arg: -addstroe\r\n"),
        Ran(L"certutil.exe -addstore -f \"CA\"", 0x80070057,
            L"CertUtil: -addstore command FAILED: 0x80070057 (WIN32: 87 ERROR_INVALID_PARAMETER)"),
        {Via::Process, PfxImport(L"not the password", Fixture(L"leaf.pfx")), 0x80070056,
         Failed(L"-importPFX", L"0x80070056 (WIN32: 86 ERROR_INVALID_PASSWORD)", L"The specified network password is not correct.")},
        {Via::Process, PfxImport(password, Fixture(L"garbage.crt")), 0x80092002, damaged},
        {Via::Process, PfxImport(password, Fixture(L"inter.der")), 0x80092002, damaged},  // DER, but a certificate
        {Via::Process, PfxImport(password, cut(pfx.size() / 2)), 0x80092002, damaged},
        {Via::Process, PfxImport(L"not the password", cut(pfx.size() - 1)), 0x80092002, damaged},
        {Via::Stores, L"", 0, L""},
    });
}

TEST(Certutil, ImportsAPfxWhateverItsPasswordHoldsAndNeverLogsIt) {
    const struct {
        std::wstring pfx, password;
        DWORD code;
    } cases[] = {
        {L"awkward", Password(L"awkward"), 0}, {L"nonascii", Password(L"nonascii"), 0}, {L"quote", Password(L"quote"), 0},
        {L"backslash", Password(L"backslash"), 0}, {L"leaf", L"", 0x80070056},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.pfx + L" " + c.password));
        Check({Sbx(L"seed"), Ran(PfxImport(c.password, Fixture(c.pfx + L".pfx")), c.code),
               {Via::Stores, L"", 0, c.code == 0 ? L"CA/inter My/leaf+key" : L""}});
        auto log = LogOf(L"certutil");
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0][2], std::to_wstring(static_cast<int>(c.code)));
        EXPECT_EQ(log[0][3], L"certutil.exe -f -p ******** -importpfx \"" + Fixture(c.pfx + L".pfx") + L"\"");
    }
}

TEST(Certutil, ConcurrentImportsAllArrive) {
    // Tools started together share the state file.
    Check({Sbx(L"seed")});
    std::vector<HANDLE> processes;
    std::wstring expected;
    for (const wchar_t* store : {L"S1", L"S2", L"S3", L"S4", L"S5"})
        for (const wchar_t* file : {L"inter", L"leaf", L"root"}) {
            processes.push_back(Start(L"certutil.exe -addstore -f " + std::wstring(store) + L" \"" + Fixture(file) + L".crt\""));
            expected += (expected.empty() ? L"" : L" ") + std::wstring(store) + L"/" + file;
        }
    for (HANDLE process : processes) {
        ASSERT_TRUE(process);
        WaitForSingleObject(process, INFINITE);
        CloseHandle(process);
    }
    EXPECT_EQ(Stores(), expected);
    EXPECT_EQ(LogOf(L"certutil").size(), processes.size());
}

}  // namespace
}  // namespace sandbox::test
