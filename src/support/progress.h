#pragma once
// How a long piece of work tells its caller where it is: the status key of each step (a
// key of the language tables), with a count where the step has one. The window shows the
// text and repaints; the console program prints it.
#include <string>
#include <string_view>
#include <vector>

namespace quillbay {

// A piece of a status after its key's text: plain text (a site name), or another key's text.
struct StatusPiece {
    std::string text;
    bool isKey = false;
};

struct ProgressStep {
    std::string_view statusKey;
    int done = -1;  // with total: "done of total"; -1 when the step has no count
    int total = -1;
    std::vector<StatusPiece> pieces = {};
};

class Progress {
public:
    virtual ~Progress() = default;
    virtual void Report(const ProgressStep& step) = 0;
};

}  // namespace quillbay
