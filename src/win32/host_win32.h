#pragma once
// The running executable and its process environment.
#include <string>

#include "support/ports.h"

namespace quillbay::win32 {

// Full path of the running executable.
std::string ExePath();

class Win32Host : public Host {
public:
    std::string AppFolder() override;
    std::string ExePath() override;
    std::uint16_t UserUILanguage() override;
    // The ProductVersion text of the version record's first translation; when the record
    // has no such text, its fixed product version as "a.b.c.d". "" for a missing file or a
    // file without a version record.
    std::string FileProductVersion(const std::string& path) override;
    // The fixed file version of the executable. Throws Failure when it has no version record.
    std::vector<int> OwnVersion() override;
    void EndProcess() override;
    // The process token's elevation; false when the token cannot be read.
    bool IsElevated() override;
    std::optional<std::string> UserSetting(const std::string& name) override;
    void SetUserSetting(const std::string& name, const std::string& value) override;
};

}  // namespace quillbay::win32
