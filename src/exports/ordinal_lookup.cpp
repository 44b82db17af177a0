#include <algorithm>

#include <vexa/exports.h>

#include "exports/ordinal_table.h"

namespace {

const vexa::OrdinalEntry* FindOrdinal(unsigned ordinal) {
  const vexa::OrdinalEntry* end = vexa::kOrdinalTable + vexa::kOrdinalCount;
  const vexa::OrdinalEntry* it = std::lower_bound(
      vexa::kOrdinalTable, end, ordinal,
      [](const vexa::OrdinalEntry& e, unsigned value) { return e.ordinal < value; });
  return (it != end && it->ordinal == ordinal) ? it : nullptr;
}

}  // namespace

extern "C" const void* GetExportByOrdinal(unsigned ordinal) {
  const vexa::OrdinalEntry* e = FindOrdinal(ordinal);
  return e ? e->address : nullptr;
}

extern "C" const char* GetExportNameByOrdinal(unsigned ordinal) {
  const vexa::OrdinalEntry* e = FindOrdinal(ordinal);
  return e ? e->symbol : nullptr;
}

extern "C" unsigned GetExportCount() { return vexa::kOrdinalCount; }
