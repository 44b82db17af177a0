// The sound system's process lock: guards the back-end registry, the manager and sound
// lists, the device and the timer state; every timer tick runs inside it.
#pragma once

#include "platform/thread/thread.h"

namespace vexa {

plat::CriticalSection& SoundProcessLock();

}  // namespace vexa
