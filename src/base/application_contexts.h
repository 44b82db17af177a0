// The calling thread's list of application contexts (image banks), in creation order. The
// list is freed when the thread ends.
#pragma once

#include <vector>

struct ImageBank;

namespace vexa {

std::vector<ImageBank*>& ThreadApplicationContexts();

}  // namespace vexa
