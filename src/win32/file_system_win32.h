#pragma once
// Files and folders through the Win32 file functions. Text files are converted between
// UTF-8 and the system ANSI code page here.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "support/ports.h"

namespace quillbay::win32 {

class Win32FileSystem : public FileSystem {
public:
    Win32FileSystem();

    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    // Creates one folder; its parent must exist. An existing folder throws.
    void CreateFolder(const std::string& path) override;
    void CreateAdminOnlyFolder(const std::string& path) override;
    std::vector<FileEntry> ListFiles(const std::string& folder) override;
    // A drive root keeps its backslash. A value outside the enum throws
    // Failure(ERROR_INVALID_PARAMETER).
    std::string GetSpecialFolder(SpecialFolder which) override;
    // "rad" + 5 hexadecimal digits + ".tmp". Successive names in one process differ, and
    // none names an existing file or folder in the temporary folder.
    std::string GetTempName() override;
    std::string ReadAllText(const std::string& path) override;
    std::string ReadBytes(const std::string& path) override;
    void AppendText(const std::string& path, const std::string& text) override;
    void WriteText(const std::string& path, const std::string& text) override;
    void WriteBytes(const std::string& path, const std::string& bytes) override;
    void WriteNewBytes(const std::string& path, const std::string& bytes) override;
    void Copy(const std::string& from, const std::string& to, bool overwrite) override;
    void Delete(const std::string& path) override;
    PathAccess Access(const std::string& path) override;
    // Through TreeResetNamedSecurityInfo: the folder's DACL set, its contents' reset to inherit.
    void RestrictToAdministrators(const std::string& folder) override;

private:
    enum class WriteMode { Append, Replace, New };
    void Write(const std::string& path, const std::string& bytes, WriteMode mode);

    std::atomic<std::uint32_t> nextTempNumber_;
};

}  // namespace quillbay::win32
