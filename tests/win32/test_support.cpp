#include "test_support.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "win32/host_win32.h"
#include "win32/text_win32.h"

namespace quillbay::win32::testing {
namespace {

std::string Beside(const std::string& name) {
    const std::string exe = ExePath();
    return exe.substr(0, exe.find_last_of('\\') + 1) + name;
}

}  // namespace

std::string FixturePath(const std::string& name) { return Beside("fixtures\\" + name); }
std::string HelperPath() { return Beside("exitcode_helper.exe"); }

std::string ReadRaw(const std::string& path) {
    std::ifstream in(std::filesystem::path(Utf8ToWide(path)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteRaw(const std::string& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(Utf8ToWide(path)), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

std::int32_t FailureNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure.number();
    }
    return 0;
}

ScratchFolder::ScratchFolder(const std::string& prefix) {
    static unsigned counter = 0;
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    std::filesystem::path folder;
    do {
        folder = temp / Utf8ToWide(prefix + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++));
    } while (!std::filesystem::create_directory(folder));
    path_ = WideToUtf8(folder.wstring());
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(Utf8ToWide(path_)), ignored);
}

}  // namespace quillbay::win32::testing
