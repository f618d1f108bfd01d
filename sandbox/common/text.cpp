#include "common/text.h"

#include <windows.h>

namespace sandbox {

std::wstring FromCodePage(unsigned codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    int size = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), size);
    return wide;
}

std::string ToCodePage(unsigned codePage, std::wstring_view wide) {
    if (wide.empty()) return {};
    int size = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

std::wstring Widen(std::string_view utf8) { return FromCodePage(CP_UTF8, utf8); }
std::string Narrow(std::wstring_view wide) { return ToCodePage(CP_UTF8, wide); }

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    if (a.empty()) return true;
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

namespace {
std::wstring MapCase(std::wstring_view text, DWORD flag) {
    std::wstring result(text);
    if (!result.empty())
        LCMapStringEx(LOCALE_NAME_INVARIANT, flag, text.data(), static_cast<int>(text.size()), result.data(),
                      static_cast<int>(result.size()), nullptr, nullptr, 0);
    return result;
}
}  // namespace

std::wstring ToUpper(std::wstring_view text) { return MapCase(text, LCMAP_UPPERCASE); }
std::wstring ToLower(std::wstring_view text) { return MapCase(text, LCMAP_LOWERCASE); }

std::wstring Trim(std::wstring_view text) {
    size_t begin = text.find_first_not_of(L" \t\r\n");
    if (begin == std::wstring_view::npos) return {};
    size_t end = text.find_last_not_of(L" \t\r\n");
    return std::wstring(text.substr(begin, end - begin + 1));
}

std::vector<std::wstring> Split(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        if (at == std::wstring_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
}

std::wstring JoinRecord(const std::vector<std::wstring>& fields) {
    std::wstring line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) line += L'\t';
        for (wchar_t c : fields[i]) {
            switch (c) {
                case L'\\': line += L"\\\\"; break;
                case L'\t': line += L"\\t"; break;
                case L'\r': line += L"\\r"; break;
                case L'\n': line += L"\\n"; break;
                default: line += c;
            }
        }
    }
    return line;
}

std::vector<std::wstring> SplitRecord(std::wstring_view line) {
    std::vector<std::wstring> fields(1);
    for (size_t i = 0; i < line.size(); ++i) {
        wchar_t c = line[i];
        if (c == L'\t') {
            fields.emplace_back();
        } else if (c == L'\\' && i + 1 < line.size()) {
            wchar_t next = line[++i];
            fields.back() += next == L't' ? L'\t' : next == L'r' ? L'\r' : next == L'n' ? L'\n' : next;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::wstring HexUpper(const unsigned char* bytes, size_t count) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

}  // namespace sandbox
