// Emulation of the platform's sharing modes with open-file-description (OFD) locks.
//
// Every open marks, on four lock bytes far past any real data, what it does (reads,
// writes) and what it refuses others (reading, writing). An open fails when one of its
// access kinds is refused by another open or when it refuses what another open does.
// The locks are advisory: they bind every open made through this layer, in this and any
// other process, but not programs that open the file by other means.
#pragma once

#include "platform/file/file.h"

namespace plat::detail {

// Marks the open and checks it against the others; false (errno EBUSY) when sharing
// refuses it. File systems without OFD locks accept every open.
bool ClaimShareMode(int fd, FileAccess access, unsigned share);

}  // namespace plat::detail
