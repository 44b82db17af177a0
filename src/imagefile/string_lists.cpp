#include "imagefile/string_lists.h"

#include <cstring>
#include <string>
#include <vector>

#include <vexa/memory.h>
#include <vexa/text.h>

#include "platform/text/codepage.h"

namespace vexa {
namespace {

int Resolve(int codePage) { return codePage == -1 ? GetLibraryCodePage() : codePage; }

// Lays the converted strings out after their pointer array in one block.
template <typename Char>
const Char* const* PackList(const std::vector<std::basic_string<Char>>& strings) {
  const std::size_t pointerBytes = (strings.size() + 1) * sizeof(Char*);
  std::size_t size = pointerBytes;
  for (const auto& s : strings) size += (s.size() + 1) * sizeof(Char);
  void* block = nullptr;
  if (!AllocBlock(&block, size)) return nullptr;
  auto* pointers = static_cast<Char**>(block);
  auto* text = reinterpret_cast<Char*>(static_cast<char*>(block) + pointerBytes);
  for (std::size_t i = 0; i < strings.size(); ++i) {
    pointers[i] = text;
    std::memcpy(text, strings[i].c_str(), (strings[i].size() + 1) * sizeof(Char));
    text += strings[i].size() + 1;
  }
  pointers[strings.size()] = nullptr;
  return pointers;
}

}  // namespace

const char* const kEmptyNarrowList[1] = {nullptr};
const WCHAR* const kEmptyWideList[1] = {nullptr};

const WCHAR* const* ConvertListToWide(const char* const* list, int codePage) {
  if (!list) return nullptr;
  std::vector<std::u16string> strings;
  for (const char* const* s = list; *s; ++s) {
    strings.push_back(plat::DecodeNarrow(*s, Resolve(codePage)));
  }
  return PackList(strings);
}

const char* const* ConvertListToNarrow(const WCHAR* const* list, int codePage) {
  if (!list) return nullptr;
  std::vector<std::string> strings;
  for (const WCHAR* const* s = list; *s; ++s) {
    strings.push_back(plat::EncodeNarrow(std::u16string_view(*s), Resolve(codePage)));
  }
  return PackList(strings);
}

}  // namespace vexa
