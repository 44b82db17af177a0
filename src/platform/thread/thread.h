// Threads, locks and identifiers as the library frame uses them.
#pragma once

#include <cstdint>
#include <mutex>

namespace plat {

// A re-entrant lock: the owning thread may enter it again, like the library lock it backs.
class CriticalSection {
 public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }

 private:
  std::recursive_mutex mutex_;
};

class CriticalSectionGuard {
 public:
  explicit CriticalSectionGuard(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~CriticalSectionGuard() { cs_.Leave(); }
  CriticalSectionGuard(const CriticalSectionGuard&) = delete;
  CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

 private:
  CriticalSection& cs_;
};

// The kernel's thread id of the calling thread (unique among live threads of the system),
// taken when the thread first asks. After fork() the thread that forked keeps the id it had
// in the parent: the library's records of registered threads go on naming it.
std::uint32_t CurrentThreadId();
std::uint32_t CurrentProcessId();
// True on the process's main thread.
bool IsMainThread();

}  // namespace plat
