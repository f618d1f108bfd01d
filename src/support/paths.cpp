#include "support/paths.h"

namespace quillbay {

std::string WithTrailingBackslash(const std::string& folder) {
    if (!folder.empty() && folder.back() == '\\') return folder;
    return folder + "\\";
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return WithTrailingBackslash(folder) + name;
}

std::string GetFileName(const std::string& path) {
    auto pos = path.find_last_of("\\/:");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string GetExtensionName(const std::string& path) {
    std::string name = GetFileName(path);
    auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string GetBaseName(const std::string& path) {
    std::string name = GetFileName(path);
    auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace quillbay
