#include "common/system_stores.h"

#include <cwchar>
#include <string>
#include <vector>

#include "common/state.h"
#include "common/text.h"

namespace sandbox {

namespace {

const wchar_t kFile[] = L"mirrored.tsv";
const wchar_t kHostRoots[] = L"host-roots.pem";
const wchar_t kTrustedRoots[] = L"trusted-roots.pem";
const wchar_t kMachine[] = L"LocalMachine";
const wchar_t kUser[] = L"CurrentUser";

// The registry store behind the system store of that name: what the system store shows, and
// under Wine the only way to delete or replace a certificate there (through the system store's
// collection both fail without a word).
HCERTSTORE OpenRegistryStore(std::wstring_view location, const std::wstring& name, DWORD flags = 0) {
    DWORD where = location == kUser ? CERT_SYSTEM_STORE_CURRENT_USER : CERT_SYSTEM_STORE_LOCAL_MACHINE;
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, where | flags, name.c_str());
}

PCCERT_CONTEXT FindByHash(HCERTSTORE store, std::vector<BYTE>& hash) {
    CRYPT_HASH_BLOB blob{static_cast<DWORD>(hash.size()), hash.data()};
    return CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH, &blob, nullptr);
}

std::vector<BYTE> HashOf(std::wstring_view thumbprint) {
    std::vector<BYTE> hash;
    for (size_t i = 0; i + 1 < thumbprint.size(); i += 2)
        hash.push_back(static_cast<BYTE>(wcstoul(std::wstring(thumbprint.substr(i, 2)).c_str(), nullptr, 16)));
    return hash;
}

bool IsRecorded(const std::vector<Record>& records, const Record& record) {
    for (const Record& r : records)
        if (r.size() >= 4 && r[0] == record[0] && r[1] == record[1] && EqualsNoCase(r[2], record[2]) &&
            EqualsNoCase(r[3], record[3]))
            return true;
    return false;
}

// The certificate in PEM, as the host's roots file holds its own.
std::string Pem(PCCERT_CONTEXT context) {
    const DWORD flags = CRYPT_STRING_BASE64HEADER | CRYPT_STRING_NOCR;
    DWORD size = 0;
    if (!CryptBinaryToStringA(context->pbCertEncoded, context->cbCertEncoded, flags, nullptr, &size)) return "";
    std::string pem(size, '\0');
    if (!CryptBinaryToStringA(context->pbCertEncoded, context->cbCertEncoded, flags, pem.data(), &size)) return "";
    pem.resize(size);
    return pem;
}

// Wine's chain engine trusts the roots of the Linux host's roots file, never a Root store's. The
// sandbox host puts trusted-roots.pem in that file's place for its processes, and a copy of the
// host's own roots in host-roots.pem: this rewrites trusted-roots.pem as those roots and every
// certificate the stand-ins put into a Root store, so that what the simulated machine trusts is
// what its Root store holds. A host without that arrangement has no host-roots.pem.
void SyncTrustedRoots() {
    std::vector<unsigned char> host;
    if (!ReadFileBytes(StatePath(kHostRoots), host, nullptr)) return;
    std::string roots(host.begin(), host.end());
    for (const Record& record : ReadRecords(StatePath(kFile))) {
        if (record.size() < 4 || record[0] != L"mirrored" || !EqualsNoCase(record[2], L"Root")) continue;
        HCERTSTORE store = OpenRegistryStore(record[1], record[2], CERT_STORE_OPEN_EXISTING_FLAG);
        if (!store) continue;
        std::vector<BYTE> hash = HashOf(record[3]);
        if (PCCERT_CONTEXT found = FindByHash(store, hash)) {
            roots += Pem(found);
            CertFreeCertificateContext(found);
        }
        CertCloseStore(store, 0);
    }
    // Written in place: the host's file is this file's inode, bound where Wine looks.
    WriteFileBytes(StatePath(kTrustedRoots), roots.data(), roots.size());
}

}  // namespace

bool MirrorCertificate(PCCERT_CONTEXT context, std::wstring_view storeName, bool user) {
    std::vector<BYTE> hash(20);
    DWORD size = static_cast<DWORD>(hash.size());
    if (!CertGetCertificateContextProperty(context, CERT_SHA1_HASH_PROP_ID, hash.data(), &size)) return false;
    Record record{L"mirrored", user ? kUser : kMachine, std::wstring(storeName), HexUpper(hash.data(), size)};
    std::vector<Record> records = ReadRecords(StatePath(kFile));
    bool ours = IsRecorded(records, record);
    HCERTSTORE store = OpenRegistryStore(record[1], record[2]);
    if (!store) return false;
    PCCERT_CONTEXT existing = FindByHash(store, hash);
    bool ok = true, mine = !existing || ours;
    if (mine && !ours) {
        // Recorded first: a tool that dies in between leaves a record of nothing rather than a
        // certificate no seed removes.
        records.push_back(record);
        ok = WriteRecords(StatePath(kFile), records);
    }
    if (ok && mine) {
        // Wine's replacement keeps the old copy's properties: the new key information would be lost.
        if (existing) CertDeleteCertificateFromStore(CertDuplicateCertificateContext(existing));
        ok = CertAddCertificateContextToStore(store, context, CERT_STORE_ADD_REPLACE_EXISTING, nullptr) != 0;
    }
    if (existing) CertFreeCertificateContext(existing);
    ok = CertCloseStore(store, 0) && ok;  // the registry is written when the store closes
    if (ok && EqualsNoCase(storeName, L"Root")) SyncTrustedRoots();
    return ok;
}

void RemoveMirroredCertificate(std::wstring_view storeName, bool user, std::wstring_view thumbprint) {
    std::vector<Record> records = ReadRecords(StatePath(kFile)), kept;
    for (const Record& record : records) {
        const bool it = record.size() >= 4 && record[0] == L"mirrored" && record[1] == (user ? kUser : kMachine) &&
                        EqualsNoCase(record[2], storeName) && EqualsNoCase(record[3], thumbprint);
        if (!it) {
            kept.push_back(record);
            continue;
        }
        if (HCERTSTORE store = OpenRegistryStore(record[1], record[2], CERT_STORE_OPEN_EXISTING_FLAG)) {
            std::vector<BYTE> hash = HashOf(record[3]);
            PCCERT_CONTEXT found = nullptr;
            while ((found = FindByHash(store, hash)) && CertDeleteCertificateFromStore(found)) {
            }
            CertCloseStore(store, 0);
        }
    }
    WriteRecords(StatePath(kFile), kept);
    if (EqualsNoCase(storeName, L"Root")) SyncTrustedRoots();
}

void RemoveMirroredCertificates() {
    for (const Record& record : ReadRecords(StatePath(kFile))) {
        if (record.size() < 4 || record[0] != L"mirrored") continue;
        HCERTSTORE store = OpenRegistryStore(record[1], record[2], CERT_STORE_OPEN_EXISTING_FLAG);
        if (!store) continue;
        std::vector<BYTE> hash = HashOf(record[3]);
        PCCERT_CONTEXT found = nullptr;
        while ((found = FindByHash(store, hash)) && CertDeleteCertificateFromStore(found)) {
        }
        CertCloseStore(store, 0);
    }
    SyncTrustedRoots();
}

}  // namespace sandbox
