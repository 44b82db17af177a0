#include <algorithm>

#include "platform/file/file.h"
#include "platform/text/codepage.h"

namespace plat {

std::string NativePath(const WCHAR* path) {
  std::u16string_view wide;
  if (path) {
    std::size_t n = 0;
    while (path[n]) ++n;
    wide = std::u16string_view(path, n);
  }
  std::string native = EncodeNarrow(wide, kCodePageUtf8);
  std::replace(native.begin(), native.end(), '\\', '/');
  return native;
}

}  // namespace plat
