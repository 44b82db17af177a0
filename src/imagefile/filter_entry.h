// Helpers on filter table entries shared by the manager's files.
#pragma once

#include <vexa/filter_manager.h>

namespace vexa {

// Releases the entry's plug-in (when it has one), its path and the strings it owns, then the
// entry block itself. The plug-in's own strings are left alone.
void DestroyFilterEntry(FilterEntry* entry);

// Frees only the blocks an entry owns (path and owned strings), not the entry or its module.
void FreeFilterEntryBlocks(const FilterEntry& entry);

}  // namespace vexa
