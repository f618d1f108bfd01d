#pragma once
// The Application event log through advapi32: the source "Quillbay" is registered on first use
// with the running program as its message file (both programs carry the message table, each
// record's text being its one insertion string), so that Event Viewer shows whole sentences.
#include "support/ports.h"

namespace quillbay::win32 {

inline constexpr const wchar_t* kEventSourceKey = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quillbay";

class Win32EventLog : public EventLog {
public:
    void Report(EventKind kind, int id, const std::string& text) override;
};

}  // namespace quillbay::win32
