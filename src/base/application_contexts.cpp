#include "base/application_contexts.h"

namespace vexa {

std::vector<ImageBank*>& ThreadApplicationContexts() {
  thread_local std::vector<ImageBank*> contexts;
  return contexts;
}

}  // namespace vexa
