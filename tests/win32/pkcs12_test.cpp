#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <map>
#include <set>
#include <sstream>

#include "test_support.h"
#include "win32/pkcs12_win32.h"

namespace quillbay::win32::testing {
namespace {

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

// "leaf", "intermediate", "root" -> SHA-1 as openssl printed it when the fixtures were made.
std::map<std::string, std::string> Fingerprints() {
    std::map<std::string, std::string> result;
    std::istringstream lines(ReadRaw(FixturePath("sha1.txt")));
    std::string name, hex;
    while (lines >> name >> hex) result[name] = hex;
    return result;
}

// Names of the CryptoAPI key containers of the current user.
std::set<std::string> KeyContainers() {
    std::set<std::string> names;
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return names;
    char name[1024];
    DWORD flags = CRYPT_FIRST;
    for (;;) {
        DWORD size = sizeof name;
        if (!CryptGetProvParam(provider, PP_ENUMCONTAINERS, reinterpret_cast<BYTE*>(name), &size, flags)) break;
        names.insert(name);
        flags = CRYPT_NEXT;
    }
    CryptReleaseContext(provider, 0);
    return names;
}

class Win32Pkcs12Test : public ::testing::Test {
protected:
    void SetUp() override {
        fingerprints = Fingerprints();
        ASSERT_EQ(fingerprints.size(), 3u) << "fixtures missing beside the test program";
    }

    // Checks a full-chain PFX: the server certificate is the one with the key.
    void ExpectFullChain(const std::vector<PfxCertificate>& certificates) {
        std::map<std::string, bool> found;
        for (const PfxCertificate& certificate : certificates) {
            ASSERT_EQ(certificate.sha1.size(), 20u);
            found[Hex(certificate.sha1)] = certificate.hasPrivateKey;
        }
        ASSERT_TRUE(found.count(fingerprints["leaf"])) << "server certificate missing";
        ASSERT_TRUE(found.count(fingerprints["intermediate"])) << "intermediate certificate missing";
        EXPECT_TRUE(found[fingerprints["leaf"]]);
        EXPECT_FALSE(found[fingerprints["intermediate"]]);
        if (found.count(fingerprints["root"])) {
            EXPECT_FALSE(found[fingerprints["root"]]);
        }
        for (const auto& [hash, hasKey] : found) {
            bool known = hash == fingerprints["leaf"] || hash == fingerprints["intermediate"] ||
                         hash == fingerprints["root"];
            EXPECT_TRUE(known) << "unexpected certificate " << hash;
        }
    }

    Win32Pkcs12 pkcs12;
    std::map<std::string, std::string> fingerprints;
};

TEST_F(Win32Pkcs12Test, FindsTheServerCertificateAndItsKeyAmongTheChain) {
    ExpectFullChain(pkcs12.Open(ReadRaw(FixturePath("fullchain.pfx")), "Secret pass!"));
}

TEST_F(Win32Pkcs12Test, UsesThePasswordExactlyAsGiven) {
    ExpectFullChain(pkcs12.Open(ReadRaw(FixturePath("awkward-password.pfx")), "p\"a%s&s|w^o\\rd"));
    ExpectFullChain(pkcs12.Open(ReadRaw(FixturePath("empty-password.pfx")), ""));
}

TEST_F(Win32Pkcs12Test, AWrongPasswordThrows) {
    std::string pfx = ReadRaw(FixturePath("fullchain.pfx"));
    for (const char* wrong : {"Secret pass", "Secret pass! ", "secret pass!", ""}) {
        try {
            pkcs12.Open(pfx, wrong);
            ADD_FAILURE() << "opened with \"" << wrong << "\"";
        } catch (const Failure& failure) {
            EXPECT_NE(failure.number(), 0) << wrong;
            EXPECT_FALSE(failure.description().empty()) << wrong;
        }
    }
}

TEST_F(Win32Pkcs12Test, DataThatIsNotAPfxThrows) {
    EXPECT_THROW(pkcs12.Open("", "Secret pass!"), Failure);
    EXPECT_THROW(pkcs12.Open("this is not a PFX file\r\n", "Secret pass!"), Failure);
    std::string certificate = ReadRaw(FixturePath("leaf.crt"));
    ASSERT_FALSE(certificate.empty());
    EXPECT_THROW(pkcs12.Open(certificate, "Secret pass!"), Failure);
    std::string truncated = ReadRaw(FixturePath("fullchain.pfx"));
    truncated.resize(truncated.size() / 2);
    EXPECT_THROW(pkcs12.Open(truncated, "Secret pass!"), Failure);
}

// The user's default key container: Wine imports PFX keys into it.
bool DefaultContainerExists() {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, 0)) return false;
    CryptReleaseContext(provider, 0);
    return true;
}

void DeleteDefaultContainer() {
    HCRYPTPROV ignored = 0;
    CryptAcquireContextW(&ignored, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
}

TEST_F(Win32Pkcs12Test, LeavesNoKeyContainerBehind) {
    DeleteDefaultContainer();
    std::set<std::string> before = KeyContainers();
    pkcs12.Open(ReadRaw(FixturePath("fullchain.pfx")), "Secret pass!");
    EXPECT_EQ(KeyContainers(), before);
    EXPECT_FALSE(DefaultContainerExists());
}

TEST_F(Win32Pkcs12Test, KeepsAKeyContainerThatExistedBefore) {
    HCRYPTPROV provider = 0;
    ASSERT_TRUE(CryptAcquireContextW(&provider, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_NEWKEYSET) ||
                DefaultContainerExists());
    if (provider) CryptReleaseContext(provider, 0);
    std::set<std::string> before = KeyContainers();
    pkcs12.Open(ReadRaw(FixturePath("fullchain.pfx")), "Secret pass!");
    EXPECT_EQ(KeyContainers(), before);
    EXPECT_TRUE(DefaultContainerExists());
    DeleteDefaultContainer();
}

TEST_F(Win32Pkcs12Test, APfxWithoutKeysListsCertificatesWithoutKeys) {
    std::vector<PfxCertificate> certificates;
    try {
        certificates = pkcs12.Open(ReadRaw(FixturePath("chain-only.pfx")), "Secret pass!");
    } catch (const Failure& failure) {
        if (RunningUnderWine()) GTEST_SKIP() << "Wine cannot import a PFX without a key: " << failure.what();
        throw;
    }
    ASSERT_FALSE(certificates.empty());
    for (const PfxCertificate& certificate : certificates) EXPECT_FALSE(certificate.hasPrivateKey);
}

}  // namespace
}  // namespace quillbay::win32::testing
