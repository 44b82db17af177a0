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
struct Step {
  ContextTeardown run;
  TeardownStage stage;
};

// Kept in running order: by stage, then by registration.
std::vector<Step>& Steps() {
  static std::vector<Step> steps;
  return steps;
}

}  // namespace

void AddContextTeardown(ContextTeardown step, TeardownStage stage) {
  if (!step) return;
  std::lock_guard<std::mutex> guard(StepsLock());
  auto& steps = Steps();
  if (std::any_of(steps.begin(), steps.end(), [step](const Step& s) { return s.run == step; })) {
    return;
  }
  const auto after =
      std::find_if(steps.begin(), steps.end(), [stage](const Step& s) { return s.stage > stage; });
  steps.insert(after, Step{step, stage});
}

void RunContextTeardown(ImageBank* context) {
  std::vector<Step> steps;
  {
    std::lock_guard<std::mutex> guard(StepsLock());
    steps = Steps();
  }
  for (const Step& step : steps) step.run(context);
}

}  // namespace vexa
