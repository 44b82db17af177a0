// The bank as the application context: creation, destruction, its format and palette.
#include <vexa/image_bank.h>

#include <algorithm>
#include <new>

#include <vexa/library.h>
#include <vexa/memory.h>
#include <vexa/palette.h>
#include <vexa/surface_object.h>

#include "bank/bank_internal.h"
#include "bank/bank_list.h"
#include "bank/bank_sound_hooks.h"
#include "bank/driver_surface_cache.h"
#include "bank/image_layout.h"
#include "base/application_contexts.h"
#include "base/context_teardown.h"
#include "frame/driver_loader.h"
#include "pixels/pixel_format.h"

namespace vexa {
namespace {

// The format word a bank stores for a requested one.
std::uint16_t NormaliseFormatWord(int requested) {
  auto word = static_cast<std::uint16_t>(requested);
  int mode = word & kBankFormatMask;
  if (mode == 0) mode = GetScreenModeCode();
  if (!IsStoredMode(mode)) mode = kMode8;
  // Driver bits stay when the driver they ask for is available.
  const int driver = DriverOfBankFormat(word);
  word &= static_cast<std::uint16_t>(~kBankFormatMask);
  if (!driver || !LoadDisplayDriver(driver)) word &= static_cast<std::uint16_t>(~kBankDriverBits);
  return static_cast<std::uint16_t>(word | mode);
}

void TakePalette(ImageBank& bank, const LOGPALETTE* source) {
  bank.palette = source ? CreatePaletteObject(source) : GetDefaultPalette();
  // A bank's palette always has 256 entries: its mode is that of 8-bit pixels.
  bank.paletteMode = bank.palette ? kMode8 : kPaletteModeNone;
}

void DeleteSurfaceObjectPointer(cSurfaceObject** object) {
  if (*object) ::DeleteSurfaceObject(*object);
  *object = nullptr;
}

void ReleaseBankResources(ImageBank& bank) {
  FreeList(&bank, kListImages);
  for (int list = 0; list < kBankListCount; ++list) FreeList(&bank, list);
  for (cSurfaceObject*& page : bank.atlasPages) DeleteSurfaceObjectPointer(&page);
  DeleteSurfaceObjectPointer(&bank.workSurface);
  FreeFontSubstitutes(bank);
  if (bank.palette) ReleasePalette(bank.palette);
  bank.palette = nullptr;
  bank.paletteMode = kPaletteModeNone;
}

}  // namespace

bool RebuildWorkSurface(ImageBank& bank) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, DepthOfMode(BankMode(bank)), kTypeMemory, kDriverNone);
  cSurfaceObject* surface = NewSurfaceObject();
  if (!surface) return false;
  if (!prototype || !surface->Create(1, 1, prototype)) {
    ::DeleteSurfaceObject(surface);
    return false;
  }
  if (surface->GetDepth() == 8 && bank.palette) surface->SetPalette(bank.palette, 0);
  DeleteSurfaceObjectPointer(&bank.workSurface);
  bank.workSurface = surface;
  return true;
}

}  // namespace vexa

using namespace vexa;

ImageBank* CreateImageBank(std::uint32_t ownerValue, const LOGPALETTE* paletteSource) {
  void* block = nullptr;
  if (!AllocBlockZero(&block, sizeof(ImageBank))) return nullptr;
  auto* bank = new (block) ImageBank{};
  bank->ownerValue = ownerValue;
  bank->formatWord = NormaliseFormatWord(0);
  bank->frameTime = BankClockMs();
  InitBankSoundState(*bank);
  TakePalette(*bank, paletteSource);
  if (!RebuildWorkSurface(*bank) || !JoinThreadApplicationContexts(bank)) {
    ReleaseBankResources(*bank);
    FreeBlockAndClear(&block);
    return nullptr;
  }
  return bank;
}

void DestroyImageBank(ImageBank* bank) {
  if (!bank || bank->destroying) return;
  bank->destroying = 1;
  bank->settingWord |= kBankSettingDestroying;
  // Higher layers' steps: the channels' sounds, which read the bank's entries, stop and the
  // music closes first; then windows and the like go, before the bank's own lists.
  RunContextTeardown(bank);
  ReleaseBankResources(*bank);
  LeaveThreadApplicationContexts(bank);
  void* block = bank;
  FreeBlockAndClear(&block);
}

int SetImageBankFormat(ImageBank* bank, int formatWord) {
  if (!bank) return 0;
  const std::uint16_t old = bank->formatWord;
  bank->formatWord = NormaliseFormatWord(formatWord);
  // The work surface follows the bank's depth; if it cannot be remade the old one stays.
  if (BankMode(*bank) != (old & kBankFormatMask)) RebuildWorkSurface(*bank);
  return bank->formatWord;
}

int GetPaletteMode(ImageBank* bank) {
  return bank ? static_cast<int>(bank->paletteMode) : static_cast<int>(kPaletteModeNone);
}
