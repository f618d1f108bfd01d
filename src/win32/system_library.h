#pragma once
// Functions of DLLs that are not among the system's known DLLs, loaded from the system folder
// only: an elevated program must never pick up a copy planted beside it or in the current
// folder, which the import table's search order would. Loaded once, never unloaded.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>
#include <winhttp.h>
#include <winver.h>
#include <subauth.h>
#define SECURITY_WIN32
#include <security.h>
#define SCHANNEL_USE_BLACKLISTS  // SCH_CREDENTIALS
#include <schannel.h>

namespace quillbay::win32 {

// DLLs that system code loads by name later on come from the system folder only, and nothing
// is ever found in the current folder. Windows 7 and Server 2008 R2 without update KB2533623
// lack SetDefaultDllDirectories: there the current folder at least leaves the search. Returns
// whether the system-folder-only search is in force.
bool RestrictDllSearch();

// The module from the system folder. Throws Failure when it cannot be loaded.
HMODULE SystemModule(const wchar_t* name);
// An exported function of it. Throws Failure(ERROR_PROC_NOT_FOUND) when it has none.
FARPROC SystemFunction(HMODULE module, const char* name);

#define QUILLBAY_SYSTEM_FUNCTION(function)                                                                  \
    decltype(&::function) function =                                                                    \
        reinterpret_cast<decltype(&::function)>(reinterpret_cast<void (*)()>(SystemFunction(module, #function)))

struct VersionApi {
    HMODULE module = SystemModule(L"version.dll");
    QUILLBAY_SYSTEM_FUNCTION(GetFileVersionInfoSizeW);
    QUILLBAY_SYSTEM_FUNCTION(GetFileVersionInfoW);
    QUILLBAY_SYSTEM_FUNCTION(VerQueryValueW);
    static const VersionApi& Get();
};

struct Crypt32Api {
    HMODULE module = SystemModule(L"crypt32.dll");
    QUILLBAY_SYSTEM_FUNCTION(PFXImportCertStore);
    QUILLBAY_SYSTEM_FUNCTION(CertEnumCertificatesInStore);
    QUILLBAY_SYSTEM_FUNCTION(CertGetCertificateContextProperty);
    QUILLBAY_SYSTEM_FUNCTION(CertFreeCertificateContext);
    QUILLBAY_SYSTEM_FUNCTION(CertCloseStore);
    QUILLBAY_SYSTEM_FUNCTION(CertComparePublicKeyInfo);
    QUILLBAY_SYSTEM_FUNCTION(CryptExportPublicKeyInfo);
    QUILLBAY_SYSTEM_FUNCTION(CryptAcquireCertificatePrivateKey);
    QUILLBAY_SYSTEM_FUNCTION(CertNameToStrW);
    QUILLBAY_SYSTEM_FUNCTION(CertFindExtension);
    QUILLBAY_SYSTEM_FUNCTION(CryptDecodeObjectEx);
    QUILLBAY_SYSTEM_FUNCTION(CryptQueryObject);
    QUILLBAY_SYSTEM_FUNCTION(CertOpenStore);
    QUILLBAY_SYSTEM_FUNCTION(CertFindCertificateInStore);
    QUILLBAY_SYSTEM_FUNCTION(CertGetCertificateChain);
    QUILLBAY_SYSTEM_FUNCTION(CertVerifyCertificateChainPolicy);
    QUILLBAY_SYSTEM_FUNCTION(CertFreeCertificateChain);
    static const Crypt32Api& Get();
};

struct WinHttpApi {
    HMODULE module = SystemModule(L"winhttp.dll");
    QUILLBAY_SYSTEM_FUNCTION(WinHttpCrackUrl);
    QUILLBAY_SYSTEM_FUNCTION(WinHttpOpen);
    QUILLBAY_SYSTEM_FUNCTION(WinHttpSetTimeouts);
    QUILLBAY_SYSTEM_FUNCTION(WinHttpSetOption);
    QUILLBAY_SYSTEM_FUNCTION(WinHttpConnect);
    QUILLBAY_SYSTEM_FUNCTION(WinHttpOpenRequest);
    QUILLBAY_SYSTEM_FUNCTION(WinHttpSendRequest);
    QUILLBAY_SYSTEM_FUNCTION(WinHttpReceiveResponse);
    QUILLBAY_SYSTEM_FUNCTION(WinHttpQueryHeaders);
    QUILLBAY_SYSTEM_FUNCTION(WinHttpQueryDataAvailable);
    QUILLBAY_SYSTEM_FUNCTION(WinHttpReadData);
    QUILLBAY_SYSTEM_FUNCTION(WinHttpCloseHandle);
    static const WinHttpApi& Get();
};

struct BCryptApi {
    HMODULE module = SystemModule(L"bcrypt.dll");
    QUILLBAY_SYSTEM_FUNCTION(BCryptOpenAlgorithmProvider);
    QUILLBAY_SYSTEM_FUNCTION(BCryptCloseAlgorithmProvider);
    QUILLBAY_SYSTEM_FUNCTION(BCryptCreateHash);
    QUILLBAY_SYSTEM_FUNCTION(BCryptHashData);
    QUILLBAY_SYSTEM_FUNCTION(BCryptFinishHash);
    QUILLBAY_SYSTEM_FUNCTION(BCryptDestroyHash);
    QUILLBAY_SYSTEM_FUNCTION(BCryptImportKeyPair);
    QUILLBAY_SYSTEM_FUNCTION(BCryptDestroyKey);
    QUILLBAY_SYSTEM_FUNCTION(BCryptVerifySignature);
    static const BCryptApi& Get();
};

// Winsock. Get() starts it (version 2.2) and never cleans it up; startup is the code WSAStartup
// returned, 0 when Winsock is usable.
struct WinsockApi {
    HMODULE module = SystemModule(L"ws2_32.dll");
    QUILLBAY_SYSTEM_FUNCTION(WSAStartup);
    QUILLBAY_SYSTEM_FUNCTION(WSAGetLastError);
    QUILLBAY_SYSTEM_FUNCTION(GetAddrInfoW);
    QUILLBAY_SYSTEM_FUNCTION(FreeAddrInfoW);
    QUILLBAY_SYSTEM_FUNCTION(socket);
    QUILLBAY_SYSTEM_FUNCTION(ioctlsocket);
    QUILLBAY_SYSTEM_FUNCTION(connect);
    QUILLBAY_SYSTEM_FUNCTION(select);
    QUILLBAY_SYSTEM_FUNCTION(getsockopt);
    QUILLBAY_SYSTEM_FUNCTION(send);
    QUILLBAY_SYSTEM_FUNCTION(recv);
    QUILLBAY_SYSTEM_FUNCTION(closesocket);
    int startup = Start(WSAStartup);
    static const WinsockApi& Get();

private:
    static int Start(decltype(&::WSAStartup) start);
};

// SSPI, through which Schannel is reached.
struct SspiApi {
    HMODULE module = SystemModule(L"secur32.dll");
    QUILLBAY_SYSTEM_FUNCTION(AcquireCredentialsHandleW);
    QUILLBAY_SYSTEM_FUNCTION(FreeCredentialsHandle);
    QUILLBAY_SYSTEM_FUNCTION(InitializeSecurityContextW);
    QUILLBAY_SYSTEM_FUNCTION(QueryContextAttributesW);
    QUILLBAY_SYSTEM_FUNCTION(DeleteSecurityContext);
    QUILLBAY_SYSTEM_FUNCTION(FreeContextBuffer);
    static const SspiApi& Get();
};

#undef QUILLBAY_SYSTEM_FUNCTION

}  // namespace quillbay::win32
