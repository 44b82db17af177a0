// Process attach and detach: the shared object's constructor and destructor.
#include "frame/cpu_features.h"

namespace {

__attribute__((constructor)) void OnProcessAttach() {
  vexa::SetLibraryCpuFeatureWord(vexa::ProbeCpuFeatureWord());
}

}  // namespace
