#pragma once
// The two logs beside the program: log.txt and log-error.txt. Each call opens, appends
// one record and a separator, and closes; every failure is swallowed.
#include <cstdint>
#include <string>

#include "support/ports.h"

namespace quillbay {

class Log {
public:
    Log(FileSystem& fs, Host& host, Clock& clock) : fs_(fs), host_(host), clock_(clock) {}

    void WriteLog(const std::string& procedure, const std::string& message) noexcept;
    void WriteErrorLog(const std::string& procedure, std::int32_t number,
                       const std::string& description) noexcept;

    static constexpr const char* kSeparator = "----------------------------------------";

private:
    void Append(const char* fileName, const std::string& record) noexcept;

    FileSystem& fs_;
    Host& host_;
    Clock& clock_;
};

}  // namespace quillbay
