// Steps that higher layers add to the end of an application context: the bank runs them
// first in DestroyImageBank, before it releases its own lists (windows go before images).
#pragma once

struct ImageBank;

namespace vexa {

using ContextTeardown = void (*)(ImageBank* context);

// When a step runs. Steps that stop readers of the context's data (sounds playing its list-1
// entries, music) come first, before anything of the context is destroyed.
enum class TeardownStage { kStopReaders = 0, kDestroy = 1 };

// Adds a step (once; a second registration of the same function is ignored).
void AddContextTeardown(ContextTeardown step, TeardownStage stage = TeardownStage::kDestroy);
// Runs every step, stage by stage, in registration order within a stage.
void RunContextTeardown(ImageBank* context);

}  // namespace vexa
