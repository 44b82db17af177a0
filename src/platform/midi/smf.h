// A bounds-checked reader of standard MIDI files: it validates the header and every track's
// events and builds the tempo map, so that positions can be turned into milliseconds and the
// length of a piece is known before it plays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat::midi {

struct TempoChange {
  std::uint64_t tick;
  std::uint32_t microsPerQuarter;
};

struct SmfInfo {
  int format = 0;
  int tracks = 0;
  int ticksPerQuarter = 0;       // 0 with SMPTE timing
  int smpteFramesPerSecond = 0;  // with SMPTE timing
  int ticksPerFrame = 0;
  std::uint64_t lastTick = 0;         // of the latest event of any track
  std::vector<TempoChange> tempoMap;  // sorted by tick, starting at tick 0

  // Milliseconds from the start to `tick`, and the ticks of a time (the inverse).
  double TickToMs(std::uint64_t tick) const;
  std::uint64_t MsToTick(double ms) const;
  double LengthMs() const { return TickToMs(lastTick); }
};

// False for anything that is not a well-formed file: a bad header, a track chunk running past
// the end, an event cut short, a variable-length number over four bytes, data bytes with no
// running status. Unknown chunks are skipped.
bool ReadSmf(const std::uint8_t* bytes, std::size_t size, SmfInfo* info);

}  // namespace plat::midi
