// Time and periodic events for the sound system's streaming refill.
//
// A periodic event calls its callback every `delayMs` milliseconds on a thread of its own
// until it is killed; KillEvent waits for a running call to end (never call it from the
// callback). In manual-clock mode (tests) no thread runs: AdvanceManualClock moves the clock
// and makes every due call on the caller's thread, so ticks happen exactly where a test says.
#pragma once

#include <cstdint>

namespace plat::timer {

using Callback = void (*)(void* user);

// Milliseconds since an arbitrary start (the manual clock's value in manual mode).
std::uint32_t TimeGetTime();

// Waits `ms` milliseconds; in manual mode it advances the manual clock instead (running the
// events that fall due), so code that sleeps can be tested without waiting.
void SleepMs(std::uint32_t ms);

// An identifier (non-zero), or 0 when the event cannot be created.
std::uint32_t SetEvent(std::uint32_t delayMs, std::uint32_t resolutionMs, Callback callback,
                       void* user);
void KillEvent(std::uint32_t id);
int LiveEvents();

// Manual clock for tests. Switching modes is only allowed while no event exists.
void UseManualClock(bool manual);
void AdvanceManualClock(std::uint32_t ms);
// The next `count` SetEvent calls fail.
void FailEventCreations(int count);

}  // namespace plat::timer
