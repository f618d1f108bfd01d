#include "common/state.h"

#include <algorithm>
#include <cwchar>

#include "common/text.h"

namespace sandbox {

std::wstring StateDirectory() {
    wchar_t buffer[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"ProgramData", buffer, MAX_PATH);
    std::wstring base = length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : L"C:\\ProgramData";
    return base + L"\\QuillbaySandbox";
}

std::wstring StatePath(std::wstring_view name) { return StateDirectory() + L"\\" + std::wstring(name); }

StateLock::StateLock() : mutex_(CreateMutexW(nullptr, FALSE, L"QuillbaySandboxState")) {
    // An abandoned mutex (a tool that died holding it) is still ours now.
    if (mutex_) WaitForSingleObject(mutex_, INFINITE);
}

StateLock::~StateLock() {
    if (mutex_) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
}

bool ReadFileBytes(const std::wstring& path, std::vector<unsigned char>& bytes, DWORD* error) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (error) *error = GetLastError();
        return false;
    }
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    bytes.assign(static_cast<size_t>(size.QuadPart), 0);
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!ReadFile(file, bytes.data() + done, want, &chunk, nullptr) || chunk == 0) {
            if (error) *error = GetLastError();
            CloseHandle(file);
            return false;
        }
        done += chunk;
    }
    CloseHandle(file);
    return true;
}

bool WriteFileBytes(const std::wstring& path, const void* data, size_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = size == 0 || (WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size);
    CloseHandle(file);
    return ok;
}

std::vector<Record> ReadRecords(const std::wstring& path) {
    std::vector<Record> records;
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path, bytes, nullptr)) return records;
    std::wstring text = Widen(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    for (const std::wstring& line : Split(text, L'\n')) {
        std::wstring_view view(line);
        if (!view.empty() && view.back() == L'\r') view.remove_suffix(1);
        if (view.empty() || view.front() == L'#') continue;
        records.push_back(SplitRecord(view));
    }
    return records;
}

bool WriteRecords(const std::wstring& path, const std::vector<Record>& records) {
    std::wstring text;
    for (const Record& record : records) text += JoinRecord(record) + L"\r\n";
    return ReplaceFileBytes(path, Narrow(text));
}

bool ReplaceFileBytes(const std::wstring& path, std::string_view bytes) {
    std::wstring temporary = path + L".new";
    if (!WriteFileBytes(temporary, bytes.data(), bytes.size())) return false;
    return MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool AppendRecord(const std::wstring& path, const Record& record) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string bytes = Narrow(JoinRecord(record) + L"\r\n");
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0;
    CloseHandle(file);
    return ok;
}

std::wstring Timestamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t text[32];
    swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

void LogInvocation(std::wstring_view tool, std::wstring_view rawCommandLine, DWORD exitCode) {
    CreateDirectories(StateDirectory());
    StateLock lock;
    AppendRecord(StatePath(L"invocations.log"),
                 {Timestamp(), std::wstring(tool), std::to_wstring(static_cast<long>(exitCode)),
                  std::wstring(rawCommandLine)});
}

bool HasFault(std::wstring_view tool, std::wstring_view fault) {
    for (const Record& record : ReadRecords(StatePath(L"faults.tsv")))
        if (record.size() >= 2 && record[0] == tool && record[1] == fault) return true;
    return false;
}

std::optional<std::wstring> FaultValue(std::wstring_view tool, std::wstring_view fault) {
    for (const Record& record : ReadRecords(StatePath(L"faults.tsv")))
        if (record.size() >= 3 && record[0] == tool && record[1] == fault) return record[2];
    return std::nullopt;
}

std::wstring SystemDirectory() {
    wchar_t buffer[MAX_PATH];
    UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    return std::wstring(buffer, length);
}

std::wstring InetsrvDirectory() { return SystemDirectory() + L"\\inetsrv"; }

std::wstring ModuleDirectory() {
    wchar_t buffer[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::wstring path(buffer, length);
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectories(const std::wstring& path) {
    if (path.empty() || DirectoryExists(path)) return true;
    size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 2) CreateDirectories(path.substr(0, slash));
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace sandbox
