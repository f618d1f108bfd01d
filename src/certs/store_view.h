#pragma once
// The platform's certificate manager, for a look at the machine's stores.
#include "support/machine.h"

namespace quillbay::certs {

// Which console opened the system certificate store.
enum class StoreConsole { LocalMachine, CurrentUser };

// Opens the local-computer certificate manager, or the general one when that cannot be
// started; reports the fallback through progress. Throws when neither starts.
StoreConsole OpenSystemStore(Machine& machine, Progress& progress);

}  // namespace quillbay::certs
