// The library's own string table: texts its dialogs and messages show, by number.
#pragma once

#include <vexa/wintypes.h>

namespace vexa {

// The text of string id, or null when the table has none.
const char16_t* FindLibraryString(UINT id);

}  // namespace vexa
