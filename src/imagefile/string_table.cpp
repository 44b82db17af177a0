#include "imagefile/string_table.h"

#include <iterator>

namespace vexa {
namespace {

struct LibraryString {
  UINT id;
  const char16_t* text;
};

// Filled by the services that show text (file dialogs, messages); sorted by id.
constexpr LibraryString kStrings[] = {
    {0, nullptr},  // no string 0
};

}  // namespace

const char16_t* FindLibraryString(UINT id) {
  for (const LibraryString& entry : kStrings) {
    if (entry.id == id) return entry.text;
  }
  return nullptr;
}

}  // namespace vexa
