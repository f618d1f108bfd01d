#include "win32/file_system_win32.h"

#include <algorithm>
#include <cstdio>

#include <aclapi.h>

#include "support/paths.h"
#include "win32/path_security.h"
#include "win32/text_win32.h"

namespace quillbay::win32 {

namespace {

constexpr std::uint32_t kTempNumberRange = 0x100000;  // five hexadecimal digits
// Odd, so stepping by it visits every number of the range before repeating one.
constexpr std::uint32_t kTempNumberStep = 0x9E3B5;

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// About two seconds in all for a handle that locks a log out.
constexpr int kAppendAttempts = 40;
constexpr DWORD kAppendRetryMilliseconds = 50;

DWORD Attributes(const std::string& path) { return GetFileAttributesW(Utf8ToWide(path).c_str()); }

std::string WithoutTrailingBackslash(std::wstring folder) {
    // "C:\" stays as it is: without its backslash it would mean the drive's current folder.
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    return WideToUtf8(folder);
}

std::uint32_t TempNumberSeed() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<std::uint32_t>(counter.QuadPart) ^ (GetCurrentProcessId() * 2654435761u) ^
           static_cast<std::uint32_t>(GetTickCount64());
}

}  // namespace

Win32FileSystem::Win32FileSystem() : nextTempNumber_(TempNumberSeed() % kTempNumberRange) {}

bool Win32FileSystem::FileExists(const std::string& path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::FolderExists(const std::string& path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Win32FileSystem::CreateFolder(const std::string& path) {
    if (!CreateDirectoryW(Utf8ToWide(path).c_str(), nullptr)) ThrowLastError();
}

void Win32FileSystem::CreateAdminOnlyFolder(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = AdminOnlyDescriptor();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const BOOL created = CreateDirectoryW(Utf8ToWide(path).c_str(), &attributes);
    const DWORD error = GetLastError();
    LocalFree(descriptor);
    if (!created) throw MakeFailure(error);
}

std::vector<FileEntry> Win32FileSystem::ListFiles(const std::string& folder) {
    std::vector<FileEntry> files;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(Utf8ToWide(JoinPath(folder, "*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES) return files;
        throw MakeFailure(code);
    }
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string name = WideToUtf8(found.cFileName);
        files.push_back({JoinPath(folder, name), name});
    } while (FindNextFileW(search, &found));
    DWORD code = GetLastError();
    FindClose(search);
    if (code != ERROR_NO_MORE_FILES) throw MakeFailure(code);
    return files;
}

std::string Win32FileSystem::GetSpecialFolder(SpecialFolder which) {
    wchar_t buffer[MAX_PATH + 2];
    UINT length = 0;
    switch (which) {
        case SpecialFolder::Windows: length = GetWindowsDirectoryW(buffer, MAX_PATH + 1); break;
        case SpecialFolder::System: length = GetSystemDirectoryW(buffer, MAX_PATH + 1); break;
        case SpecialFolder::Temporary: length = GetTempPathW(MAX_PATH + 1, buffer); break;
        default: throw MakeFailure(ERROR_INVALID_PARAMETER);
    }
    if (length == 0 || length > MAX_PATH + 1) ThrowLastError();
    return WithoutTrailingBackslash(std::wstring(buffer, length));
}

std::string Win32FileSystem::GetTempName() {
    std::string tempFolder = GetSpecialFolder(SpecialFolder::Temporary);
    for (std::uint32_t attempt = 0; attempt < kTempNumberRange; ++attempt) {
        std::uint32_t number = nextTempNumber_.fetch_add(kTempNumberStep) % kTempNumberRange;
        char name[16];
        std::snprintf(name, sizeof name, "rad%05X.tmp", static_cast<unsigned>(number));
        if (Attributes(JoinPath(tempFolder, name)) == INVALID_FILE_ATTRIBUTES) return name;
    }
    throw MakeFailure(ERROR_FILE_EXISTS);
}

std::string Win32FileSystem::ReadAllText(const std::string& path) { return AnsiToUtf8(ReadBytes(path)); }

std::string Win32FileSystem::ReadBytes(const std::string& path) {
    FileHandle file(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) ThrowLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) ThrowLastError();
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + done, chunk, &read, nullptr)) ThrowLastError();
        if (read == 0) break;  // the file shrank meanwhile
        done += read;
    }
    bytes.resize(done);
    return bytes;
}

void Win32FileSystem::Write(const std::string& path, const std::string& bytes, WriteMode mode) {
    const bool append = mode == WriteMode::Append;
    const std::wstring widePath = Utf8ToWide(path);
    // Appends (the logs) share writing: a second Quillbay, or a second handler of this one,
    // adds its records at the end too, each in one write. A handle that locks the file out
    // is waited for a little, so that a record is not lost to a passing reader.
    auto open = [&](DWORD share) {
        return CreateFileW(widePath.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, share, nullptr,
                           append ? OPEN_ALWAYS : mode == WriteMode::New ? CREATE_NEW : CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    const DWORD share = append ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    HANDLE handle = open(share);
    for (int attempt = 1; handle == INVALID_HANDLE_VALUE && append && GetLastError() == ERROR_SHARING_VIOLATION &&
                          attempt < kAppendAttempts;
         ++attempt) {
        Sleep(kAppendRetryMilliseconds);
        handle = open(share);
    }
    FileHandle file(handle);
    if (!file.valid()) ThrowLastError();
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr)) ThrowLastError();
        done += written;
    }
}

void Win32FileSystem::AppendText(const std::string& path, const std::string& text) {
    Write(path, Utf8ToAnsi(text), WriteMode::Append);
}

void Win32FileSystem::WriteText(const std::string& path, const std::string& text) {
    Write(path, Utf8ToAnsi(text), WriteMode::Replace);
}

void Win32FileSystem::WriteBytes(const std::string& path, const std::string& bytes) {
    Write(path, bytes, WriteMode::Replace);
}

void Win32FileSystem::WriteNewBytes(const std::string& path, const std::string& bytes) {
    Write(path, bytes, WriteMode::New);
}

void Win32FileSystem::Copy(const std::string& from, const std::string& to, bool overwrite) {
    if (!::CopyFileW(Utf8ToWide(from).c_str(), Utf8ToWide(to).c_str(), overwrite ? FALSE : TRUE)) ThrowLastError();
}

void Win32FileSystem::Delete(const std::string& path) {
    std::wstring widePath = Utf8ToWide(path);
    DWORD attributes = GetFileAttributesW(widePath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) ThrowLastError();
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(widePath.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (!::DeleteFileW(widePath.c_str())) ThrowLastError();
}

PathAccess Win32FileSystem::Access(const std::string& path) {
    // The path itself, not what a link in its place points to; attributes and rights from one
    // handle, so that both describe the same object.
    FileHandle file(CreateFileW(Utf8ToWide(path).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) ThrowLastError();
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.get(), &information)) ThrowLastError();
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return {true, false, false};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = GetSecurityInfo(file.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                       nullptr, nullptr, nullptr, nullptr, &descriptor);
    if (read != ERROR_SUCCESS) throw MakeFailure(read);
    try {
        const PathAccess access = OthersAccess(descriptor, information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        LocalFree(descriptor);
        return access;
    } catch (...) {
        LocalFree(descriptor);
        throw;
    }
}

void Win32FileSystem::RestrictToAdministrators(const std::string& folder) {
    PSECURITY_DESCRIPTOR descriptor = AdminOnlyDescriptor();
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    std::wstring widePath = Utf8ToWide(folder);
    // The folder gets the DACL; everything below it loses its own entries and inherits it.
    const DWORD set = TreeResetNamedSecurityInfoW(widePath.data(), SE_FILE_OBJECT,
                                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                                  nullptr, nullptr, dacl, nullptr, FALSE, nullptr, ProgressInvokeNever,
                                                  nullptr);
    LocalFree(descriptor);
    if (set != ERROR_SUCCESS) throw MakeFailure(set);
}

}  // namespace quillbay::win32
