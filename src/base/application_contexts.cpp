#include "base/application_contexts.h"

#include <algorithm>
#include <new>

namespace vexa {
namespace {

thread_local std::vector<ImageBank*>* tContexts = nullptr;

}  // namespace

const std::vector<ImageBank*>& ThreadApplicationContexts() {
  static const auto* const kNone = new std::vector<ImageBank*>;  // never destroyed either
  return tContexts ? *tContexts : *kNone;
}

bool JoinThreadApplicationContexts(ImageBank* bank) {
  try {
    if (!tContexts) tContexts = new std::vector<ImageBank*>;
    tContexts->push_back(bank);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void LeaveThreadApplicationContexts(ImageBank* bank) {
  if (!tContexts) return;
  tContexts->erase(std::remove(tContexts->begin(), tContexts->end(), bank), tContexts->end());
  if (!tContexts->empty()) return;
  delete tContexts;
  tContexts = nullptr;
}

}  // namespace vexa
