#include "sbx/version_resource.h"

#include <windows.h>

#include <vector>

#include "common/text.h"

namespace sandbox {

namespace {

// A VS_VERSIONINFO block: nested nodes of length, value length, type, key and value, each
// aligned to four bytes.
class Block {
public:
    size_t Begin(const std::wstring& key, WORD valueLength, WORD type) {
        size_t at = bytes_.size();
        Word(0);
        Word(valueLength);
        Word(type);
        Text(key);
        Align();
        return at;
    }
    void End(size_t at) {
        WORD length = static_cast<WORD>(bytes_.size() - at);
        bytes_[at] = static_cast<BYTE>(length & 0xFF);
        bytes_[at + 1] = static_cast<BYTE>(length >> 8);
    }
    void String(const std::wstring& key, const std::wstring& value) {
        size_t at = Begin(key, static_cast<WORD>(value.size() + 1), 1);
        Text(value);
        End(at);
        Align();
    }
    void Raw(const void* data, size_t size) {
        const BYTE* p = static_cast<const BYTE*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    void Word(WORD value) {
        bytes_.push_back(static_cast<BYTE>(value & 0xFF));
        bytes_.push_back(static_cast<BYTE>(value >> 8));
    }
    void Align() {
        while (bytes_.size() % 4) bytes_.push_back(0);
    }
    const std::vector<BYTE>& Bytes() const { return bytes_; }

private:
    void Text(const std::wstring& text) {
        for (wchar_t c : text) Word(static_cast<WORD>(c));
        Word(0);
    }
    std::vector<BYTE> bytes_;
};

WORD Part(const std::vector<std::wstring>& parts, size_t index) {
    if (index >= parts.size()) return 0;
    const std::wstring& part = parts[index];
    if (part.empty() || part.find_first_not_of(L"0123456789") != std::wstring::npos) return 0;
    return static_cast<WORD>(wcstoul(part.c_str(), nullptr, 10));
}

}  // namespace

bool StampVersion(const std::wstring& executable, const std::wstring& versionText, unsigned long* error) {
    std::vector<std::wstring> parts = Split(versionText, L'.');
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    fixed.dwFileVersionMS = MAKELONG(Part(parts, 1), Part(parts, 0));
    fixed.dwFileVersionLS = MAKELONG(Part(parts, 3), Part(parts, 2));
    fixed.dwProductVersionMS = fixed.dwFileVersionMS;
    fixed.dwProductVersionLS = fixed.dwFileVersionLS;
    fixed.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
    fixed.dwFileOS = VOS_NT_WINDOWS32;
    fixed.dwFileType = VFT_APP;

    Block block;
    size_t root = block.Begin(L"VS_VERSION_INFO", sizeof fixed, 0);
    block.Raw(&fixed, sizeof fixed);
    block.Align();
    size_t stringInfo = block.Begin(L"StringFileInfo", 0, 1);
    size_t table = block.Begin(L"040904B0", 0, 1);
    block.String(L"CompanyName", L"Quillbay sandbox host");
    block.String(L"FileDescription", L"IIS Manager");
    block.String(L"FileVersion", versionText);
    block.String(L"InternalName", L"InetMgr.exe");
    block.String(L"OriginalFilename", L"InetMgr.exe");
    block.String(L"ProductName", L"Internet Information Services");
    block.String(L"ProductVersion", versionText);
    block.End(table);
    block.End(stringInfo);
    size_t varInfo = block.Begin(L"VarFileInfo", 0, 1);
    size_t translation = block.Begin(L"Translation", 4, 0);
    block.Word(0x0409);
    block.Word(0x04B0);
    block.End(translation);
    block.End(varInfo);
    block.End(root);

    HANDLE update = BeginUpdateResourceW(executable.c_str(), FALSE);
    if (!update) {
        if (error) *error = GetLastError();
        return false;
    }
    const std::vector<BYTE>& bytes = block.Bytes();
    if (!UpdateResourceW(update, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                         const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()))) {
        if (error) *error = GetLastError();
        EndUpdateResourceW(update, TRUE);
        return false;
    }
    if (!EndUpdateResourceW(update, FALSE)) {
        if (error) *error = GetLastError();
        return false;
    }
    return true;
}

}  // namespace sandbox
