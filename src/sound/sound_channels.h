// The bank's sample channels, seen from the sound layer that owns the sounds in them.
#pragma once

class CSound;

namespace vexa {

// Clears every channel of every bank that holds `sound` (the sound is being destroyed).
void ForgetSoundInChannels(CSound* sound);

}  // namespace vexa
