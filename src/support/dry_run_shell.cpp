#include "support/dry_run_shell.h"

#include "support/command_line.h"

namespace quillbay {

std::int32_t DryRunShell::Run(const std::string& commandLine, WindowStyle, bool) {
    lines_.push_back(secret_.empty() ? commandLine : Redact(commandLine, secret_));
    return 0;
}

}  // namespace quillbay
