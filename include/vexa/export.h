// Export control for libvexa. The library builds with hidden default visibility; only
// what is marked VEXA_API is exported, and the linker version script (generated from the
// ordinal table) keeps exactly the table's symbols.
#pragma once

#define VEXA_API __attribute__((visibility("default")))
