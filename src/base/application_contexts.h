// The calling thread's list of application contexts (image banks), in creation order. The
// list is made when the thread's first bank joins it and freed when its last bank leaves.
//
// It is held by a plain thread_local pointer, not a thread_local object: objects with
// destructors are gone once a thread ends, and at exit the main thread's go before the
// program's static destructors run, which may still destroy banks.
#pragma once

#include <vector>

struct ImageBank;

namespace vexa {

// The list (empty when the thread has no bank).
const std::vector<ImageBank*>& ThreadApplicationContexts();

// Adds a bank at the end; false when memory runs out.
bool JoinThreadApplicationContexts(ImageBank* bank);

// Takes a bank out; the list is freed when it empties.
void LeaveThreadApplicationContexts(ImageBank* bank);

}  // namespace vexa
