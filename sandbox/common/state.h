// Where the simulated host keeps its state, and how the tools read and write it. Every file is
// UTF-8 text with CR LF line ends, one escaped tab-separated record a line (see text.h), so that a
// person can read it and a later tool version can add record kinds without breaking older ones.
//
//   %ProgramData%\QuillbaySandbox, holding:
//     iis.tsv            sites, bindings, modules, rewrite rules (appcmd)
//     certs.tsv          certificate stores: store, thumbprint, has key, subject (certutil)
//     certs\<SHA1>.cer   the DER encoding of each stored certificate
//     certs\<SHA1>.pfx   an imported PFX and its password (.password) for the front
//     http.tsv           HTTP.sys certificate bindings (netsh)
//     services.tsv       IIS restart counter and service state (iisreset)
//     iisreset.log       one time-stamped record per iisreset action
//     invocations.log    every tool invocation: time, tool, exit code, raw command line
//     faults.tsv         faults injected into a tool until the next seed: tool, fault
//     mirrored.tsv       what certutil added to the platform's own stores (system_stores.h)
//     host-roots.pem, trusted-roots.pem
//                        the roots Wine trusts, when the host arranges it (system_stores.cpp)
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sandbox {

using Record = std::vector<std::wstring>;

std::wstring StateDirectory();
std::wstring StatePath(std::wstring_view name);

// Serialises access to the state between processes (the host's tools can run concurrently:
// chain imports are launched without waiting).
class StateLock {
public:
    StateLock();
    ~StateLock();
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;

private:
    HANDLE mutex_;
};

std::vector<Record> ReadRecords(const std::wstring& path);
// Replaces the file through a temporary file, so that a reader never sees half of it.
bool WriteRecords(const std::wstring& path, const std::vector<Record>& records);
bool AppendRecord(const std::wstring& path, const Record& record);

std::wstring Timestamp();

// One line in invocations.log; the caller masks secrets in the raw line first.
void LogInvocation(std::wstring_view tool, std::wstring_view rawCommandLine, DWORD exitCode);

// Whether sbx seed injected this fault into this tool (faults.tsv).
bool HasFault(std::wstring_view tool, std::wstring_view fault);
// The value that goes with an injected fault ("tool fault value" records); none when not injected.
std::optional<std::wstring> FaultValue(std::wstring_view tool, std::wstring_view fault);

std::wstring SystemDirectory();
std::wstring InetsrvDirectory();
std::wstring ModuleDirectory();

bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);
bool CreateDirectories(const std::wstring& path);

// Reads a whole file; on failure returns false with the Win32 error in *error.
bool ReadFileBytes(const std::wstring& path, std::vector<unsigned char>& bytes, DWORD* error);
bool WriteFileBytes(const std::wstring& path, const void* data, size_t size);
// Replaces the file through a temporary file beside it, so that a reader never sees half of it.
bool ReplaceFileBytes(const std::wstring& path, std::string_view bytes);

}  // namespace sandbox
