#pragma once
// Small text helpers shared by the behaviour.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbay {

// Removes blanks (U+0020 only) at both ends.
std::string TrimBlanks(std::string_view s);
// ASCII lower case; other bytes unchanged.
std::string AsciiLower(std::string_view s);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool ContainsIgnoreCase(std::string_view haystack, std::string_view needle);
// Base64 (RFC 4648) to bytes; line breaks, blanks and padding are skipped, any other
// character outside the alphabet gives nothing.
std::optional<std::string> Base64Decode(std::string_view text);
// Splits at every occurrence of the separator; an empty text gives one empty piece.
std::vector<std::string> Split(std::string_view s, std::string_view separator);
// Two upper-case hexadecimal digits a byte: how thumbprints are written.
std::string UpperHex(std::string_view bytes);
// The text as UTF-16 little-endian bytes after a byte-order mark, for a file a tool reads as
// UTF-16; a byte that is not UTF-8 becomes U+FFFD.
std::string Utf16LeWithBom(std::string_view utf8);
// UTF-16 text (after its mark) as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::string& bytes, bool bigEndian);
// A decimal whole number with optional blanks around it and an optional sign, within
// the signed 16-bit range.
std::optional<int> ParseInt16(std::string_view s);

}  // namespace quillbay
