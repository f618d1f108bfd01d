#pragma once
// Local time and its text in the user's regional format.
#include <windows.h>

#include <string>

#include "support/ports.h"

namespace quillbay::win32 {

// The user's short date, a blank, and the user's time format (which carries the seconds).
std::string FormatTimestamp(const SYSTEMTIME& localTime);

class Win32Clock : public Clock {
public:
    LocalTime Now() override;
    std::string TimestampText() override;
};

}  // namespace quillbay::win32
