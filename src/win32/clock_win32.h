#pragma once
// Local time and its text in the user's regional format.
#include <windows.h>

#include <string>

#include "support/ports.h"

namespace quillbay::win32 {

// The user's short date, a blank, and the user's time format (which carries the seconds).
std::string FormatTimestamp(const SYSTEMTIME& localTime);
// A FILETIME (100 ns since 1601 UTC) as seconds since 1970 UTC, rounded down.
std::int64_t UnixSeconds(const FILETIME& time);

class Win32Clock : public Clock {
public:
    LocalTime Now() override;
    std::string TimestampText() override;
    std::int64_t UtcNow() override;
};

}  // namespace quillbay::win32
