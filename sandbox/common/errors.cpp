#include "common/errors.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>

namespace sandbox {

namespace {

struct Known {
    unsigned long hr;
    const wchar_t* symbol;
    const wchar_t* message;
};

const Known kKnown[] = {
    {0x80070002, L"ERROR_FILE_NOT_FOUND", L"The system cannot find the file specified."},
    {0x80070003, L"ERROR_PATH_NOT_FOUND", L"The system cannot find the path specified."},
    {0x80070005, L"ERROR_ACCESS_DENIED", L"Access is denied."},
    {0x80070020, L"ERROR_SHARING_VIOLATION",
     L"The process cannot access the file because it is being used by another process."},
    {0x80070056, L"ERROR_INVALID_PASSWORD", L"The specified network password is not correct."},
    {0x80070057, L"ERROR_INVALID_PARAMETER", L"The parameter is incorrect."},
    {0x8007007B, L"ERROR_INVALID_NAME", L"The filename, directory name, or volume label syntax is incorrect."},
    {0x800700A1, L"ERROR_BAD_PATHNAME", L"The specified path is invalid."},
    {0x80092002, L"CRYPT_E_BAD_ENCODE", L"An error occurred during encode or decode operation."},
    {0x80092004, L"CRYPT_E_NOT_FOUND", L"Cannot find object or property."},
    {0x80092009, L"CRYPT_E_NO_MATCH", L"Cannot find the requested object."},
};

const Known* Find(long hr) {
    for (const Known& known : kKnown)
        if (known.hr == static_cast<unsigned long>(hr)) return &known;
    return nullptr;
}

}  // namespace

bool ParseExitCode(std::wstring_view text, unsigned long& code) {
    std::wstring digits(text);
    bool negative = !digits.empty() && digits[0] == L'-';
    if (negative) digits.erase(0, 1);
    bool hex = digits.size() > 2 && digits[0] == L'0' && (digits[1] == L'x' || digits[1] == L'X');
    std::wstring_view body = std::wstring_view(digits).substr(hex ? 2 : 0);
    if (body.empty() || body.size() > (hex ? 8u : 10u) || (hex && negative)) return false;
    for (wchar_t c : body)
        if (hex ? !iswxdigit(c) : (c < L'0' || c > L'9')) return false;
    unsigned long long value = wcstoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (value > (negative ? 0x80000000ULL : 0xFFFFFFFFULL) || value == 0) return false;
    code = static_cast<unsigned long>(negative ? 0x100000000ULL - value : value);
    return true;
}

std::wstring DescribeHResult(long hr) {
    const Known* known = Find(hr);
    wchar_t text[160];
    unsigned long bits = static_cast<unsigned long>(hr);
    if ((bits & 0xFFFF0000UL) == 0x80070000UL)
        swprintf(text, 160, L"0x%08lx (WIN32: %lu%ls%ls)", bits, bits & 0xFFFF, known ? L" " : L"",
                 known ? known->symbol : L"");
    else
        swprintf(text, 160, L"0x%08lx (%ld%ls%ls)", bits, hr, known ? L" " : L"", known ? known->symbol : L"");
    return text;
}

std::wstring HResultMessage(long hr) {
    if (const Known* known = Find(hr)) return known->message;
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring message = length ? std::wstring(buffer, length) : std::wstring();
    if (buffer) LocalFree(buffer);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) message.pop_back();
    return message.empty() ? L"Unspecified error" : message;
}

}  // namespace sandbox
