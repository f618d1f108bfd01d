#include "win32/signature_win32.h"

#include <vector>

#include "win32/system_library.h"

namespace quillbay::win32 {

namespace {

constexpr NTSTATUS kSuccess = 0;
constexpr NTSTATUS kInvalidSignature = static_cast<NTSTATUS>(0xC000A000);  // STATUS_INVALID_SIGNATURE
constexpr NTSTATUS kInvalidParameter = static_cast<NTSTATUS>(0xC000000D);   // STATUS_INVALID_PARAMETER

void Check(NTSTATUS status, const char* what) {
    if (status != kSuccess) throw Failure(static_cast<std::int32_t>(status), std::string("CNG could not ") + what);
}

// An algorithm provider, closed when it goes.
class Provider {
public:
    explicit Provider(const wchar_t* algorithm) {
        Check(BCryptApi::Get().BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, 0), "open an algorithm");
    }
    ~Provider() { BCryptApi::Get().BCryptCloseAlgorithmProvider(handle_, 0); }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;
    BCRYPT_ALG_HANDLE get() const { return handle_; }

private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

std::vector<UCHAR> Sha256(const std::string& data) {
    const BCryptApi& api = BCryptApi::Get();
    const Provider sha256(BCRYPT_SHA256_ALGORITHM);
    BCRYPT_HASH_HANDLE hash = nullptr;
    Check(api.BCryptCreateHash(sha256.get(), &hash, nullptr, 0, nullptr, 0, 0), "start a hash");
    std::vector<UCHAR> digest(32);
    NTSTATUS status = kSuccess;
    // BCryptHashData takes at most 4 GiB a call.
    for (std::size_t at = 0; status == kSuccess && at < data.size(); at += 0x40000000) {
        const std::size_t length = std::min<std::size_t>(data.size() - at, 0x40000000);
        status = api.BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data() + at)),
                                    static_cast<ULONG>(length), 0);
    }
    if (status == kSuccess) status = api.BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
    api.BCryptDestroyHash(hash);
    Check(status, "hash the data");
    return digest;
}

}  // namespace

bool Win32SignatureVerifier::VerifyP256(const std::string& point, const std::string& data, const std::string& signature) {
    if (point.size() != 65 || point[0] != 0x04 || signature.size() != 64) return false;
    const BCryptApi& api = BCryptApi::Get();
    std::vector<UCHAR> digest = Sha256(data);

    // BCRYPT_ECCKEY_BLOB, then X and Y.
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 64);
    auto* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob.data());
    header->dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header->cbKey = 32;
    std::copy(point.begin() + 1, point.end(), blob.begin() + sizeof(BCRYPT_ECCKEY_BLOB));
    const Provider ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    BCRYPT_KEY_HANDLE key = nullptr;
    const NTSTATUS imported = api.BCryptImportKeyPair(ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &key, blob.data(),
                                                      static_cast<ULONG>(blob.size()), 0);
    if (imported == kInvalidParameter) return false;  // not a point of the curve
    Check(imported, "import the update key");
    std::string raw = signature;
    const NTSTATUS verified = api.BCryptVerifySignature(key, nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                                        reinterpret_cast<PUCHAR>(raw.data()),
                                                        static_cast<ULONG>(raw.size()), 0);
    api.BCryptDestroyKey(key);
    if (verified == kInvalidSignature) return false;
    Check(verified, "verify a signature");
    return true;
}

}  // namespace quillbay::win32
