#pragma once
// Shared pieces of the adapter tests. File access here bypasses the adapters under test.
#include <cstdint>
#include <functional>
#include <string>

namespace quillbay::win32::testing {

// Beside the test program: a fixture file, and the helper program built with the tests.
std::string FixturePath(const std::string& name);
std::string HelperPath();

// The whole file, or "" when it cannot be read (also while a process holds it unshared).
std::string ReadRaw(const std::string& path);
void WriteRaw(const std::string& path, const std::string& bytes);

// The number of the Failure the action throws; 0 when it throws none.
std::int32_t FailureNumber(const std::function<void()>& action);

// A fresh folder under the temporary folder, removed with its contents at scope end.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

}  // namespace quillbay::win32::testing
