// The SSE2 parts of the row operations: four 32-bit or eight 16-bit pixels per step.
#include <cstdint>
#include <cstring>

#include "base/simd_sse2.h"
#include "pixels/kernels/effect_context.h"

namespace vexa {
namespace {
using Ops = Sse2;
}  // namespace
}  // namespace vexa

#include "pixels/kernels/vector_row_templates.h"

namespace vexa {

void InstallVectorRowsSse2(KernelSet& kernels) { InstallVectorFormats(kernels); }

}  // namespace vexa
