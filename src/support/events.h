#pragma once
// What the Application event log gets from Quillbay: one record per outcome of an import, a
// deployment, a renewal and an inventory that needs attention, under stable IDs that
// monitoring can watch for (the README lists them).
#include <string>

#include "support/machine.h"
#include "support/verdict.h"

namespace quillbay {

enum class Operation { Import = 1000, Deploy = 2000, Renew = 3000, Status = 4000 };

// The operation's ID plus 0 for done (information), 1 for partly done (warning), 2 for nothing
// done (error); a renewal that put an endpoint back is ID 3003 (warning); an inventory that
// needs attention 4001 (warning), one that could not be taken 4002 (error).
inline constexpr int kRenewRolledBack = 3003;

struct EventRecord {
    EventKind kind = EventKind::Information;
    int id = 0;
};
EventRecord OutcomeEvent(Operation operation, Verdict verdict);

// Writes the record; a log that cannot be written is noted in log-error.txt and stops nothing.
void WriteEvent(Machine& machine, EventRecord record, const std::string& text);

}  // namespace quillbay
