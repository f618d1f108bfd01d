#include "cli/console.h"

#include "lang/store.h"

namespace quillbay::cli {

using lang::GetLangString;

void ConsoleProgress::Report(const ProgressStep& step) {
    std::string text = GetLangString(step.statusKey);
    if (step.done >= 0)
        text += std::to_string(step.done) + GetLangString(std::string(step.statusKey) + "_Of") + std::to_string(step.total);
    for (const StatusPiece& piece : step.pieces) text += piece.isKey ? GetLangString(piece.text) : piece.text;
    if (text.empty() || (step.done < 0 && text == last_)) return;
    console_.Err(text + "\r\n");
    last_ = std::move(text);
}

}  // namespace quillbay::cli
