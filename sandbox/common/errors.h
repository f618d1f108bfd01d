// Names and messages of the error codes the stand-ins report, as the platform tools print them
// (Wine's message tables lack several of them).
#pragma once

#include <string>
#include <string_view>

namespace sandbox {

constexpr long HResultFromWin32(unsigned long code) {
    return code == 0 ? 0 : static_cast<long>((code & 0xFFFF) | 0x80070000UL);
}

// A non-zero exit code written as hex ("0x80070005") or decimal, signed or not ("-2147024891").
bool ParseExitCode(std::wstring_view text, unsigned long& code);

// "0x80070002 (WIN32: 2 ERROR_FILE_NOT_FOUND)" or "0x80092009 (-2146885623 CRYPT_E_NO_MATCH)".
std::wstring DescribeHResult(long hr);
// "The system cannot find the file specified."
std::wstring HResultMessage(long hr);

}  // namespace sandbox
