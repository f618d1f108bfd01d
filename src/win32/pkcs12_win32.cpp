#include "win32/pkcs12_win32.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

#include "win32/clock_win32.h"
#include "win32/system_library.h"
#include "win32/text_win32.h"

namespace quillbay::win32 {

namespace {

// A CryptoAPI key container, enough to delete it.
struct KeyContainer {
    std::wstring container;
    std::wstring provider;
    DWORD providerType = 0;
    DWORD flags = 0;  // CRYPT_MACHINE_KEYSET or 0
    bool operator==(const KeyContainer&) const = default;
};

std::wstring AnsiToWide(const char* text) { return Utf8ToWide(AnsiToUtf8(text)); }

std::string ProviderParam(HCRYPTPROV provider, DWORD param) {
    DWORD size = 0;
    if (!CryptGetProvParam(provider, param, nullptr, &size, 0) || size == 0) return {};
    std::string value(size, '\0');
    if (!CryptGetProvParam(provider, param, reinterpret_cast<BYTE*>(value.data()), &size, 0)) return {};
    value.resize(std::min<size_t>(size, value.size()));
    while (!value.empty() && value.back() == '\0') value.pop_back();
    return value;
}

std::vector<BYTE> CertProperty(PCCERT_CONTEXT cert, DWORD property) {
    DWORD size = 0;
    if (!Crypt32Api::Get().CertGetCertificateContextProperty(cert, property, nullptr, &size)) return {};
    std::vector<BYTE> data(std::max<DWORD>(size, 1));
    if (!Crypt32Api::Get().CertGetCertificateContextProperty(cert, property, data.data(), &size)) return {};
    data.resize(size);
    return data;
}

bool HasProperty(PCCERT_CONTEXT cert, DWORD property) {
    DWORD size = 0;
    return Crypt32Api::Get().CertGetCertificateContextProperty(cert, property, nullptr, &size) != FALSE;
}

// The CryptoAPI containers that hold the certificate's key, if it has one there.
void CollectContainers(PCCERT_CONTEXT cert, std::vector<KeyContainer>& containers) {
    auto add = [&containers](KeyContainer found) {
        if (found.container.empty() || found.providerType == 0) return;
        if (std::find(containers.begin(), containers.end(), found) == containers.end())
            containers.push_back(std::move(found));
    };
    std::vector<BYTE> provInfo = CertProperty(cert, CERT_KEY_PROV_INFO_PROP_ID);
    if (provInfo.size() >= sizeof(CRYPT_KEY_PROV_INFO)) {
        auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(provInfo.data());
        add({info->pwszContainerName ? info->pwszContainerName : L"", info->pwszProvName ? info->pwszProvName : L"",
             info->dwProvType, info->dwFlags & CRYPT_MACHINE_KEYSET});
    }
    std::vector<BYTE> keyContext = CertProperty(cert, CERT_KEY_CONTEXT_PROP_ID);
    if (keyContext.size() >= sizeof(CERT_KEY_CONTEXT)) {
        auto* context = reinterpret_cast<const CERT_KEY_CONTEXT*>(keyContext.data());
        if (context->dwKeySpec != CERT_NCRYPT_KEY_SPEC && context->hCryptProv) {
            KeyContainer found;
            found.container = AnsiToWide(ProviderParam(context->hCryptProv, PP_CONTAINER).c_str());
            found.provider = AnsiToWide(ProviderParam(context->hCryptProv, PP_NAME).c_str());
            DWORD value = 0, size = sizeof value;
            if (CryptGetProvParam(context->hCryptProv, PP_PROVTYPE, reinterpret_cast<BYTE*>(&value), &size, 0))
                found.providerType = value;
            size = sizeof value;
            value = 0;
            if (CryptGetProvParam(context->hCryptProv, PP_KEYSET_TYPE, reinterpret_cast<BYTE*>(&value), &size, 0))
                found.flags = value & CRYPT_MACHINE_KEYSET;
            add(std::move(found));
        }
    }
}

// Names of the CryptoAPI key containers of the user (flags 0) or of the machine
// (CRYPT_MACHINE_KEYSET); nothing when they cannot be listed.
std::optional<std::set<std::wstring>> ContainerNames(DWORD flags) {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | flags))
        return std::nullopt;
    std::set<std::wstring> names;
    std::vector<BYTE> name(1024);
    DWORD enumFlags = CRYPT_FIRST;
    for (;;) {
        DWORD size = static_cast<DWORD>(name.size());
        if (!CryptGetProvParam(provider, PP_ENUMCONTAINERS, name.data(), &size, enumFlags)) break;
        name.back() = 0;
        names.insert(AnsiToWide(reinterpret_cast<const char*>(name.data())));
        enumFlags = CRYPT_NEXT;
    }
    bool complete = GetLastError() == ERROR_NO_MORE_ITEMS;
    CryptReleaseContext(provider, 0);
    if (!complete) return std::nullopt;
    return names;
}

// The providers whose containers ContainerNames lists: they share one key storage.
bool InRsaKeyStorage(const KeyContainer& key) {
    return key.providerType == PROV_RSA_FULL || key.providerType == PROV_RSA_SIG ||
           key.providerType == PROV_RSA_SCHANNEL || key.providerType == PROV_RSA_AES;
}

void DeleteContainer(const KeyContainer& key) {
    HCRYPTPROV ignored = 0;
    CryptAcquireContextW(&ignored, key.container.c_str(), key.provider.empty() ? nullptr : key.provider.c_str(),
                         key.providerType, CRYPT_DELETEKEYSET | key.flags);
}

void FreeNCryptObject(ULONG_PTR handle) {
    // Looked up at run time: a key handle of this kind exists only when ncrypt.dll is loaded.
    using FreeObject = LONG(WINAPI*)(ULONG_PTR);
    HMODULE ncrypt = GetModuleHandleW(L"ncrypt.dll");
    if (!ncrypt) return;
    auto free = reinterpret_cast<FreeObject>(reinterpret_cast<void*>(GetProcAddress(ncrypt, "NCryptFreeObject")));
    if (free) free(handle);
}

bool PublicKeyMatches(PCCERT_CONTEXT cert, HCRYPTPROV_OR_NCRYPT_KEY_HANDLE key, DWORD keySpec) {
    DWORD size = 0;
    if (!Crypt32Api::Get().CryptExportPublicKeyInfo(key, keySpec, X509_ASN_ENCODING, nullptr, &size) || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* info = reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(buffer.data());
    return Crypt32Api::Get().CryptExportPublicKeyInfo(key, keySpec, X509_ASN_ENCODING, info, &size) &&
           Crypt32Api::Get().CertComparePublicKeyInfo(X509_ASN_ENCODING, &cert->pCertInfo->SubjectPublicKeyInfo, info);
}

// Whether the private key attached to the certificate is the partner of its public key.
bool KeyMatchesCertificate(PCCERT_CONTEXT cert) {
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE key = 0;
    DWORD keySpec = 0;
    BOOL callerFrees = FALSE;
    // The cache flag makes the function use a key handle held by the certificate, which is
    // all that a key imported without persisting has.
    if (!Crypt32Api::Get().CryptAcquireCertificatePrivateKey(
            cert, CRYPT_ACQUIRE_CACHE_FLAG | CRYPT_ACQUIRE_SILENT_FLAG | CRYPT_ACQUIRE_ALLOW_NCRYPT_KEY_FLAG, nullptr,
            &key, &keySpec, &callerFrees))
        return false;
    bool matches = PublicKeyMatches(cert, key, keySpec);
    // Some providers report a key kind that names both key pairs.
    if (!matches && keySpec != CERT_NCRYPT_KEY_SPEC && keySpec != AT_KEYEXCHANGE && keySpec != AT_SIGNATURE)
        matches = PublicKeyMatches(cert, key, AT_KEYEXCHANGE) || PublicKeyMatches(cert, key, AT_SIGNATURE);
    if (callerFrees) {
        if (keySpec == CERT_NCRYPT_KEY_SPEC)
            FreeNCryptObject(key);
        else
            CryptReleaseContext(key, 0);
    }
    return matches;
}

// Owns the imported store and what it left behind; releases all of it on every path.
class ImportedStore {
public:
    // userBefore, machineBefore: the key containers that existed before the import.
    ImportedStore(HCERTSTORE store, std::optional<std::set<std::wstring>> userBefore,
                  std::optional<std::set<std::wstring>> machineBefore)
        : store_(store), userBefore_(std::move(userBefore)), machineBefore_(std::move(machineBefore)) {}
    ~ImportedStore() {
        if (current_) Crypt32Api::Get().CertFreeCertificateContext(current_);
        // Closing the store releases the key handles, so the containers can go next. Only
        // those the import created: a platform may have put the key into an existing one.
        Crypt32Api::Get().CertCloseStore(store_, 0);
        for (const KeyContainer& container : containers_) {
            const auto& before = (container.flags & CRYPT_MACHINE_KEYSET) ? machineBefore_ : userBefore_;
            if (InRsaKeyStorage(container) && before && !before->count(container.container))
                DeleteContainer(container);
        }
    }
    ImportedStore(const ImportedStore&) = delete;
    ImportedStore& operator=(const ImportedStore&) = delete;

    PCCERT_CONTEXT Next() {
        current_ = Crypt32Api::Get().CertEnumCertificatesInStore(store_, current_);
        return current_;
    }
    std::vector<KeyContainer>& containers() { return containers_; }

private:
    HCERTSTORE store_;
    std::optional<std::set<std::wstring>> userBefore_;
    std::optional<std::set<std::wstring>> machineBefore_;
    PCCERT_CONTEXT current_ = nullptr;
    std::vector<KeyContainer> containers_;
};

std::string NameText(const CERT_NAME_BLOB& name) {
    const DWORD flags = CERT_X500_NAME_STR | CERT_NAME_STR_NO_QUOTING_FLAG;
    const DWORD length = Crypt32Api::Get().CertNameToStrW(X509_ASN_ENCODING, const_cast<CERT_NAME_BLOB*>(&name), flags,
                                                          nullptr, 0);
    if (length <= 1) return {};
    std::wstring text(length, L'\0');
    Crypt32Api::Get().CertNameToStrW(X509_ASN_ENCODING, const_cast<CERT_NAME_BLOB*>(&name), flags, text.data(), length);
    text.resize(length - 1);
    return WideToUtf8(text);
}

std::string Bytes(const CRYPT_DATA_BLOB& blob) { return std::string(reinterpret_cast<const char*>(blob.pbData), blob.cbData); }

// The DNS names of the subject alternative name extension, as encoded (IDNs in their ASCII form).
std::vector<std::string> DnsNames(PCCERT_CONTEXT cert) {
    const CERT_INFO* info = cert->pCertInfo;
    const CERT_EXTENSION* extension =
        Crypt32Api::Get().CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    if (!extension)
        extension = Crypt32Api::Get().CertFindExtension(szOID_SUBJECT_ALT_NAME, info->cExtension, info->rgExtension);
    if (!extension) return {};
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!Crypt32Api::Get().CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                                               extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size))
        return {};
    std::vector<std::string> dns;
    for (DWORD i = 0; i < names->cAltEntry; ++i)
        if (names->rgAltEntry[i].dwAltNameChoice == CERT_ALT_NAME_DNS_NAME && names->rgAltEntry[i].pwszDNSName)
            dns.push_back(WideToUtf8(names->rgAltEntry[i].pwszDNSName));
    LocalFree(names);
    return dns;
}

CertificateDetails Details(PCCERT_CONTEXT cert) {
    const CERT_INFO* info = cert->pCertInfo;
    CertificateDetails details;
    details.subject = NameText(info->Subject);
    details.issuer = NameText(info->Issuer);
    details.subjectName = Bytes(info->Subject);
    details.issuerName = Bytes(info->Issuer);
    details.dnsNames = DnsNames(cert);
    details.notBefore = UnixSeconds(info->NotBefore);
    details.notAfter = UnixSeconds(info->NotAfter);
    return details;
}

std::string Sha1(PCCERT_CONTEXT cert) {
    std::vector<BYTE> hash = CertProperty(cert, CERT_SHA1_HASH_PROP_ID);
    if (hash.empty()) ThrowLastError();
    return std::string(hash.begin(), hash.end());
}

HCERTSTORE Import(const std::string& bytes, const wchar_t* password) {
    CRYPT_DATA_BLOB blob;
    blob.cbData = static_cast<DWORD>(bytes.size());
    blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
    return Crypt32Api::Get().PFXImportCertStore(&blob, password, CRYPT_EXPORTABLE | PKCS12_NO_PERSIST_KEY);
}

}  // namespace

std::vector<PfxCertificate> Win32Pkcs12::Open(const std::string& bytes, const std::string& password) {
    std::optional<std::set<std::wstring>> userBefore = ContainerNames(0);
    std::optional<std::set<std::wstring>> machineBefore = ContainerNames(CRYPT_MACHINE_KEYSET);
    std::wstring widePassword = Utf8ToWide(password);
    SetLastError(ERROR_SUCCESS);
    HCERTSTORE store = Import(bytes, widePassword.c_str());
    if (!store && password.empty()) {
        DWORD firstError = GetLastError();
        SetLastError(ERROR_SUCCESS);
        store = Import(bytes, nullptr);
        if (!store) SetLastError(firstError);
    }
    SecureZeroMemory(widePassword.data(), widePassword.size() * sizeof(wchar_t));
    if (!store) {
        DWORD code = GetLastError();
        // The import does not always say why it failed.
        throw MakeFailure(code != ERROR_SUCCESS ? code : static_cast<DWORD>(CRYPT_E_BAD_ENCODE));
    }

    ImportedStore imported(store, std::move(userBefore), std::move(machineBefore));
    std::vector<PfxCertificate> certificates;
    while (PCCERT_CONTEXT cert = imported.Next()) {
        CollectContainers(cert, imported.containers());
        PfxCertificate entry;
        bool keyAttached = HasProperty(cert, CERT_KEY_PROV_INFO_PROP_ID) ||
                           HasProperty(cert, CERT_KEY_CONTEXT_PROP_ID) ||
                           HasProperty(cert, CERT_NCRYPT_KEY_HANDLE_PROP_ID);
        entry.hasPrivateKey = keyAttached && KeyMatchesCertificate(cert);
        entry.sha1 = Sha1(cert);
        entry.details = Details(cert);
        certificates.push_back(std::move(entry));
    }
    return certificates;
}

std::vector<PfxCertificate> Win32Pkcs12::DecodeCertificates(const std::string& der) {
    CRYPT_DATA_BLOB blob;
    blob.cbData = static_cast<DWORD>(der.size());
    blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(der.data()));
    HCERTSTORE store = nullptr;
    if (!Crypt32Api::Get().CryptQueryObject(
            CERT_QUERY_OBJECT_BLOB, &blob,
            CERT_QUERY_CONTENT_FLAG_CERT | CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED | CERT_QUERY_CONTENT_FLAG_PKCS7_UNSIGNED,
            CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, &store, nullptr, nullptr))
        ThrowLastError();
    std::vector<PfxCertificate> certificates;
    PCCERT_CONTEXT cert = nullptr;
    try {
        while ((cert = Crypt32Api::Get().CertEnumCertificatesInStore(store, cert)))
            certificates.push_back({false, Sha1(cert), Details(cert)});
    } catch (...) {
        if (cert) Crypt32Api::Get().CertFreeCertificateContext(cert);
        Crypt32Api::Get().CertCloseStore(store, 0);
        throw;
    }
    Crypt32Api::Get().CertCloseStore(store, 0);
    return certificates;
}

namespace {

// Null when the store was never made (a machine without a certificate in it).
HCERTSTORE OpenMachineStore(const wchar_t* name) {
    HCERTSTORE store = Crypt32Api::Get().CertOpenStore(
        CERT_STORE_PROV_SYSTEM_W, 0, 0,
        CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_OPEN_EXISTING_FLAG | CERT_STORE_READONLY_FLAG, name);
    if (!store && GetLastError() != ERROR_FILE_NOT_FOUND) ThrowLastError();
    return store;
}

}  // namespace

std::vector<PfxCertificate> Win32Pkcs12::PersonalCertificates() {
    const Crypt32Api& api = Crypt32Api::Get();
    HCERTSTORE store = OpenMachineStore(L"MY");
    std::vector<PfxCertificate> certificates;
    if (!store) return certificates;
    PCCERT_CONTEXT cert = nullptr;
    try {
        while ((cert = api.CertEnumCertificatesInStore(store, cert))) {
            // Only a key that is linked and opens counts: a stale link is no key.
            const bool linked = HasProperty(cert, CERT_KEY_PROV_INFO_PROP_ID);
            certificates.push_back({linked && KeyMatchesCertificate(cert), Sha1(cert), Details(cert)});
        }
    } catch (...) {
        if (cert) api.CertFreeCertificateContext(cert);
        api.CertCloseStore(store, 0);
        throw;
    }
    api.CertCloseStore(store, 0);
    return certificates;
}

bool Win32Pkcs12::InTrustedRoots(const std::string& subjectName) {
    const Crypt32Api& api = Crypt32Api::Get();
    HCERTSTORE store = OpenMachineStore(L"ROOT");
    if (!store) return false;
    std::string name = subjectName;
    CERT_NAME_BLOB blob{static_cast<DWORD>(name.size()), reinterpret_cast<BYTE*>(name.data())};
    PCCERT_CONTEXT found = api.CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                          CERT_FIND_SUBJECT_NAME, &blob, nullptr);
    if (found) api.CertFreeCertificateContext(found);
    api.CertCloseStore(store, 0);
    return found != nullptr;
}

}  // namespace quillbay::win32
