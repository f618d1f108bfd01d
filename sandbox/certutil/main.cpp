// certutil.exe stand-in: -addstore, -importPFX, -dump and -store over the sandbox's certificate
// stores (certs.tsv). Files are decoded with the platform's certificate library, failures end
// with the HRESULT as exit code and the tool's two "CertUtil:" lines, and every invocation is
// logged with the PFX password masked.
#include <windows.h>
#include <wincrypt.h>
#include <ncrypt.h>

#include <algorithm>
#include <cwctype>
#include <optional>
#include <string>
#include <vector>

#include "common/cert_model.h"
#include "common/cmdline.h"
#include "common/console.h"
#include "common/errors.h"
#include "common/state.h"
#include "common/system_stores.h"
#include "common/text.h"

using namespace sandbox;

namespace {

constexpr long kInvalidArg = static_cast<long>(0x80070057UL);
constexpr long kNotFoundHr = static_cast<long>(0x80092004UL);  // CRYPT_E_NOT_FOUND
constexpr long kInvalidPassword = static_cast<long>(0x80070056UL);
constexpr long kNoMatch = static_cast<long>(0x80092009UL);
constexpr long kBadEncode = static_cast<long>(0x80092002UL);
constexpr long kFileNotFound = static_cast<long>(0x80070002UL);

struct StoreInfo {
    const wchar_t* name;
    const wchar_t* description;
};

const StoreInfo kStores[] = {
    {L"My", L"Personal"},
    {L"Root", L"Trusted Root Certification Authorities"},
    {L"CA", L"Intermediate Certification Authorities"},
    {L"Trust", L"Enterprise Trust"},
    {L"Disallowed", L"Untrusted Certificates"},
    {L"AuthRoot", L"Third-Party Root Certification Authorities"},
    {L"TrustedPublisher", L"Trusted Publishers"},
    {L"TrustedPeople", L"Trusted People"},
    {L"WebHosting", L"Web Hosting"},
    {L"AddressBook", L"Other People"},
};

const StoreInfo* KnownStore(std::wstring_view name) {
    for (const StoreInfo& store : kStores)
        if (EqualsNoCase(store.name, name)) return &store;
    return nullptr;
}

const wchar_t* const kVerbs[] = {L"-addstore", L"-importPFX", L"-dump", L"-store", L"-delstore", L"-?"};
const wchar_t* const kFlagOptions[] = {L"-f", L"-user", L"-enterprise", L"-v", L"-silent", L"-q", L"-split",
                                       L"-gmt", L"-seconds", L"-Unicode"};
const wchar_t* const kValueOptions[] = {L"-p", L"-csp", L"-config", L"-t"};

// Options may be written with "/" as well as "-".
std::wstring Switch(std::wstring_view arg) {
    if (arg.size() < 2 || (arg[0] != L'-' && arg[0] != L'/')) return {};
    return L"-" + std::wstring(arg.substr(1));
}

template <size_t N>
const wchar_t* Match(const wchar_t* const (&names)[N], std::wstring_view arg) {
    std::wstring s = Switch(arg);
    for (const wchar_t* name : names)
        if (!s.empty() && EqualsNoCase(s, name)) return name;
    return nullptr;
}

struct Invocation {
    const wchar_t* verb = nullptr;
    std::vector<std::wstring> args;
    bool force = false;
    bool user = false;
    std::optional<std::wstring> password;
    std::wstring unknown;  // first argument that is neither verb, option nor verb argument
};

Invocation Parse(const std::vector<Argument>& split) {
    Invocation inv;
    for (size_t i = 1; i < split.size(); ++i) {
        const std::wstring& arg = split[i].value;
        if (const wchar_t* verb = Match(kVerbs, arg)) {
            if (inv.verb && inv.unknown.empty()) inv.unknown = arg;
            inv.verb = verb;
        } else if (const wchar_t* option = Match(kFlagOptions, arg)) {
            if (std::wstring_view(option) == L"-f") inv.force = true;
            if (std::wstring_view(option) == L"-user") inv.user = true;
        } else if (const wchar_t* option = Match(kValueOptions, arg)) {
            std::wstring value = i + 1 < split.size() ? split[++i].value : std::wstring();
            if (std::wstring_view(option) == L"-p") inv.password = value;
        } else if (arg.size() > 1 && (arg[0] == L'-' || arg[0] == L'/')) {
            if (inv.unknown.empty()) inv.unknown = arg;
        } else {
            inv.args.push_back(arg);
        }
    }
    return inv;
}

// The raw command line with the password argument replaced: from the value that follows -p to
// the next option or verb the tool knows (a password whose quoting broke may have been split
// into several arguments, and every piece of it is masked).
std::wstring MaskPassword(const std::wstring& raw, const std::vector<Argument>& split) {
    for (size_t i = 1; i + 1 < split.size(); ++i) {
        if (!EqualsNoCase(Switch(split[i].value), L"-p")) continue;
        size_t begin = split[i + 1].begin;
        size_t end = raw.size();
        for (size_t j = i + 2; j < split.size(); ++j) {
            const std::wstring& arg = split[j].value;
            if (Match(kVerbs, arg) || Match(kFlagOptions, arg) || Match(kValueOptions, arg)) {
                end = split[j].begin;
                while (end > begin && (raw[end - 1] == L' ' || raw[end - 1] == L'\t')) --end;
                break;
            }
        }
        return raw.substr(0, begin) + L"********" + raw.substr(end);
    }
    return raw;
}

long Failed(std::wstring_view verb, long hr) {
    Out(L"CertUtil: " + std::wstring(verb) + L" command FAILED: " + DescribeHResult(hr) + L"\r\nCertUtil: " +
        HResultMessage(hr) + L"\r\n");
    return hr;
}

long Completed(std::wstring_view verb) {
    Out(L"CertUtil: " + std::wstring(verb) + L" command completed successfully.\r\n");
    return 0;
}

long Usage(std::wstring_view verb, std::wstring_view syntax) {
    Out(L"Usage:\r\n  CertUtil [Options] " + std::wstring(verb) + L" " + std::wstring(syntax) + L"\r\n\r\n");
    return Failed(verb, kInvalidArg);
}

struct Certificate {
    std::vector<unsigned char> encoded;
    std::wstring thumbprint;
    std::wstring subject;
    std::wstring issuer;
    std::wstring displayName;
    bool selfSigned = false;
    bool verifiesItself = false;
};

std::wstring NameText(const CERT_NAME_BLOB& name) {
    wchar_t buffer[1024];
    DWORD length = CertNameToStrW(X509_ASN_ENCODING, const_cast<CERT_NAME_BLOB*>(&name),
                                  CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG, buffer, 1024);
    return length > 1 ? std::wstring(buffer, length - 1) : std::wstring();
}

Certificate Describe(PCCERT_CONTEXT context) {
    Certificate cert;
    cert.encoded.assign(context->pbCertEncoded, context->pbCertEncoded + context->cbCertEncoded);
    BYTE hash[20];
    DWORD size = sizeof hash;
    if (CertGetCertificateContextProperty(context, CERT_SHA1_HASH_PROP_ID, hash, &size))
        cert.thumbprint = HexUpper(hash, size);
    cert.subject = NameText(context->pCertInfo->Subject);
    cert.issuer = NameText(context->pCertInfo->Issuer);
    wchar_t name[512];
    DWORD length = CertGetNameStringW(context, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 512);
    cert.displayName = length > 1 ? std::wstring(name, length - 1) : cert.subject;
    cert.selfSigned = CertCompareCertificateName(X509_ASN_ENCODING, &context->pCertInfo->Subject,
                                                 &context->pCertInfo->Issuer) != 0;
    cert.verifiesItself =
        cert.selfSigned &&
        CryptVerifyCertificateSignatureEx(0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CERT,
                                          const_cast<CERT_CONTEXT*>(context), CRYPT_VERIFY_CERT_SIGN_ISSUER_PUBKEY,
                                          &context->pCertInfo->SubjectPublicKeyInfo, 0, nullptr) != 0;
    return cert;
}

bool FromPkcs7(const BYTE* data, DWORD size, std::vector<Certificate>& certs) {
    CRYPT_DATA_BLOB blob{size, const_cast<BYTE*>(data)};
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_PKCS7, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, 0, &blob);
    if (!store) return false;
    PCCERT_CONTEXT context = nullptr;
    while ((context = CertEnumCertificatesInStore(store, context))) certs.push_back(Describe(context));
    CertCloseStore(store, 0);
    return !certs.empty();
}

bool FromBinary(const BYTE* data, DWORD size, std::vector<Certificate>& certs) {
    if (PCCERT_CONTEXT context = CertCreateCertificateContext(X509_ASN_ENCODING, data, size)) {
        certs.push_back(Describe(context));
        CertFreeCertificateContext(context);
        return true;
    }
    return FromPkcs7(data, size, certs);
}

// A certificate file: DER, PEM ("-----BEGIN CERTIFICATE-----") or bare Base64, or a PKCS #7
// bundle in any of these encodings.
long DecodeCertificates(const std::vector<unsigned char>& bytes, std::vector<Certificate>& certs) {
    if (bytes.empty()) return kNoMatch;
    DWORD size = static_cast<DWORD>(bytes.size());
    if (FromBinary(bytes.data(), size, certs)) return 0;
    for (DWORD format : {CRYPT_STRING_BASE64HEADER, CRYPT_STRING_BASE64X509CRLHEADER, CRYPT_STRING_BASE64}) {
        DWORD decodedSize = 0;
        const char* text = reinterpret_cast<const char*>(bytes.data());
        if (!CryptStringToBinaryA(text, size, format, nullptr, &decodedSize, nullptr, nullptr) || decodedSize == 0)
            continue;
        std::vector<BYTE> decoded(decodedSize);
        if (!CryptStringToBinaryA(text, size, format, decoded.data(), &decodedSize, nullptr, nullptr)) continue;
        if (FromBinary(decoded.data(), decodedSize, certs)) return 0;
    }
    return kNoMatch;
}

long ReadInput(const std::wstring& path, std::vector<unsigned char>& bytes) {
    DWORD error = 0;
    if (path.empty()) return kFileNotFound;
    if (!ReadFileBytes(path, bytes, &error)) return HResultFromWin32(error);
    return 0;
}

std::wstring CanonicalStore(std::wstring_view name) {
    const StoreInfo* known = KnownStore(name);
    return known ? known->name : std::wstring(name);
}

std::wstring StoreKey(std::wstring_view name, bool user) {
    return user ? L"User\\" + CanonicalStore(name) : CanonicalStore(name);
}

// What is added to a sandbox store also goes to the platform's store of that name.
void Mirror(const std::vector<unsigned char>& encoded, std::wstring_view store, bool user) {
    PCCERT_CONTEXT context =
        CertCreateCertificateContext(X509_ASN_ENCODING, encoded.data(), static_cast<DWORD>(encoded.size()));
    if (!context) return;
    MirrorCertificate(context, CanonicalStore(store), user);
    CertFreeCertificateContext(context);
}

long AddStore(const Invocation& inv) {
    const wchar_t verb[] = L"-addstore";
    if (inv.args.size() != 2) return Usage(verb, L"CertificateStoreName InFile");
    const std::wstring& storeName = inv.args[0];
    const StoreInfo* known = KnownStore(storeName);
    if (!known && !inv.force) {
        Out(L"Cannot open existing Cert store.  Use -f option to force Cert store creation.\r\n");
        return Failed(verb, kFileNotFound);
    }
    std::vector<unsigned char> bytes;
    if (long hr = ReadInput(inv.args[1], bytes)) return Failed(verb, hr);
    std::vector<Certificate> certs;
    if (long hr = DecodeCertificates(bytes, certs)) return Failed(verb, hr);

    Out(known ? storeName + L" \"" + known->description + L"\"\r\n" : storeName + L"\r\n");
    CreateDirectories(StateDirectory());
    StateLock lock;
    CertificateStores stores = CertificateStores::Load();
    for (const Certificate& cert : certs) {
        if (cert.verifiesItself) Out(L"Signature matches Public Key\r\n");
        bool added = stores.Add({StoreKey(storeName, inv.user), cert.thumbprint, false, cert.subject}, cert.encoded);
        if (added) Mirror(cert.encoded, storeName, inv.user);
        Out(L"Certificate \"" + cert.displayName + (added ? L"\" added to store.\r\n" : L"\" already in store.\r\n"));
    }
    stores.Save();
    return Completed(verb);
}

std::vector<BYTE> PublicKeyBlob(HCRYPTKEY key) {
    DWORD size = 0;
    if (!CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &size)) return {};
    std::vector<BYTE> blob(size);
    if (!CryptExportKey(key, 0, PUBLICKEYBLOB, 0, blob.data(), &size)) return {};
    blob.resize(size);
    // The header names the key's algorithm (exchange or signature); only the key itself counts.
    return blob.size() > sizeof(BLOBHEADER) ? std::vector<BYTE>(blob.begin() + sizeof(BLOBHEADER), blob.end())
                                            : std::vector<BYTE>();
}

// Whether the private key that the import associated with this certificate belongs to it.
// Wine's import associates the one key of the file with every certificate of the chain, so the
// association alone says little: the key's public half must equal the certificate's.
std::optional<bool> KeyMatches(PCCERT_CONTEXT context) {
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle = 0;
    DWORD keySpec = 0;
    BOOL mustFree = FALSE;
    if (!CryptAcquireCertificatePrivateKey(context, CRYPT_ACQUIRE_SILENT_FLAG, nullptr, &handle, &keySpec, &mustFree))
        return false;
    std::optional<bool> result;
    if (keySpec != CERT_NCRYPT_KEY_SPEC) {
        HCRYPTPROV provider = handle;
        HCRYPTPROV verifier = 0;
        HCRYPTKEY certKey = 0;
        std::vector<BYTE> expected;
        if (CryptAcquireContextW(&verifier, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
            if (CryptImportPublicKeyInfo(verifier, X509_ASN_ENCODING, &context->pCertInfo->SubjectPublicKeyInfo,
                                         &certKey)) {
                expected = PublicKeyBlob(certKey);
                CryptDestroyKey(certKey);
            }
            CryptReleaseContext(verifier, 0);
        }
        if (!expected.empty()) {
            result = false;
            for (DWORD candidate : {keySpec, static_cast<DWORD>(AT_KEYEXCHANGE), static_cast<DWORD>(AT_SIGNATURE)}) {
                HCRYPTKEY userKey = 0;
                if (!CryptGetUserKey(provider, candidate, &userKey)) continue;
                bool same = PublicKeyBlob(userKey) == expected;
                CryptDestroyKey(userKey);
                if (same) {
                    result = true;
                    break;
                }
            }
        }
    }
    if (mustFree) {
        if (keySpec == CERT_NCRYPT_KEY_SPEC)
            NCryptFreeObject(handle);
        else
            CryptReleaseContext(handle, 0);
    }
    return result;
}

bool IsCertificationAuthority(PCCERT_CONTEXT context) {
    PCERT_EXTENSION extension = CertFindExtension(szOID_BASIC_CONSTRAINTS2, context->pCertInfo->cExtension,
                                                  context->pCertInfo->rgExtension);
    if (!extension) return false;
    CERT_BASIC_CONSTRAINTS2_INFO info{};
    DWORD size = sizeof info;
    return CryptDecodeObjectEx(X509_ASN_ENCODING, szOID_BASIC_CONSTRAINTS2, extension->Value.pbData,
                               extension->Value.cbData, 0, nullptr, &info, &size) &&
           info.fCA;
}

std::wstring ReadPassword() {
    Out(L"Enter PFX password:\r\n");
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    std::wstring line;
    if (GetConsoleMode(input, &mode)) {
        SetConsoleMode(input, mode & ~ENABLE_ECHO_INPUT);
        wchar_t buffer[512];
        DWORD read = 0;
        if (ReadConsoleW(input, buffer, 512, &read, nullptr)) line.assign(buffer, read);
        SetConsoleMode(input, mode);
    } else {
        char c;
        DWORD read = 0;
        std::string bytes;
        while (ReadFile(input, &c, 1, &read, nullptr) && read == 1 && c != '\n') bytes += c;
        line = FromCodePage(GetConsoleCP() ? GetConsoleCP() : CP_ACP, bytes);
    }
    while (!line.empty() && (line.back() == L'\r' || line.back() == L'\n')) line.pop_back();
    return line;
}

// One DER element at offset: its tag, where its contents start and how long they are; false
// when its header is broken or its contents run past end.
bool ReadElement(const std::vector<unsigned char>& der, size_t offset, size_t end, unsigned char& tag,
                 size_t& contents, size_t& length) {
    if (offset + 2 > end) return false;
    tag = der[offset];
    size_t i = offset + 1;
    unsigned char first = der[i++];
    length = first;
    if (first & 0x80) {
        size_t count = first & 0x7F;
        if (count == 0 || count > 4 || i + count > end) return false;
        length = 0;
        while (count--) length = (length << 8) | der[i++];
    }
    contents = i;
    return length <= end - i;
}

// Whether the bytes hold a whole PFX: SEQUENCE { INTEGER 3, authSafe SEQUENCE, [macData SEQUENCE] }
// with every length inside the file. Wine's import cannot tell a cut-off file from a wrong
// password; the platform's decoder fails such a file before any password is tried.
bool IsWholePfx(const std::vector<unsigned char>& der) {
    if (der.size() >= 2 && der[0] == 0x30 && der[1] == 0x80) return true;  // BER, left to the library
    unsigned char tag = 0;
    size_t contents = 0, length = 0;
    if (!ReadElement(der, 0, der.size(), tag, contents, length) || tag != 0x30) return false;
    size_t end = contents + length;
    if (!ReadElement(der, contents, end, tag, contents, length) || tag != 0x02 || length != 1 || der[contents] != 3)
        return false;
    size_t offset = contents + length;
    int parts = 0;
    for (; offset < end; ++parts) {
        if (!ReadElement(der, offset, end, tag, contents, length) || tag != 0x30) return false;
        offset = contents + length;
    }
    return parts == 1 || parts == 2;
}

bool IsModifierList(std::wstring_view text) {
    static const wchar_t* const modifiers[] = {L"AT_SIGNATURE", L"AT_KEYEXCHANGE", L"NoExport", L"NoCert", L"NoChain",
                                               L"NoRoot", L"Protect", L"NoProtect", L"ExportEncrypted", L"VSM"};
    for (const std::wstring& part : Split(text, L',')) {
        bool known = false;
        for (const wchar_t* modifier : modifiers) known = known || EqualsNoCase(Trim(part), modifier);
        std::wstring trimmed = Trim(part);
        known = known || StartsWithNoCase(trimmed, L"FriendlyName=") || StartsWithNoCase(trimmed, L"KeyFriendlyName=");
        if (!known) return false;
    }
    return true;
}

// Imports the PFX with its key persisted in the key set of the store's owner: the machine's for a
// machine store, as the platform's import does. Wine records the key's provider information
// without the machine flag and, acquiring the key, looks in the user's key set whatever the flag
// says; so for a machine store the information gets the flag and the key goes into both sets.
HCERTSTORE ImportWithKey(CRYPT_DATA_BLOB& blob, const std::wstring& password, bool user) {
    DWORD keySet = user ? CRYPT_USER_KEYSET : CRYPT_MACHINE_KEYSET;
    HCERTSTORE imported = PFXImportCertStore(&blob, password.c_str(), CRYPT_EXPORTABLE | keySet);
    if (!imported || user) return imported;
    if (HCERTSTORE copy = PFXImportCertStore(&blob, password.c_str(), CRYPT_EXPORTABLE | CRYPT_USER_KEYSET))
        CertCloseStore(copy, 0);
    PCCERT_CONTEXT context = nullptr;
    while ((context = CertEnumCertificatesInStore(imported, context))) {
        DWORD size = 0;
        if (!CertGetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size)) continue;
        std::vector<BYTE> buffer(size);
        if (!CertGetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, buffer.data(), &size)) continue;
        auto* info = reinterpret_cast<CRYPT_KEY_PROV_INFO*>(buffer.data());
        info->dwFlags |= CRYPT_MACHINE_KEYSET;
        CertSetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, 0, info);
    }
    return imported;
}

struct ImportedCertificate {
    Certificate cert;
    bool hasKey;
    PCCERT_CONTEXT context;  // owned
};

// Which certificates of the file came with their key; the others lose the key association
// Wine's import gives every certificate of the chain.
std::vector<ImportedCertificate> Classify(HCERTSTORE imported) {
    std::vector<ImportedCertificate> entries;
    PCCERT_CONTEXT context = nullptr;
    while ((context = CertEnumCertificatesInStore(imported, context))) {
        DWORD size = 0;
        bool associated = CertGetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size) != 0;
        bool hasKey = false;
        if (associated) {
            std::optional<bool> matches = KeyMatches(context);
            hasKey = matches.has_value() ? *matches : !IsCertificationAuthority(context);
        }
        if (associated && !hasKey) CertSetCertificateContextProperty(context, CERT_KEY_PROV_INFO_PROP_ID, 0, nullptr);
        entries.push_back({Describe(context), hasKey, CertDuplicateCertificateContext(context)});
    }
    return entries;
}

struct PfxArguments {
    std::wstring store = L"My";
    std::wstring file;
    bool noChain = false;
    bool noRoot = false;
};

bool ParsePfxArguments(std::vector<std::wstring> args, PfxArguments& parsed) {
    std::wstring modifiers;
    if (args.size() >= 2 && IsModifierList(args.back())) {
        modifiers = args.back();
        args.pop_back();
    }
    if (args.empty() || args.size() > 2) return false;
    if (args.size() == 2) parsed.store = args[0];
    parsed.file = args.back();
    for (const std::wstring& part : Split(modifiers, L',')) {
        parsed.noChain = parsed.noChain || EqualsNoCase(Trim(part), L"NoChain");
        parsed.noRoot = parsed.noRoot || EqualsNoCase(Trim(part), L"NoRoot");
    }
    return true;
}

// The sandbox's front serves HTTP.sys bindings with a real TLS library, which cannot reach the
// platform's key sets: the file and its password stay beside the certificate that has the key.
// Test machinery only; a seed removes them with the certificates.
void KeepForFront(const std::vector<ImportedCertificate>& entries, const std::vector<unsigned char>& pfx,
                  const std::wstring& password) {
    std::string utf8 = Narrow(password);
    for (const ImportedCertificate& entry : entries) {
        if (!entry.hasKey) continue;
        std::wstring base = StatePath(L"certs\\" + entry.cert.thumbprint);
        WriteFileBytes(base + L".pfx", pfx.data(), pfx.size());
        WriteFileBytes(base + L".password", utf8.data(), utf8.size());
    }
}

long ImportPfx(const Invocation& inv) {
    const wchar_t verb[] = L"-importPFX";
    PfxArguments args;
    if (!ParsePfxArguments(inv.args, args)) return Usage(verb, L"[CertificateStoreName] PFXFile [Modifiers]");

    std::wstring password = inv.password ? *inv.password : ReadPassword();
    std::vector<unsigned char> bytes;
    if (long hr = ReadInput(args.file, bytes)) return Failed(verb, hr);
    CRYPT_DATA_BLOB blob{static_cast<DWORD>(bytes.size()), bytes.data()};
    // Data that is no PFX, or only part of one, fails to decode: CRYPT_E_BAD_ENCODE, "An error
    // occurred during encode or decode operation.", which is what the platform's PFX import gives
    // for a file that is no binary PKCS #12 (ansible-collections/ansible.windows#132).
    if (bytes.empty() || !IsWholePfx(bytes) || !PFXIsPFXBlob(&blob)) return Failed(verb, kBadEncode);
    HCERTSTORE imported = ImportWithKey(blob, password, inv.user);
    // The import fails without telling why; for data that is a PFX that means the password.
    if (!imported) return Failed(verb, kInvalidPassword);
    std::vector<ImportedCertificate> entries = Classify(imported);

    CreateDirectories(StateDirectory());
    {
        StateLock lock;
        CertificateStores stores = CertificateStores::Load();
        for (const ImportedCertificate& entry : entries) {
            std::wstring target;
            if (entry.hasKey)
                target = args.store;
            else if (args.noChain || (entry.cert.selfSigned && args.noRoot))
                continue;
            else
                target = entry.cert.selfSigned ? L"Root" : L"CA";
            stores.Add({StoreKey(target, inv.user), entry.cert.thumbprint, entry.hasKey, entry.cert.subject},
                       entry.cert.encoded);
            MirrorCertificate(entry.context, CanonicalStore(target), inv.user);
            if (entry.hasKey) Out(L"Certificate \"" + entry.cert.displayName + L"\" added to store.\r\n");
        }
        stores.Save();
        KeepForFront(entries, bytes, password);
    }
    for (const ImportedCertificate& entry : entries) CertFreeCertificateContext(entry.context);
    CertCloseStore(imported, 0);
    Out(L"\r\n");
    return Completed(verb);
}

void PrintCertificate(const Certificate& cert) {
    std::wstring hash = ToLower(cert.thumbprint);
    Out(L"Issuer: " + cert.issuer + L"\r\nSubject: " + cert.subject + L"\r\n");
    if (cert.selfSigned) Out(L"Root Certificate: Subject matches Issuer\r\n");
    Out(L"Cert Hash(sha1): " + hash + L"\r\n");
}

long Dump(const Invocation& inv) {
    const wchar_t verb[] = L"-dump";
    for (const std::wstring& file : inv.args) {
        std::vector<unsigned char> bytes;
        if (long hr = ReadInput(file, bytes)) return Failed(verb, hr);
        std::vector<Certificate> certs;
        if (long hr = DecodeCertificates(bytes, certs)) return Failed(verb, hr);
        for (const Certificate& cert : certs) {
            Out(L"X509 Certificate:\r\n");
            PrintCertificate(cert);
            Out(L"\r\n");
        }
    }
    return Completed(verb);
}

long ListStore(const Invocation& inv) {
    const wchar_t verb[] = L"-store";
    if (inv.args.size() > 1) return Usage(verb, L"[CertificateStoreName]");
    std::wstring storeName = inv.args.empty() ? L"My" : inv.args[0];
    const StoreInfo* known = KnownStore(storeName);
    Out(known ? storeName + L" \"" + known->description + L"\"\r\n" : storeName + L"\r\n");
    CertificateStores stores = CertificateStores::Load();
    int index = 0;
    for (const StoredCertificate& stored : stores.certificates) {
        if (!EqualsNoCase(stored.store, StoreKey(storeName, inv.user))) continue;
        Out(L"================ Certificate " + std::to_wstring(index++) + L" ================\r\n");
        std::vector<unsigned char> bytes;
        std::vector<Certificate> certs;
        if (ReadFileBytes(StatePath(L"certs\\" + stored.thumbprint + L".cer"), bytes, nullptr) &&
            DecodeCertificates(bytes, certs) == 0)
            PrintCertificate(certs[0]);
        else
            Out(L"Subject: " + stored.subject + L"\r\nCert Hash(sha1): " + ToLower(stored.thumbprint) + L"\r\n");
        Out(stored.hasKey ? L"  Private key is present\r\n" : L"No key provider information\r\n");
        Out(L"\r\n");
    }
    return Completed(verb);
}

// Deletes the certificate the id names (its SHA-1 hash, blanks allowed) from the store, after
// showing it as -store does.
long DelStore(const Invocation& inv) {
    const wchar_t verb[] = L"-delstore";
    if (inv.args.size() != 2) return Usage(verb, L"[CertificateStoreName [CertId]]");
    std::wstring id;
    for (wchar_t c : inv.args[1])
        if (c != L' ') id += static_cast<wchar_t>(towupper(c));
    StateLock lock;
    CertificateStores stores = CertificateStores::Load();
    const std::wstring key = StoreKey(inv.args[0], inv.user);
    auto found = std::find_if(stores.certificates.begin(), stores.certificates.end(), [&](const StoredCertificate& c) {
        return EqualsNoCase(c.store, key) && c.thumbprint == id;
    });
    if (found == stores.certificates.end()) return Failed(verb, kNotFoundHr);
    const StoreInfo* known = KnownStore(inv.args[0]);
    Out(known ? inv.args[0] + L" \"" + known->description + L"\"\r\n" : inv.args[0] + L"\r\n");
    Out(L"================ Certificate 0 ================\r\nSubject: " + found->subject + L"\r\nCert Hash(sha1): " +
        ToLower(found->thumbprint) + L"\r\nDeleting Certificate 0\r\n");
    stores.certificates.erase(found);
    if (!stores.Save()) return Failed(verb, static_cast<long>(0x80004005UL));
    RemoveMirroredCertificate(CanonicalStore(inv.args[0]), inv.user, id);
    return Completed(verb);
}

long Verbs() {
    Out(L"Verbs:\r\n"
        L"  -dump             -- Dump configuration information or file\r\n"
        L"  -addstore         -- Add certificate to store\r\n"
        L"  -store            -- Dump certificate store\r\n"
        L"  -delstore         -- Delete certificate from store\r\n"
        L"  -importPFX        -- Import certificate and private key\r\n"
        L"\r\n"
        L"CertUtil -?              -- Display a verb list (command list)\r\n"
        L"\r\n"
        L"(This host is the Quillbay sandbox: only the verbs above are simulated.)\r\n");
    return 0;
}

long Run(const Invocation& inv) {
    if (!inv.unknown.empty()) {
        Out(L"CertUtil: Unknown arg: " + inv.unknown +
            L"\r\n\r\n\r\n"
            L"CertUtil -?              -- Display a verb list (command list)\r\n"
            L"CertUtil -dump -?        -- Display help text for the \"dump\" verb\r\n"
            L"CertUtil -v -?           -- Display all help text for all verbs\r\n\r\n");
        return kInvalidArg;
    }
    std::wstring_view verb = inv.verb ? inv.verb : L"-dump";
    if (verb == L"-addstore") return AddStore(inv);
    if (verb == L"-importPFX") return ImportPfx(inv);
    if (verb == L"-store") return ListStore(inv);
    if (verb == L"-delstore") return DelStore(inv);
    if (verb == L"-?") return Verbs();
    return Dump(inv);
}

}  // namespace

int wmain() {
    std::wstring raw = GetCommandLineW();
    std::vector<Argument> split = SplitCommandLine(raw);
    long code = Run(Parse(split));
    LogInvocation(L"certutil", MaskPassword(raw, split), static_cast<DWORD>(code));
    return static_cast<int>(code);
}
