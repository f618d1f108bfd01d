#pragma once
// Path and name helpers on Windows-style paths (backslash separators).
#include <string>

namespace quillbay {

// folder + "\" + name, without doubling a trailing backslash (a drive root keeps its own).
std::string JoinPath(const std::string& folder, const std::string& name);
// folder with a backslash appended unless it already ends in one.
std::string WithTrailingBackslash(const std::string& folder);
// Text after the last dot of the name part, without the dot ("" when none).
std::string GetExtensionName(const std::string& path);
// Name part without its extension.
std::string GetBaseName(const std::string& path);
// Name part (after the last backslash or slash).
std::string GetFileName(const std::string& path);

}  // namespace quillbay
