// The installed host and what "sbx seed" sets up: the registry value and the IIS manager version
// record that the application reads to tell the IIS version, and which tools exist.
#include <gtest/gtest.h>

#include <vector>

#include "harness.h"

namespace sandbox::test {
namespace {

bool Exists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Inetsrv(const std::wstring& name) { return SystemDir() + L"\\inetsrv\\" + name; }

// The value as the application reads it; -1 when the key or value is missing.
long long MajorVersion() {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\InetStp", L"MajorVersion", RRF_RT_REG_DWORD, nullptr,
                     &value, &size) != ERROR_SUCCESS)
        return -1;
    return value;
}

struct FileVersion {
    std::wstring productText;
    DWORD productMS = 0;
    DWORD productLS = 0;
};

bool ReadVersion(const std::wstring& path, FileVersion& version) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return false;
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return false;
    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        length < sizeof *translation)
        return false;
    wchar_t key[64];
    swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\ProductVersion", translation->language, translation->codePage);
    wchar_t* text = nullptr;
    if (!VerQueryValueW(data.data(), key, reinterpret_cast<void**>(&text), &length)) return false;
    version.productText = text;
    VS_FIXEDFILEINFO* fixed = nullptr;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length)) return false;
    version.productMS = fixed->dwProductVersionMS;
    version.productLS = fixed->dwProductVersionLS;
    return true;
}

TEST(Install, OverridesWineBuiltinsWithTheStandIns) {
    for (const wchar_t* tool : {L"certutil.exe", L"netsh.exe", L"iisreset.exe", L"appcmd.exe"}) {
        wchar_t value[32] = L"";
        DWORD size = sizeof value;
        ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", tool, RRF_RT_REG_SZ, nullptr, value,
                               &size),
                  ERROR_SUCCESS)
            << tool;
        EXPECT_STREQ(value, L"native") << tool;
    }
    // The stand-ins answer, not Wine's built-in stubs that accept anything.
    EXPECT_NE(RunProcess(L"certutil.exe -nosuchverb").exitCode, 0u);
    EXPECT_NE(RunProcess(L"netsh.exe nosuchcontext").exitCode, 0u);
}

TEST(Seed, WritesTheIisMajorVersionOrLeavesItOut) {
    ASSERT_TRUE(Seed(L"--iis-major 7"));
    EXPECT_EQ(MajorVersion(), 7);
    ASSERT_TRUE(Seed());
    EXPECT_EQ(MajorVersion(), 10);
    ASSERT_TRUE(Seed(L"--no-iis-registry"));
    EXPECT_EQ(MajorVersion(), -1);
    EXPECT_TRUE(Exists(Inetsrv(L"appcmd.exe"))) << "IIS itself stays";
}

TEST(Seed, WithoutIisRemovesItsToolsAndRegistryKey) {
    ASSERT_TRUE(Seed());
    ASSERT_TRUE(Seed(L"--no-iis"));
    EXPECT_EQ(MajorVersion(), -1);
    for (const wchar_t* name : {L"appcmd.exe", L"iisreset.exe", L"InetMgr.exe"}) EXPECT_FALSE(Exists(Inetsrv(name))) << name;
    EXPECT_FALSE(Exists(SystemDir() + L"\\iisreset.exe"));
    EXPECT_TRUE(Exists(SystemDir() + L"\\certutil.exe")) << "certutil belongs to Windows, not to IIS";

    ASSERT_TRUE(Seed());
    for (const wchar_t* name : {L"appcmd.exe", L"iisreset.exe", L"InetMgr.exe"}) EXPECT_TRUE(Exists(Inetsrv(name))) << name;
    EXPECT_TRUE(Exists(SystemDir() + L"\\iisreset.exe"));
}

TEST(Seed, StampsTheIisManagerWithTheChosenProductVersion) {
    FileVersion version;
    ASSERT_TRUE(Seed(L"--no-iis-registry --inetmgr-version 8.5.9600.16384"));
    ASSERT_TRUE(ReadVersion(Inetsrv(L"InetMgr.exe"), version));
    EXPECT_EQ(version.productText, L"8.5.9600.16384");
    EXPECT_EQ(version.productMS, MAKELONG(5, 8));
    EXPECT_EQ(version.productLS, MAKELONG(16384, 9600));

    // Texts the application must cope with are stored as given.
    ASSERT_TRUE(Seed(L"--inetmgr-version x7.5"));
    ASSERT_TRUE(ReadVersion(Inetsrv(L"InetMgr.exe"), version));
    EXPECT_EQ(version.productText, L"x7.5");

    ASSERT_TRUE(Seed(L"--iis-major 7"));
    ASSERT_TRUE(ReadVersion(Inetsrv(L"InetMgr.exe"), version));
    EXPECT_EQ(version.productText.substr(0, 2), L"7.") << "the default follows the major version";

    ASSERT_TRUE(Seed(L"--no-inetmgr"));
    EXPECT_FALSE(Exists(Inetsrv(L"InetMgr.exe")));
    EXPECT_TRUE(Exists(Inetsrv(L"appcmd.exe")));
}

TEST(Seed, ResetsEverythingTheToolsRecorded) {
    ASSERT_TRUE(Seed());
    ASSERT_EQ(ShellLaunch(L"certutil.exe", L"-addstore -f \"CA\" " + Quote(Fixture(L"inter.crt"))), 0u);
    ASSERT_EQ(ShellRun(L"iisreset"), 0u);
    ASSERT_FALSE(SbxRecords(L"stores").empty());
    ASSERT_TRUE(Seed(L"--site \"Other\" \"http/*:8080:\""));
    EXPECT_TRUE(SbxRecords(L"stores").empty());
    EXPECT_EQ(Sbx(L"restarts"), L"0\r\n");
    EXPECT_TRUE(SbxRecords(L"log").empty());
    EXPECT_EQ(RunHiddenAndCapture(AppcmdPath() + L" list site /text:name").text, L"Other\r\n");
}

TEST(Seed, RefusesWhatItCannotSetUp) {
    DWORD code = 0;
    Sbx(L"seed --site \"Only a name\"", &code);
    EXPECT_EQ(code, 2u);
    Sbx(L"seed --site A \"http/*:80:\" --site a \"http/*:81:\"", &code);
    EXPECT_EQ(code, 2u) << "site names are unique without regard to case";
    Sbx(L"seed --iis-major 8 --no-iis-registry", &code);
    EXPECT_EQ(code, 2u);
    Sbx(L"seed --frobnicate", &code);
    EXPECT_EQ(code, 2u);
}

}  // namespace
}  // namespace sandbox::test
