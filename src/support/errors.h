#pragma once
// The platform's error numbers the program itself raises or tells apart. The adapters throw
// these (GetLastError's codes); the fakes of the tests throw the same.
#include <cstdint>

namespace quillbay {

inline constexpr std::int32_t kErrorFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
inline constexpr std::int32_t kErrorPathNotFound = 3;       // ERROR_PATH_NOT_FOUND
inline constexpr std::int32_t kErrorAccessDenied = 5;       // ERROR_ACCESS_DENIED
inline constexpr std::int32_t kErrorBadFormat = 11;         // ERROR_BAD_FORMAT
inline constexpr std::int32_t kErrorHandleEof = 38;         // ERROR_HANDLE_EOF: a file ended before what was read
inline constexpr std::int32_t kErrorFileExists = 80;        // ERROR_FILE_EXISTS
inline constexpr std::int32_t kErrorInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
inline constexpr std::int32_t kErrorAlreadyExists = 183;    // ERROR_ALREADY_EXISTS
inline constexpr std::int32_t kErrorNotFound = 1168;        // ERROR_NOT_FOUND: no such element
inline constexpr std::int32_t kErrorTimeout = 1460;         // ERROR_TIMEOUT: a tool ran past its time-out and was ended
// What the platform's chain check says of a certificate that is otherwise sound.
inline constexpr std::int32_t kCertExpired = -2146762495;    // CERT_E_EXPIRED
inline constexpr std::int32_t kCertNameMismatch = -2146762481;  // CERT_E_CN_NO_MATCH
// ERROR_FILE_NOT_FOUND as the HRESULT that COM and the tools report.
inline constexpr std::int32_t kHresultFileNotFound = -2147024894;  // 0x80070002

}  // namespace quillbay
