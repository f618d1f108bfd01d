#pragma once
#include "app/main.h"

namespace quillbay::iis {

inline constexpr int kIIS8 = 8;

// Whether the installed IIS is version 8 or later: the registry first, then the product
// version of the IIS manager. Each finding is logged; nothing determined means false.
bool IsIIS8OrGreater(app::Main& m);

}  // namespace quillbay::iis
