#pragma once
// Where the console program writes: results to standard output, progress and warnings to
// standard error, so that a reader of --json gets the document alone.
#include <string>
#include <string_view>

#include "support/progress.h"

namespace quillbay::cli {

class Console {
public:
    virtual ~Console() = default;
    // UTF-8 text, written as it is (line ends included).
    virtual void Out(std::string_view text) = 0;
    virtual void Err(std::string_view text) = 0;
};

// The work's status steps as lines on standard error, in the current language; a step
// repeated without a count is written once.
class ConsoleProgress final : public Progress {
public:
    explicit ConsoleProgress(Console& console) : console_(console) {}
    void Report(const ProgressStep& step) override;

private:
    Console& console_;
    std::string last_;
};

}  // namespace quillbay::cli
