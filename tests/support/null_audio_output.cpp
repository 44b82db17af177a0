// The tests play through the null audio output: nothing is heard and the mixer runs only when a
// test pumps it. Tests of the SDL output select it for their own duration.
#include "platform/audio/audio.h"

namespace {

[[maybe_unused]] const bool kNullOutput =
    (plat::audio::SelectOutput(plat::audio::Output::kNull), true);

}  // namespace
