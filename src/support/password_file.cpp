#include "support/password_file.h"

namespace quillbay {

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
// Longer first lines are not a password someone typed; most likely the wrong file.
constexpr std::size_t kMaxPasswordCharacters = 1024;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 text after its mark, as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::string& bytes, bool bigEndian) {
    auto unit = [&](std::size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::size_t Characters(const std::string& utf8) {
    std::size_t n = 0;
    for (char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

}  // namespace

std::optional<std::string> FirstLine(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return text.substr(0, text.find_first_of("\r\n"));
}

std::optional<std::string> ReadPasswordFile(FileSystem& fs, const std::string& path) {
    // The code page conversion would turn a mark's bytes into password characters, so the
    // marks are looked for in the raw bytes.
    const std::string bytes = fs.ReadBytes(path);
    std::optional<std::string> line;
    if (bytes.rfind(kUtf8Bom, 0) == 0) line = FirstLine(bytes.substr(3));
    else if (bytes.rfind("\xFF\xFE", 0) == 0) line = FirstLine(Utf16ToUtf8(bytes.substr(2), false));
    else if (bytes.rfind("\xFE\xFF", 0) == 0) line = FirstLine(Utf16ToUtf8(bytes.substr(2), true));
    else line = FirstLine(fs.ReadAllText(path));
    // A NUL would end the command line early, and certutil would run without the PFX.
    if (line && (line->find('\0') != std::string::npos || Characters(*line) > kMaxPasswordCharacters))
        return std::nullopt;
    return line;
}

}  // namespace quillbay
