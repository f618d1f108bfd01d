#pragma once
// password.txt beside the program: its first line is the PFX password.
#include <optional>
#include <string>

#include "support/ports.h"

namespace quillbay {

// The first line of text without its line end (CR LF, LF or CR); nothing is trimmed.
// Empty optional when the text holds no line at all (it is empty).
std::optional<std::string> FirstLine(const std::string& text);

// The first line of the password file. A file that starts with a byte-order mark is UTF-8,
// UTF-16 LE or UTF-16 BE by its mark, and the mark is not part of the password; any other
// file is in the system ANSI code page. Empty optional when the file holds no line (no bytes,
// or the mark alone), or when the line holds a NUL or more than 1,024 characters (a wrong
// file, not a password); an empty first line followed by a line end is an empty password. A
// missing or unreadable file throws Failure.
std::optional<std::string> ReadPasswordFile(FileSystem& fs, const std::string& path);

}  // namespace quillbay
