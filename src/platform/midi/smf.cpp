#include "platform/midi/smf.h"

#include <algorithm>
#include <cstring>

namespace plat::midi {
namespace {

constexpr std::uint32_t kDefaultTempo = 500000;  // 120 quarters a minute

struct Reader {
  const std::uint8_t* p;
  std::size_t left;
  bool Byte(std::uint8_t* b) {
    if (!left) return false;
    *b = *p++, --left;
    return true;
  }
  bool Skip(std::size_t n) {
    if (n > left) return false;
    p += n, left -= n;
    return true;
  }
  bool VarLen(std::uint32_t* v) {
    *v = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t b;
      if (!Byte(&b)) return false;
      *v = (*v << 7) | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  }
};

std::uint32_t Be32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Data bytes of a channel message by its status.
int DataBytes(std::uint8_t status) {
  const int kind = status >> 4;
  return kind == 0xC || kind == 0xD ? 1 : 2;
}

bool ReadTrack(Reader r, std::uint64_t* lastTick, std::vector<TempoChange>* tempos) {
  std::uint64_t tick = 0;
  std::uint8_t running = 0;
  while (r.left) {
    std::uint32_t delta;
    if (!r.VarLen(&delta)) return false;
    tick += delta;
    std::uint8_t status;
    if (!r.Byte(&status)) return false;
    if (status == 0xFF) {
      std::uint8_t type;
      std::uint32_t length;
      if (!r.Byte(&type) || !r.VarLen(&length) || length > r.left) return false;
      if (type == 0x51 && length == 3) {
        const std::uint32_t tempo = std::uint32_t(r.p[0]) << 16 | r.p[1] << 8 | r.p[2];
        if (tempo) tempos->push_back({tick, tempo});
      }
      r.Skip(length);
      *lastTick = std::max(*lastTick, tick);
      if (type == 0x2F) return true;  // end of track
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {
      std::uint32_t length;
      if (!r.VarLen(&length) || !r.Skip(length)) return false;
      running = 0;
    } else if (status & 0x80) {
      if (status > 0xF0) return false;  // system real-time and common bytes have no place here
      running = status;
      if (!r.Skip(DataBytes(status))) return false;
    } else {
      if (!running) return false;
      if (!r.Skip(DataBytes(running) - 1)) return false;  // `status` was the first data byte
    }
    *lastTick = std::max(*lastTick, tick);
  }
  return true;  // a track without an end-of-track event ends with its chunk
}

}  // namespace

double SmfInfo::TickToMs(std::uint64_t tick) const {
  if (ticksPerQuarter == 0) {
    const double perSecond = double(smpteFramesPerSecond) * std::max(ticksPerFrame, 1);
    return perSecond > 0 ? double(tick) * 1000.0 / perSecond : 0.0;
  }
  double ms = 0;
  std::uint64_t at = 0;
  std::uint32_t tempo = kDefaultTempo;
  for (const TempoChange& t : tempoMap) {
    if (t.tick >= tick) break;
    ms += double(t.tick - at) * tempo / 1000.0 / ticksPerQuarter;
    at = t.tick, tempo = t.microsPerQuarter;
  }
  return ms + double(tick - at) * tempo / 1000.0 / ticksPerQuarter;
}

std::uint64_t SmfInfo::MsToTick(double ms) const {
  if (ms <= 0) return 0;
  if (ticksPerQuarter == 0) {
    return std::uint64_t(ms * smpteFramesPerSecond * std::max(ticksPerFrame, 1) / 1000.0);
  }
  std::uint64_t at = 0;
  double atMs = 0;
  std::uint32_t tempo = kDefaultTempo;
  for (const TempoChange& t : tempoMap) {
    const double nextMs = atMs + double(t.tick - at) * tempo / 1000.0 / ticksPerQuarter;
    if (nextMs > ms) break;
    at = t.tick, atMs = nextMs, tempo = t.microsPerQuarter;
  }
  return at + std::uint64_t((ms - atMs) * 1000.0 * ticksPerQuarter / tempo);
}

bool ReadSmf(const std::uint8_t* bytes, std::size_t size, SmfInfo* info) {
  if (!bytes || !info || size < 14 || std::memcmp(bytes, "MThd", 4) != 0) return false;
  const std::uint32_t headerLength = Be32(bytes + 4);
  if (headerLength < 6 || headerLength > size - 8) return false;
  SmfInfo out;
  out.format = bytes[8] << 8 | bytes[9];
  const int declaredTracks = bytes[10] << 8 | bytes[11];
  const int division = bytes[12] << 8 | bytes[13];
  if (out.format > 2 || declaredTracks == 0 || division == 0) return false;
  if (division & 0x8000) {
    out.smpteFramesPerSecond = -std::int8_t(division >> 8);
    out.ticksPerFrame = division & 0xFF;
    if (out.smpteFramesPerSecond <= 0 || out.ticksPerFrame == 0) return false;
  } else {
    out.ticksPerQuarter = division;
  }
  std::size_t at = 8 + std::size_t(headerLength);
  while (at + 8 <= size && out.tracks < declaredTracks) {
    const std::uint32_t length = Be32(bytes + at + 4);
    if (length > size - at - 8) return false;
    if (std::memcmp(bytes + at, "MTrk", 4) == 0) {
      std::vector<TempoChange> tempos;
      std::uint64_t last = 0;
      if (!ReadTrack(Reader{bytes + at + 8, length}, &last, &tempos)) return false;
      // Format 2 tracks are separate pieces played one after another.
      const std::uint64_t base = out.format == 2 ? out.lastTick : 0;
      for (TempoChange& t : tempos) t.tick += base;
      out.tempoMap.insert(out.tempoMap.end(), tempos.begin(), tempos.end());
      out.lastTick = std::max(out.lastTick, base + last);
      ++out.tracks;
    }
    at += 8 + std::size_t(length);
  }
  if (out.tracks == 0) return false;
  std::stable_sort(out.tempoMap.begin(), out.tempoMap.end(),
                   [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  *info = std::move(out);
  return true;
}

}  // namespace plat::midi
