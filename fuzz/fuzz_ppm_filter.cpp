// The PPM filter plug-in over a memory stream: recognition, header, and a read at an output
// depth chosen by the first input byte. Malformed files must give an error code, never a
// crash, a hang or a huge allocation.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <vexa/filter_impl.h>
#include <vexa/filter_plugin.h>
#include <vexa/stream.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const int kDepths[] = {8, 15, 16, 24, 32};
  const int depth = kDepths[data[0] % 5];
  CInputMemFile input;
  input.Create(data + 1, static_cast<int>(size - 1));
  if (!CanReadFile(&input)) return 0;
  input.Seek(0, kStreamSeekStart);
  auto* filter = static_cast<CFilterImpl*>(CreateFilter(0));
  if (!filter) return 0;
  if (filter->BeginRead(&input) == 0) {
    // A grey palette for 8-bit output of colour files; the file's own for grey ones.
    LOGPALETTE256 grey{0x300, 256, {}};
    for (int i = 0; i < 256; ++i) grey.palPalEntry[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
    const LOGPALETTE* target =
        filter->GetPalette() ? filter->GetPalette() : reinterpret_cast<LOGPALETTE*>(&grey);
    if (filter->SetOutputFormat(depth, depth == 8 ? target : nullptr) == 0) {
      const int pitch = (filter->GetWidth() * ((depth + 1) / 8) + 3) & ~3;
      std::vector<BYTE> pixels(static_cast<std::size_t>(pitch) * filter->GetHeight());
      filter->ReadImage(&input, pixels.data(), pitch, nullptr, 0);
    }
  }
  filter->Release();
  return 0;
}
