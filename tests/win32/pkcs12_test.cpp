// What the program reads of certificates through crypt32, against the openssl-made fixtures:
// a PFX opened under every password, the pre-flight check's details of a PFX and of chain
// files in PEM, DER, bare Base64 and PKCS #7, and whether the machine trusts a root.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <map>
#include <set>

#include "certs/inspect.h"
#include "support/text.h"
#include "test_support.h"
#include "win32/clock_win32.h"
#include "win32/pkcs12_win32.h"
#include "win32/system_library.h"

namespace quillbay::win32::testing {
namespace {

constexpr std::int64_t kValidity = 9000LL * 86400;  // make-fixtures.sh: -days 9000

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

std::map<std::string, PfxCertificate> ByName(const std::vector<PfxCertificate>& certificates) {
    std::map<std::string, PfxCertificate> found;
    for (const PfxCertificate& c : certificates) found[FixtureName(UpperHex(c.sha1))] = c;
    return found;
}

class Win32Pkcs12Test : public ::testing::Test {
protected:
    std::vector<PfxCertificate> DecodeFile(const std::string& fixture) {
        std::vector<PfxCertificate> all;
        for (const std::string& der : certs::CertificateBlobs(ReadRaw(FixturePath(fixture))))
            for (PfxCertificate& c : pkcs12.DecodeCertificates(der)) all.push_back(std::move(c));
        return all;
    }
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

// Which certificate the deployment binds, and the record a failure leaves, are the unit tests'.
TEST_F(Win32Pkcs12Test, OpensThePfxUnderEveryPasswordOrFailsWithThePlatformsCode) {
    // The fixture, its password and the certificate that comes with its key ("": it does not open).
    const struct { const char* fixture; std::string password, keyed; } cases[] = {
        {"leaf.pfx", "Secret#1", "leaf"},
        {"empty.pfx", "", "leaf"},
        {"awkward.pfx", "a&b|c^d<e>f %QBSBX_UNDEFINED% (g) !h ", "leaf"},  // the trailing blank is part of it
        {"nonascii.pfx", "P\xC3\xA4ssw\xC3\xB6rd-\xC3\x84\xC3\x96\xC3\x9C", "leaf"},  // Pässwörd-ÄÖÜ
        {"leaf.pfx", "", ""},
        {"garbage.crt", "Secret#1", ""},
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.fixture) + " " + c.password;
        std::string keyed, description;
        const std::int32_t number = FailureNumber([&] {
            try {
                for (const PfxCertificate& certificate : pkcs12.Open(ReadRaw(FixturePath(c.fixture)), c.password))
                    if (certificate.hasPrivateKey) keyed += FixtureName(UpperHex(certificate.sha1));
            } catch (const Failure& f) {
                description = f.description();
                throw;
            }
        });
        EXPECT_EQ(keyed, c.keyed) << what;
        EXPECT_EQ(number != 0, c.keyed.empty()) << what << ": " << description;
        EXPECT_TRUE(c.password.empty() || description.find(c.password) == std::string::npos) << what;
    }
}

TEST_F(Win32Pkcs12Test, CertificateDetailsOfChainFilesInEveryEncodingAndOfThePfx) {
    const struct { const char* file; std::vector<std::string> names; } cases[] = {
        {"inter.crt", {"inter"}}, {"inter.der", {"inter"}}, {"inter.b64", {"inter"}},
        {"chain.p7b", {"inter", "root"}}, {"leaf.crt", {"leaf"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> names;
        for (const auto& [name, certificate] : ByName(DecodeFile(c.file))) {
            names.push_back(name);
            EXPECT_FALSE(certificate.hasPrivateKey);
            EXPECT_EQ(certificate.details.notAfter - certificate.details.notBefore, kValidity) << c.file;
        }
        EXPECT_EQ(names, c.names) << c.file;
    }
    for (const char* bad : {"garbage.crt", "empty.crt"}) EXPECT_NE(FailureNumber([&] { DecodeFile(bad); }), 0) << bad;

    // The server certificate's names, as the console program prints them; its key, host names,
    // validity and chain are shown end to end (97-console).
    const CertificateDetails leaf = ByName(pkcs12.Open(fullChain, "Secret#1")).at("leaf").details;
    EXPECT_EQ(leaf.subject, "CN=www.example.com");
    EXPECT_EQ(leaf.issuer, "O=Quillbay Test, CN=Quillbay Test Intermediate");
    EXPECT_EQ(UnixSeconds(FILETIME{0xD53E8000, 0x019DB1DE}), 0);  // 1970-01-01 00:00 UTC
}

// A root that is in the machine's store is found by its name; the test PKI's root is in none.
TEST_F(Win32Pkcs12Test, FindsRootsInTheMachinesTrustedRootStoreByName) {
    const std::vector<PfxCertificate> root = DecodeFile("root.crt");
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

// The Personal store read in place: the server certificate imported with its key has it; the
// intermediate beside it (which the import may link to the same key) has none of its own.
TEST_F(Win32Pkcs12Test, ReadsThePersonalStoreWithWhetherEachKeyIsThere) {
    const std::string bytes = fullChain;
    CRYPT_DATA_BLOB blob{static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
    // Wine persists an imported key into the user's default container (the machine's key set it
    // does not offer), and only when it makes that container anew.
    HCRYPTPROV provider = 0;
    CryptAcquireContextW(&provider, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
    HCERTSTORE imported = PFXImportCertStore(&blob, L"Secret#1", 0);
    ASSERT_TRUE(imported);
    HCERTSTORE my = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"MY");
    ASSERT_TRUE(my);
    std::vector<PCCERT_CONTEXT> added;
    for (PCCERT_CONTEXT c = nullptr; (c = CertEnumCertificatesInStore(imported, c));) {
        PCCERT_CONTEXT copy = nullptr;
        ASSERT_TRUE(CertAddCertificateContextToStore(my, c, CERT_STORE_ADD_REPLACE_EXISTING, &copy));
        added.push_back(copy);
    }
    // Wine keeps a system store's changes until they are committed; Windows writes them at once.
    CertControlStore(my, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    std::map<std::string, bool> keys;
    for (const auto& [name, c] : ByName(pkcs12.PersonalCertificates())) keys[name] = c.hasPrivateKey;
    for (PCCERT_CONTEXT c : added) CertDeleteCertificateFromStore(c);
    CertControlStore(my, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    EXPECT_TRUE(keys.count("leaf") && keys["leaf"]);
    EXPECT_TRUE(keys.count("inter") && !keys["inter"]);
    EXPECT_TRUE(ByName(pkcs12.PersonalCertificates()).empty());
    CertCloseStore(my, 0);
    CertCloseStore(imported, 0);
    CryptAcquireContextW(&provider, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
}

}  // namespace
}  // namespace quillbay::win32::testing
