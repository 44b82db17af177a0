// Steps that higher layers add to the end of an application context: the bank runs them
// first in DestroyImageBank, before it releases its own lists (windows go before images).
#pragma once

struct ImageBank;

namespace vexa {

using ContextTeardown = void (*)(ImageBank* context);

// Adds a step (once; a second registration of the same function is ignored).
void AddContextTeardown(ContextTeardown step);
// Runs every step, in registration order.
void RunContextTeardown(ImageBank* context);

}  // namespace vexa
