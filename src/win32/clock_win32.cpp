#include "win32/clock_win32.h"

#include "win32/text_win32.h"

namespace quillbay::win32 {

std::string FormatTimestamp(const SYSTEMTIME& localTime) {
    wchar_t date[128];
    wchar_t time[128];
    if (!GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &localTime, nullptr, date, 128, nullptr))
        ThrowLastError();
    if (!GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &localTime, nullptr, time, 128)) ThrowLastError();
    return WideToUtf8(date) + " " + WideToUtf8(time);
}

LocalTime Win32Clock::Now() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::string Win32Clock::TimestampText() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return FormatTimestamp(st);
}

std::int64_t UnixSeconds(const FILETIME& time) {
    constexpr std::int64_t kEpochDifference = 116444736000000000;  // 1601 to 1970 in 100 ns
    const std::int64_t ticks =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    const std::int64_t since = ticks - kEpochDifference;
    return since >= 0 ? since / 10000000 : -((-since + 9999999) / 10000000);
}

std::int64_t Win32Clock::UtcNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return UnixSeconds(now);
}

}  // namespace quillbay::win32
