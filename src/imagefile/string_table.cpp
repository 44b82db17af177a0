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
    {100, u"Image files"},           {101, u"Animation files"}, {102, u"Graphic files"},
    {103, u"All files (*.*)|*.*||"}, {104, u"%s files (%s)"},   {105, u"Unknown format"},
};

}  // namespace

const char16_t* FindLibraryString(UINT id) {
  for (const LibraryString& entry : kStrings) {
    if (entry.id == id) return entry.text;
  }
  return nullptr;
}

}  // namespace vexa
