// Row conversion with fuzzed palettes (0-256 entries), depths and rows: SetOutputFormat then
// ConvertRow must stay inside the row and the palette blocks.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <vexa/filter_impl.h>

namespace {

class FuzzFilter final : public CFilterImpl {
 public:
  void Release() override { delete this; }
  std::uint32_t GetID() override { return 0; }
  int Reserved4() override { return 0; }
  int CanReadFile(CInputFile*) override { return 0; }
  int BeginRead(CInputFile*) override { return 0; }
  int ReadImage(CInputFile*, BYTE*, int, BYTE*, int) override { return 0; }
};

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  int Byte() { return at < size ? data[at++] : 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int kDepths[] = {1, 4, 8, 15, 16, 24, 32, 7};
  Reader in{data, size};
  FuzzFilter filter;
  filter.depth = kDepths[in.Byte() % 8];
  const int outputDepth = kDepths[in.Byte() % 8];
  const int sourceCount = in.Byte() | (in.Byte() & 1) << 8;  // 0..511: above 256 is refused
  if (filter.CreatePalette(sourceCount) && sourceCount <= 256) {
    auto* entries = reinterpret_cast<LOGPALETTE256*>(filter.palette)->palPalEntry;
    for (int i = 0; i < sourceCount; ++i) {
      entries[i] = {BYTE(in.Byte()), BYTE(in.Byte()), BYTE(in.Byte()), 0};
    }
  }
  LOGPALETTE256 target{0x300, 0, {}};
  target.palNumEntries = static_cast<WORD>(in.Byte() | (in.Byte() & 1) << 8);
  for (int i = 0; i < 256 && i < target.palNumEntries; ++i) {
    target.palPalEntry[i] = {BYTE(in.Byte()), BYTE(in.Byte()), BYTE(in.Byte()), 0};
  }
  const bool ownPalette = in.Byte() & 1;
  const LOGPALETTE* wanted =
      ownPalette && filter.palette ? filter.palette : reinterpret_cast<LOGPALETTE*>(&target);
  if (filter.SetOutputFormat(outputDepth, wanted) != 0) return 0;
  // Rows of the remaining bytes, converted twice (the second time with a warm cache).
  const int width = static_cast<int>((size - in.at) / 4);
  std::vector<BYTE> source(data + in.at, data + size);
  std::vector<BYTE> out(static_cast<std::size_t>(width) * 4 + 1);
  filter.ConvertRow(out.data(), source.data(), width);
  filter.ConvertRow(out.data(), source.data(), width);
  return 0;
}
