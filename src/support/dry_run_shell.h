#pragma once
// A shell for a dry run: queries run (they change nothing and tell what a command would meet);
// every other command line is kept, with a secret masked, and answered as if it had succeeded.
#include <string>
#include <vector>

#include "support/ports.h"

namespace quillbay {

class DryRunShell final : public Shell {
public:
    DryRunShell(Shell& real, std::string secret) : real_(real), secret_(std::move(secret)) {}
    std::int32_t Run(const std::string& commandLine, WindowStyle style, bool wait) override;
    Captured RunAndCapture(const std::string& commandLine) override { return real_.RunAndCapture(commandLine); }
    Captured RunTool(const std::string& commandLine) override { return {Run(commandLine, WindowStyle::Hidden, true), ""}; }
    std::string RegRead(const std::string& valuePath) override { return real_.RegRead(valuePath); }
    bool RegKeyExists(const std::string& keyPath) override { return real_.RegKeyExists(keyPath); }
    bool RegValueExists(const std::string& valuePath) override { return real_.RegValueExists(valuePath); }

    // The command lines that would have run, in order.
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    Shell& real_;
    std::string secret_;
    std::vector<std::string> lines_;
};

}  // namespace quillbay
