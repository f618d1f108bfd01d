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

// The application reads nothing of certutil but its exit code: the stores show what it did.
TEST(Certutil, AddsCertificatesInEveryEncodingToTheNamedStore) {
    std::vector<Row> rows;
    for (const wchar_t* file : {L"inter.der", L"inter.crt", L"inter.b64"})
        rows.insert(rows.end(), {Sbx(L"seed"), Ran(AddStore(L"CA", Fixture(file)), 0), {Via::Stores, file, 0, L"CA/inter"}});
    Check(rows);
    Check({
        Ran(AddStore(L"CA", Fixture(L"inter.crt")), 0, L"\"Quillbay Test Intermediate\" already in store."),
        Ran(AddStore(L"Root", Fixture(L"root.crt")), 0),
        Ran(AddStore(L"CA", Fixture(L"chain.p7b")), 0),
        {Via::Stores, L"", 0, L"CA/inter CA/root Root/root"},
        Ran(LeafImport(), 0),
        {Via::Stores, L"", 0, L"CA/inter CA/root My/leaf+key Root/root"},
        // Deleted by its hash, in any letter case: from that store only, and once.
        Ran(L"certutil.exe -delstore My " + ToLower(Thumbprint(L"leaf")), 0, L"Deleting Certificate 0"),
        Ran(L"certutil.exe -delstore CA " + Thumbprint(L"leaf"), 0x80092004),
        Ran(L"certutil.exe -delstore My " + Thumbprint(L"leaf"), 0x80092004),
        Ran(L"certutil.exe -delstore My", 0x80070057),
        {Via::Stores, L"", 0, L"CA/inter CA/root Root/root"},
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
    const std::wstring password = Password(L"leaf");
    constexpr DWORD kNoMatch = 0x80092009, kBadEncoding = 0x80092002;
    Check({
        Sbx(L"seed"),
        Ran(AddStore(L"CA", Fixture(L"none.crt")), 0x80070002, L"ERROR_FILE_NOT_FOUND"),
        Ran(AddStore(L"CA", L"C:\\Sandbox Fixtures"), 0x80070005, L"ERROR_ACCESS_DENIED"),
        Ran(AddStore(L"CA", Fixture(L"garbage.crt")), kNoMatch),
        Ran(AddStore(L"CA", Fixture(L"empty.crt")), kNoMatch),
        Ran(L"certutil.exe -addstroe -f \"CA\" \"" + Fixture(L"inter.crt") + L"\"", 0x80070057, L"Unknown arg: -addstroe"),
        Ran(L"certutil.exe -addstore -f \"CA\"", 0x80070057),
        Ran(PfxImport(L"not the password", Fixture(L"leaf.pfx")), 0x80070056),
        Ran(PfxImport(password, Fixture(L"inter.der")), kBadEncoding),  // DER, but a certificate
        Ran(PfxImport(L"not the password", cut(pfx.size() - 1)), kBadEncoding),
        {Via::Stores, L"", 0, L""},
    });
}

TEST(Certutil, ImportsAPfxWhateverItsPasswordHoldsAndNeverLogsIt) {
    const struct { std::wstring pfx, password; DWORD code; } cases[] = {
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

// The application adds NoRoot after the file, as the tool takes modifiers; a word that is no
// modifier is taken for the file, as the tool does. (Wine's PFX import never hands a
// self-signed certificate over, so a root in the PFX reaches no store here either way.)
TEST(Certutil, TakesNoRootAfterTheFile) {
    Check({Sbx(L"seed"), Ran(LeafImport() + L" NoRoot", 0), {Via::Stores, L"", 0, L"CA/inter My/leaf+key"},
           Ran(LeafImport() + L" NoRooot", 0x80070002, L"ERROR_FILE_NOT_FOUND"), {Via::Stores, L"", 0, L"CA/inter My/leaf+key"}});
}

}  // namespace
}  // namespace sandbox::test
