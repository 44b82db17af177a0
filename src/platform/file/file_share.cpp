#include "platform/file/file_share.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdint>

namespace plat::detail {
namespace {

// Lock bytes at the top of the offset range, where no file data can be.
constexpr off_t kLockBase = INT64_MAX - 16;
enum LockByte : off_t { kReads = 0, kWrites = 1, kRefusesReads = 2, kRefusesWrites = 3 };

struct Claim {
  bool reads, writes, refusesReads, refusesWrites;
};

flock LockRecord(LockByte byte, short type) {
  flock record{};
  record.l_type = type;
  record.l_whence = SEEK_SET;
  record.l_start = kLockBase + byte;
  record.l_len = 1;
  return record;
}

enum class LockResult { kDone, kConflict, kUnsupported };

LockResult Mark(int fd, LockByte byte, FileAccess access) {
  // A shared lock needs a readable descriptor; a write-only one holds an exclusive lock,
  // which also conflicts with other marks on the same byte: POSIX record locks cannot mark
  // a write-only descriptor shared (docs/platform-files.md).
  flock record = LockRecord(byte, access == FileAccess::kWrite ? F_WRLCK : F_RDLCK);
  if (fcntl(fd, F_OFD_SETLK, &record) == 0) return LockResult::kDone;
  if (errno == EAGAIN || errno == EACCES) return LockResult::kConflict;
  return LockResult::kUnsupported;
}

// True when another open description holds any lock on the byte.
LockResult Probe(int fd, LockByte byte) {
  flock record = LockRecord(byte, F_WRLCK);
  if (fcntl(fd, F_OFD_GETLK, &record) != 0) return LockResult::kUnsupported;
  return record.l_type == F_UNLCK ? LockResult::kDone : LockResult::kConflict;
}

Claim ClaimFor(FileAccess access, unsigned share) {
  return Claim{access != FileAccess::kWrite, access != FileAccess::kRead, (share & kShareRead) == 0,
               (share & kShareWrite) == 0};
}

}  // namespace

bool ClaimShareMode(int fd, FileAccess access, unsigned share) {
  const Claim claim = ClaimFor(access, share);
  // Mark first, then look at the others: two racing opens may then both fail, but never
  // both succeed against each other's refusal.
  const struct {
    bool wanted;
    LockByte mark;
    LockByte opposite;
  } steps[] = {{claim.reads, kReads, kRefusesReads},
               {claim.writes, kWrites, kRefusesWrites},
               {claim.refusesReads, kRefusesReads, kReads},
               {claim.refusesWrites, kRefusesWrites, kWrites}};
  for (const auto& step : steps) {
    if (!step.wanted) continue;
    const LockResult r = Mark(fd, step.mark, access);
    if (r == LockResult::kUnsupported) return true;
    if (r == LockResult::kConflict) {
      errno = EBUSY;
      return false;
    }
  }
  for (const auto& step : steps) {
    if (!step.wanted) continue;
    const LockResult r = Probe(fd, step.opposite);
    if (r == LockResult::kUnsupported) return true;
    if (r == LockResult::kConflict) {
      errno = EBUSY;
      return false;
    }
  }
  return true;
}

}  // namespace plat::detail
