#pragma once
// How handlers show progress and failures.
#include <string>
#include <string_view>

#include "app/main.h"
#include "support/progress.h"
#include "support/verdict.h"

namespace quillbay::app {

// The program's title, the caption of the boxes that carry no title of their own.
inline constexpr const char* kAppTitle = "Quillbay";

// The box kind that shows a verdict: information when done, a warning when partly done, an
// error when nothing was done.
MsgStyle BoxFor(Verdict verdict);

// The status line, then one pass of the message loop so that the window repaints.
void ShowStatus(Main& m, const std::string& text);

// Shows the work's progress on the status line, in the language current at each step, and
// lets the window repaint and answer at every report.
class StatusProgress final : public Progress {
public:
    explicit StatusProgress(Main& m) : m_(m) {}
    void Report(const ProgressStep& step) override;

private:
    Main& m_;
    std::string last_;
};

// Inside a catch block: logs the failure under the handler's name and shows it in a
// critical box, the text of textKey (if any) followed by the failure's description.
void ReportFailure(Main& m, std::string_view procedure, std::string_view textKey, std::string_view titleKey) noexcept;

// Before a handler uses the program folder's files: a junction among them is refused; rights
// that let others change them are restricted on the administrator's Yes (No stops the
// handler); secrets others can read are logged. True when the handler may go on.
bool ProgramFolderUsable(Main& m, const char* procedure);

// A failure that no handler caught: logged and shown, and the program goes on.
void ReportUnhandled(Main& m, std::string_view procedure) noexcept;

}  // namespace quillbay::app
