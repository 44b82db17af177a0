// The table that binds every export of the library to its fixed number.
//
// The rows are generated from src/exports/list/*.list (scripts/exports.py) and sorted by
// ordinal. An ordinal, once assigned, is never changed or reused.
#pragma once

namespace vexa {

struct OrdinalEntry {
  unsigned ordinal;
  const char* symbol;  // the symbol's linker name (mangled for C++ entry points)
  const void* address;
};

extern const OrdinalEntry kOrdinalTable[];
extern const unsigned kOrdinalCount;

}  // namespace vexa
