#include "bank/checked_run_length.h"

#include <cstdint>
#include <mutex>

namespace vexa {
namespace {

struct Checked {
  const BankEntryHeader* entry = nullptr;
  std::uint32_t dataSize = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint32_t format = 0;
  std::uint32_t flags = 0;

  bool Matches(const ImageEntryHeader& image) const {
    return entry == &image.entry && dataSize == image.entry.dataSize && width == image.width &&
           height == image.height && format == image.format && flags == image.flags;
  }
};

constexpr std::size_t kSlots = 1024;  // a power of two
std::mutex gLock;
Checked gChecked[kSlots];

Checked& SlotOf(const BankEntryHeader* entry) {
  // Entry blocks are at least 16-byte aligned: the low bits carry nothing.
  const auto bits = reinterpret_cast<std::uintptr_t>(entry) >> 4;
  return gChecked[(bits ^ (bits >> 10)) & (kSlots - 1)];
}

}  // namespace

bool RunLengthEntryChecked(const ImageEntryHeader& image) {
  const std::lock_guard<std::mutex> hold(gLock);
  return SlotOf(&image.entry).Matches(image);
}

void RememberRunLengthEntry(const ImageEntryHeader& image) {
  const std::lock_guard<std::mutex> hold(gLock);
  SlotOf(&image.entry) = Checked{&image.entry, image.entry.dataSize, image.width,
                                 image.height, image.format,         image.flags};
}

void ForgetRunLengthEntry(const BankEntryHeader* entry) {
  if (!entry) return;
  const std::lock_guard<std::mutex> hold(gLock);
  Checked& slot = SlotOf(entry);
  if (slot.entry == entry) slot = Checked{};
}

}  // namespace vexa
