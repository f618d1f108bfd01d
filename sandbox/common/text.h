// Text functions shared by the sandbox tools: UTF-8/UTF-16 conversion, case-insensitive
// comparison, and the escaped tab-separated records the state files are made of.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sandbox {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// Code-page conversions for files and redirected output (CP_ACP, CP_OEMCP, CP_UTF8...).
std::string ToCodePage(unsigned codePage, std::wstring_view wide);
std::wstring FromCodePage(unsigned codePage, std::string_view bytes);

// Ordinal comparison without regard to letter case, as the platform compares names.
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix);
std::wstring ToUpper(std::wstring_view text);
std::wstring ToLower(std::wstring_view text);

std::wstring Trim(std::wstring_view text);
std::vector<std::wstring> Split(std::wstring_view text, wchar_t separator);

// A record is one line of tab-separated fields; backslash, tab, CR and LF inside a field
// are escaped so that any text survives a round trip.
std::wstring JoinRecord(const std::vector<std::wstring>& fields);
std::vector<std::wstring> SplitRecord(std::wstring_view line);

std::wstring HexUpper(const unsigned char* bytes, size_t count);

}  // namespace sandbox
