#include "support/events.h"

#include "support/failure.h"

namespace quillbay {

EventRecord OutcomeEvent(Operation operation, Verdict verdict) {
    const int base = static_cast<int>(operation);
    switch (verdict) {
        case Verdict::Done: return {EventKind::Information, base};
        case Verdict::PartlyDone: return {EventKind::Warning, base + 1};
        case Verdict::NothingDone: break;
    }
    return {EventKind::Error, base + 2};
}

void WriteEvent(Machine& machine, EventRecord record, const std::string& text) {
    try {
        machine.events.Report(record.kind, record.id, text);
    } catch (const Failure& f) {
        machine.log.WriteErrorLog("EventLog", f.number(), "Event " + std::to_string(record.id) + " not written: " + f.description());
    }
}

}  // namespace quillbay
