#include "base/context_teardown.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace vexa {
namespace {

std::mutex& StepsLock() {
  static std::mutex lock;
  return lock;
}
std::vector<ContextTeardown>& Steps() {
  static std::vector<ContextTeardown> steps;
  return steps;
}

}  // namespace

void AddContextTeardown(ContextTeardown step) {
  if (!step) return;
  std::lock_guard<std::mutex> guard(StepsLock());
  auto& steps = Steps();
  if (std::find(steps.begin(), steps.end(), step) == steps.end()) steps.push_back(step);
}

void RunContextTeardown(ImageBank* context) {
  std::vector<ContextTeardown> steps;
  {
    std::lock_guard<std::mutex> guard(StepsLock());
    steps = Steps();
  }
  for (ContextTeardown step : steps) step(context);
}

}  // namespace vexa
