// Finding the sound filter that reads a stream, and the process back-end.
#pragma once

#include <vexa/filter_manager.h>
#include <vexa/sound.h>
#include <vexa/sound_filter.h>

namespace vexa {

// Over the manager's table in order: each plug-in that recognises the stream creates a filter
// and opens it; the first that opens is returned, its output format set to its native one,
// with *module holding its plug-in loaded (FreeModule it after releasing the filter). The
// stream position is put back after every test and every failed open. Null when none opens.
CSoundFilter* CreateSoundFilterForStream(CSoundFilterMgr* filters, CInputFile* stream,
                                         void** module);

// The process back-end (null before the first sound filter manager load); process lock.
CSoundAPI* SoundBackEnd();

}  // namespace vexa
