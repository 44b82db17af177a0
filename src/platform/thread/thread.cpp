#include "platform/thread/thread.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace plat {

std::uint32_t CurrentThreadId() {
  thread_local const auto id = static_cast<std::uint32_t>(syscall(SYS_gettid));
  return id;
}

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }

// Asked of the kernel each time: after fork() the calling thread keeps the id it had (the
// cached one) but is the main thread of the new process.
bool IsMainThread() { return syscall(SYS_gettid) == getpid(); }

}  // namespace plat
