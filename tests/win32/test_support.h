#pragma once
// Shared pieces of the adapter tests: where things are, scratch folders, raw file access.
#include <string>

namespace quillbay::win32::testing {

// Folder of the running test program (no trailing backslash).
std::string TestExeFolder();
// A fixture file copied beside the test program.
std::string FixturePath(const std::string& name);
// The helper program built with the tests.
std::string HelperPath();
// True when running under Wine (some platform traits differ there).
bool RunningUnderWine();

// Whole file as bytes, or "" when it cannot be read. Bypasses the adapters under test.
std::string ReadRaw(const std::string& path);
void WriteRaw(const std::string& path, const std::string& bytes);

// A fresh folder under the temporary folder, removed with its contents at scope end.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix = "qb test ");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

}  // namespace quillbay::win32::testing
