#pragma once
// How a piece of work ended, judged once by the work: the window shows it as the kind of its
// box, the console program as its exit code.
namespace quillbay {

enum class Verdict {
    Done,         // everything asked for was done
    PartlyDone,   // something was done and something failed
    NothingDone,  // refused before any change, or nothing succeeded
};

}  // namespace quillbay
