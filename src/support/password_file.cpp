#include "support/password_file.h"

namespace quillbay {

namespace {
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
}

std::optional<std::string> FirstLine(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return text.substr(0, text.find_first_of("\r\n"));
}

std::optional<std::string> ReadPasswordFile(FileSystem& fs, const std::string& path) {
    // The code page conversion would turn the mark's bytes into password characters, so
    // the mark is looked for in the raw bytes.
    const std::string bytes = fs.ReadBytes(path);
    if (bytes.rfind(kUtf8Bom, 0) == 0) return FirstLine(bytes.substr(3));
    return FirstLine(fs.ReadAllText(path));
}

}  // namespace quillbay
