// The narrow open-file record carried over to a wide one and results carried back, with
// arbitrary filter lists (missing terminators, odd lengths), buffer contents without nulls and
// buffer sizes of every kind. Buffers are allocated at exactly their stated sizes, so a read or
// write past one is caught; a refused result must leave the narrow buffers as they were.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "imagefile/image_dialog_narrow.h"
#include "platform/dialog/dialog.h"

namespace {

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t Take(std::size_t n, const std::uint8_t** out) {
    n = std::min(n, size);
    *out = data;
    data += n;
    size -= n;
    return n;
  }
  unsigned Byte() {
    const std::uint8_t* at;
    return Take(1, &at) ? *at : 0;
  }
};

// A buffer of exactly size bytes holding the next bytes of the input (not null-ended).
std::unique_ptr<char[]> Buffer(Reader& in, std::size_t size) {
  auto buffer = std::make_unique<char[]>(size ? size : 1);
  const std::uint8_t* bytes;
  const std::size_t n = in.Take(size, &bytes);
  std::memcpy(buffer.get(), bytes, n);
  return buffer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in{data, size};
  const unsigned flags = in.Byte();
  const DWORD maxFile = in.Byte() | (in.Byte() << 8 & 0x300);
  const DWORD maxTitle = in.Byte() % 64;
  const DWORD maxCustom = in.Byte() % 96;
  // The filter list: some bytes, then the double null its contract promises.
  const std::uint8_t* filterBytes;
  const std::size_t filterLength = in.Take(in.Byte(), &filterBytes);
  std::string filter(reinterpret_cast<const char*>(filterBytes), filterLength);
  filter += std::string(2, '\0');

  std::unique_ptr<char[]> file = Buffer(in, maxFile);
  std::unique_ptr<char[]> title = Buffer(in, maxTitle);
  std::unique_ptr<char[]> custom = Buffer(in, maxCustom);
  OPENFILENAMEA narrow{};
  narrow.Flags = (flags & 1) ? OFN_ALLOWMULTISELECT : 0;
  narrow.lpstrFilter = (flags & 2) ? filter.c_str() : nullptr;
  narrow.lpstrFile = (flags & 4) ? file.get() : nullptr;
  narrow.nMaxFile = maxFile;
  narrow.lpstrFileTitle = (flags & 8) ? title.get() : nullptr;
  narrow.nMaxFileTitle = maxTitle;
  narrow.lpstrCustomFilter = (flags & 16) ? custom.get() : nullptr;
  narrow.nMaxCustFilter = maxCustom;
  narrow.lpstrTitle = (flags & 32) ? "t\xC3\xAFtle" : nullptr;

  vexa::WideFileRecord wide;
  vexa::WidenFileRecord(narrow, &wide);
  const OPENFILENAMEW& record = wide.record;
  // Every wide buffer has the narrow one's size and ends with a null within it.
  if (record.lpstrFile && (wide.file.size() != maxFile || (maxFile && wide.file.back() != 0)))
    std::abort();
  if (record.lpstrCustomFilter && maxCustom && wide.customFilter.back() != 0) std::abort();
  plat::ParseFilterList(record.lpstrFilter);

  // A result of the input's remaining bytes, read as UTF-16 units, ending within the buffer.
  if (!record.lpstrFile || maxFile == 0) return 0;
  const std::size_t units = std::min<std::size_t>(in.size / 2, maxFile - 1);
  for (std::size_t i = 0; i < units; ++i) {
    wide.file[i] = static_cast<WCHAR>(in.data[2 * i] | in.data[2 * i + 1] << 8);
  }
  std::fill(wide.file.begin() + static_cast<std::ptrdiff_t>(units), wide.file.end(), u'\0');
  const std::string before(file.get(), maxFile);
  const std::string titleBefore(title.get(), maxTitle);
  if (!vexa::NarrowFileResults(wide, &narrow)) {
    if (std::string(file.get(), maxFile) != before) std::abort();
    if (std::string(title.get(), maxTitle) != titleBefore) std::abort();
  } else if (std::find(file.get(), file.get() + maxFile, '\0') == file.get() + maxFile) {
    std::abort();  // a result without its null
  }
  return 0;
}
