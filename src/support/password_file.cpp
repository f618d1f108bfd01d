#include "support/password_file.h"

#include "support/text.h"

namespace quillbay {

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
// Longer first lines are not a password someone typed; most likely the wrong file.
constexpr std::size_t kMaxPasswordCharacters = 1024;

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
