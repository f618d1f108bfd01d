#include "common/cert_model.h"

#include "common/state.h"
#include "common/text.h"

namespace sandbox {

namespace {
const wchar_t kFile[] = L"certs.tsv";
}

CertificateStores CertificateStores::Load() {
    CertificateStores stores;
    for (const Record& record : ReadRecords(StatePath(kFile)))
        if (record.size() >= 5 && record[0] == L"cert")
            stores.certificates.push_back({record[1], record[2], record[3] == L"1", record[4]});
    return stores;
}

bool CertificateStores::Save() const {
    std::vector<Record> records;
    for (const StoredCertificate& c : certificates)
        records.push_back({L"cert", c.store, c.thumbprint, c.hasKey ? L"1" : L"0", c.subject});
    CreateDirectories(StateDirectory());
    return WriteRecords(StatePath(kFile), records);
}

const StoredCertificate* CertificateStores::Find(std::wstring_view store, std::wstring_view thumbprint) const {
    for (const StoredCertificate& c : certificates)
        if (EqualsNoCase(c.store, store) && EqualsNoCase(c.thumbprint, thumbprint)) return &c;
    return nullptr;
}

bool CertificateStores::Add(const StoredCertificate& entry, const std::vector<unsigned char>& encoded) {
    CreateDirectories(StatePath(L"certs"));
    WriteFileBytes(StatePath(L"certs\\" + entry.thumbprint + L".cer"), encoded.data(), encoded.size());
    for (StoredCertificate& c : certificates) {
        if (EqualsNoCase(c.store, entry.store) && EqualsNoCase(c.thumbprint, entry.thumbprint)) {
            c.hasKey = c.hasKey || entry.hasKey;
            return false;
        }
    }
    certificates.push_back(entry);
    return true;
}

}  // namespace sandbox
