#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <set>

#include "certs/inspect.h"
#include "certs/thumbprint.h"
#include "test_support.h"
#include "win32/clock_win32.h"
#include "win32/file_system_win32.h"
#include "win32/pkcs12_win32.h"
#include "win32/shell_win32.h"
#include "win32/signature_win32.h"
#include "win32/system_library.h"

namespace quillbay::win32::testing {
namespace {

// Names of the user's CryptoAPI key containers; with the default one, "" stands for it.
std::set<std::string> KeyContainers() {
    std::set<std::string> names;
    HCRYPTPROV provider = 0;
    if (CryptAcquireContextW(&provider, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, 0)) {
        names.insert("");
        CryptReleaseContext(provider, 0);
    }
    if (!CryptAcquireContextW(&provider, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return names;
    char name[1024];
    for (DWORD size = sizeof name, flags = CRYPT_FIRST;
         CryptGetProvParam(provider, PP_ENUMCONTAINERS, reinterpret_cast<BYTE*>(name), &size, flags);
         size = sizeof name, flags = CRYPT_NEXT)
        names.insert(name);
    CryptReleaseContext(provider, 0);
    return names;
}

// Logs go to a scratch folder rather than beside the test program.
struct ScratchHost : Win32Host {
    std::string folder;
    std::string AppFolder() override { return folder; }
};

class Win32Pkcs12Test : public ::testing::Test {
protected:
    Win32Pkcs12 pkcs12;
    const std::string fullChain = ReadRaw(FixturePath("leaf.pfx"));
};

TEST_F(Win32Pkcs12Test, LeavesTheKeyContainersAsTheyWere) {
    // Wine imports PFX keys into the default container: once without one, once with one.
    HCRYPTPROV provider = 0;
    for (bool defaultBefore : {false, true}) {
        provider = 0;
        CryptAcquireContextW(&provider, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL,
                             defaultBefore ? CRYPT_NEWKEYSET : CRYPT_DELETEKEYSET);
        if (defaultBefore && provider) CryptReleaseContext(provider, 0);
        const std::set<std::string> before = KeyContainers();
        ASSERT_EQ(before.count(""), defaultBefore ? 1u : 0u);
        pkcs12.Open(fullChain, "Secret#1");
        EXPECT_EQ(KeyContainers(), before) << defaultBefore;
    }
    CryptAcquireContextW(&provider, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
}

TEST_F(Win32Pkcs12Test, TheDeploymentThumbprintIsTheServerCertificatesOrEmptyWithOneRecord) {
    const struct {
        const char* fixture;  // copied to fullchain.pfx; nullptr: no file
        std::string password;
        std::string certificate;  // "": no thumbprint, one error record
    } cases[] = {
        {"leaf.pfx", "Secret#1", "leaf"},
        {"empty.pfx", "", "leaf"},
        {"awkward.pfx", "a&b|c^d<e>f %QBSBX_UNDEFINED% (g) !h ", "leaf"},  // the trailing blank is part of it
        {"nonascii.pfx", "P\xC3\xA4ssw\xC3\xB6rd-\xC3\x84\xC3\x96\xC3\x9C", "leaf"},  // Pässwörd-ÄÖÜ
        {"leaf.pfx", "", ""},
        {"garbage.crt", "Secret#1", ""},
        {nullptr, "Secret#1", ""},
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.fixture ? c.fixture : "no file") + " " + c.password;
        ScratchFolder folder("qb-thumb-");
        const std::string pfx = folder / "fullchain.pfx";
        if (c.fixture) WriteRaw(pfx, ReadRaw(FixturePath(c.fixture)));
        Win32Shell shell;
        Win32FileSystem fs;
        ScratchHost host;
        host.folder = folder.path();
        Win32Clock clock;
        struct : HttpClient {
            HttpResponse Get(const std::string&, const HttpTimeouts&) override { return {}; }
        } http;  // the thumbprint asks no server
        Win32SignatureVerifier signatures;
        Machine machine(shell, fs, host, clock, pkcs12, http, signatures);

        const std::string thumbprint = certs::GetPfxThumbprint_API(machine, pfx, c.password);
        EXPECT_EQ(thumbprint.empty() ? "" : FixtureName(thumbprint), c.certificate) << what;
        const std::string log = ReadRaw(folder / "log-error.txt");
        size_t records = 0;
        for (size_t at = log.find(Log::kSeparator); at != std::string::npos; at = log.find(Log::kSeparator, at + 1))
            ++records;
        EXPECT_EQ(records, c.certificate.empty() ? 1u : 0u) << what << "\n" << log;
        EXPECT_EQ(log.find(": 0)"), std::string::npos) << what << ": the platform's code belongs in the record";
        EXPECT_TRUE(c.password.empty() || log.find(c.password) == std::string::npos) << what;
    }
}

// A root that is in the machine's store is found by its name; the test PKI's root is in none.
TEST_F(Win32Pkcs12Test, FindsRootsInTheMachinesTrustedRootStoreByName) {
    const std::vector<PfxCertificate> root = pkcs12.DecodeCertificates(certs::CertificateBlobs(ReadRaw(FixturePath("root.crt"))).at(0));
    ASSERT_EQ(root.size(), 1u);
    EXPECT_FALSE(pkcs12.InTrustedRoots(root[0].details.subjectName));
    const Crypt32Api& api = Crypt32Api::Get();
    HCERTSTORE store = api.CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                         CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_READONLY_FLAG, L"ROOT");
    ASSERT_TRUE(store);
    PCCERT_CONTEXT any = api.CertEnumCertificatesInStore(store, nullptr);
    if (!any) {
        api.CertCloseStore(store, 0);
        GTEST_SKIP() << "the machine's ROOT store is empty here";
    }
    const std::string name(reinterpret_cast<const char*>(any->pCertInfo->Subject.pbData), any->pCertInfo->Subject.cbData);
    api.CertFreeCertificateContext(any);
    api.CertCloseStore(store, 0);
    EXPECT_TRUE(pkcs12.InTrustedRoots(name));
}

}  // namespace
}  // namespace quillbay::win32::testing
