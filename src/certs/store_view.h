#pragma once
// Chain > View System Store: opens the platform's certificate manager.
#include "app/main.h"

namespace quillbay::certs {

// Tries the local-computer manager, then the general one; tells the user when neither starts.
void mnuChainViewSystemStore_Click(app::Main& m);

}  // namespace quillbay::certs
