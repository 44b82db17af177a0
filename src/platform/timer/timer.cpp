#include "platform/timer/timer.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace plat::timer {
namespace {

struct Event {
  std::uint32_t delay = 0;
  Callback callback = nullptr;
  void* user = nullptr;
  std::uint64_t due = 0;  // manual mode: clock value of the next call
  bool stop = false;
  std::condition_variable wake;
  std::thread thread;
};

struct Timers {
  std::mutex mutex;
  std::map<std::uint32_t, std::shared_ptr<Event>> events;
  std::uint32_t nextId = 1;
  bool manual = false;
  std::uint64_t manualClock = 0;
  int failCreations = 0;
};

Timers& State() {
  static Timers* timers = new Timers;  // outlives every static destructor
  return *timers;
}

void RunPeriodic(std::shared_ptr<Event> event) {
  const auto period = std::chrono::milliseconds(event->delay);
  auto next = std::chrono::steady_clock::now() + period;
  std::unique_lock lock(State().mutex);
  for (;;) {
    if (event->wake.wait_until(lock, next, [&] { return event->stop; })) return;
    lock.unlock();
    event->callback(event->user);
    lock.lock();
    next += period;
    // A callback that took longer than a period does not cause a burst of catch-up calls.
    const auto now = std::chrono::steady_clock::now();
    if (next < now) next = now;
  }
}

}  // namespace

std::uint32_t TimeGetTime() {
  {
    std::lock_guard lock(State().mutex);
    if (State().manual) return std::uint32_t(State().manualClock);
  }
  static const auto start = std::chrono::steady_clock::now();
  return std::uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count());
}

std::uint32_t SetEvent(std::uint32_t delayMs, std::uint32_t, Callback callback, void* user) {
  if (!callback || delayMs == 0) return 0;
  std::lock_guard lock(State().mutex);
  Timers& t = State();
  if (t.failCreations > 0) {
    --t.failCreations;
    return 0;
  }
  auto event = std::make_shared<Event>();
  event->delay = delayMs;
  event->callback = callback;
  event->user = user;
  event->due = t.manualClock + delayMs;
  std::uint32_t id = t.nextId++;
  if (id == 0) id = t.nextId++;
  if (!t.manual) event->thread = std::thread(RunPeriodic, event);
  t.events.emplace(id, std::move(event));
  return id;
}

void KillEvent(std::uint32_t id) {
  std::shared_ptr<Event> event;
  {
    std::lock_guard lock(State().mutex);
    auto it = State().events.find(id);
    if (it == State().events.end()) return;
    event = it->second;
    State().events.erase(it);
    event->stop = true;
  }
  event->wake.notify_all();
  if (event->thread.joinable()) event->thread.join();
}

int LiveEvents() {
  std::lock_guard lock(State().mutex);
  return int(State().events.size());
}

void UseManualClock(bool manual) {
  std::lock_guard lock(State().mutex);
  if (State().events.empty()) State().manual = manual;
}

void AdvanceManualClock(std::uint32_t ms) {
  std::unique_lock lock(State().mutex);
  Timers& t = State();
  if (!t.manual) return;
  const std::uint64_t target = t.manualClock + ms;
  for (;;) {
    // The earliest due event; ties go in creation order.
    std::shared_ptr<Event> next;
    for (auto& [id, event] : t.events) {
      if (event->due <= target && (!next || event->due < next->due)) next = event;
    }
    if (!next) break;
    t.manualClock = next->due;
    next->due += next->delay;
    lock.unlock();
    next->callback(next->user);
    lock.lock();
  }
  t.manualClock = target;
}

void FailEventCreations(int count) {
  std::lock_guard lock(State().mutex);
  State().failCreations = count;
}

}  // namespace plat::timer

namespace plat::timer {

void SleepMs(std::uint32_t ms) {
  bool manual;
  {
    std::lock_guard lock(State().mutex);
    manual = State().manual;
  }
  if (manual) {
    AdvanceManualClock(ms);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace plat::timer
