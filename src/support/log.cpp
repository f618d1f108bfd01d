#include "support/log.h"

#include "support/paths.h"

namespace quillbay {

void Log::WriteLog(const std::string& procedure, const std::string& message) noexcept {
    std::string ts;
    try {
        ts = clock_.TimestampText();
    } catch (...) {
    }
    Append("log.txt", "[" + ts + "] 在过程 '" + procedure + "' 记录: " + message);
}

void Log::WriteErrorLog(const std::string& procedure, std::int32_t number,
                        const std::string& description) noexcept {
    std::string ts;
    try {
        ts = clock_.TimestampText();
    } catch (...) {
    }
    Append("log-error.txt", "[" + ts + "] 在过程 '" + procedure + "' 中发生错误: " + description +
                                " (代码: " + std::to_string(number) + ")");
}

void Log::Append(const char* fileName, const std::string& record) noexcept {
    try {
        std::string folder = host_.AppFolder();
        fs_.AppendText(JoinPath(folder, fileName), record + "\r\n" + kSeparator + "\r\n");
    } catch (...) {
        // A lost record must never disturb the caller.
    }
}

}  // namespace quillbay
