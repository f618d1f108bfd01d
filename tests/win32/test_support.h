#pragma once
// Shared pieces of the adapter tests. File access here bypasses the adapters under test.
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>

#include "win32/host_win32.h"
#include "win32/text_win32.h"

namespace quillbay::win32::testing {

// Beside the test program: a fixture file, and the helper program built with the tests.
inline std::string Beside(const std::string& name) { return ExePath().substr(0, ExePath().rfind('\\') + 1) + name; }
inline std::string FixturePath(const std::string& name) { return Beside("fixtures\\" + name); }
inline std::string HelperPath() { return Beside("exitcode_helper.exe"); }

// The whole file, or "" when it cannot be read (also while a process holds it unshared).
inline std::string ReadRaw(const std::string& path) {
    std::ifstream in(std::filesystem::path(Utf8ToWide(path)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void WriteRaw(const std::string& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(Utf8ToWide(path)), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

// The fixture certificate (root, inter, leaf) of a SHA-1 thumbprint, as openssl printed it when
// the fixtures were made; any other thumbprint as it is.
inline std::string FixtureName(const std::string& hex) {
    std::istringstream lines(ReadRaw(FixturePath("thumbprints.txt")));
    for (std::string name, thumbprint; lines >> name >> thumbprint;)
        if (thumbprint == hex) return name;
    return hex;
}

// The number of the Failure the action throws; 0 when it throws none.
inline std::int32_t FailureNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure.number();
    }
    return 0;
}

// A fresh folder under the temporary folder, removed with its contents at scope end.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix) {
        static unsigned counter = 0;
        const std::string name = prefix + std::to_string(GetCurrentProcessId()) + "-";
        std::filesystem::path folder;
        do folder = std::filesystem::temp_directory_path() / Utf8ToWide(name + std::to_string(counter++));
        while (!std::filesystem::create_directory(folder));
        path_ = WideToUtf8(folder.wstring());
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(Utf8ToWide(path_)), ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

}  // namespace quillbay::win32::testing
