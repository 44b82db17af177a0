// Narrow/wide conversion over arbitrary bytes: decoding never fails or reads past the input,
// and decoding what was encoded from the decoded text is stable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/text/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int codePage = (data[0] & 1) ? plat::kCodePageWestern : plat::kCodePageSystem;
  const std::string narrow(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::u16string wide = plat::DecodeNarrow(narrow, codePage);
  const std::string again = plat::EncodeNarrow(wide, codePage);
  if (codePage == plat::kCodePageSystem && plat::DecodeNarrow(again, codePage) != wide)
    std::abort();

  // The same bytes read as UTF-16 units, lone surrogates included.
  std::u16string units(size / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  const std::string encoded = plat::EncodeNarrow(units, plat::kCodePageSystem);
  if (encoded.size() > 3 * units.size()) std::abort();
  plat::EncodeNarrow(units, plat::kCodePageWestern);
  return 0;
}
