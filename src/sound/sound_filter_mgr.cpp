#include <new>

#include <vexa/filter_manager.h>
#include <vexa/text.h>

namespace {

// FIXME(sound filters): the shared sound output registry is set up on the first load in the
// process and released when the last sound manager is freed. The registry lives with the sound
// output back-ends; until they land these two steps do nothing. Registry entries are table
// entries without a module (CFilterMgr::AddEntry).
void SetUpSoundOutputRegistry() {}
void ReleaseSoundOutputRegistry() {}

}  // namespace

CSoundFilterMgr::CSoundFilterMgr() = default;
CSoundFilterMgr::~CSoundFilterMgr() = default;

void CSoundFilterMgr::Destroy(unsigned flags) {
  this->CSoundFilterMgr::~CSoundFilterMgr();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
}

void CSoundFilterMgr::Free() {
  CFilterMgr::Free();
  ReleaseSoundOutputRegistry();
}

void CSoundFilterMgr::LoadFiltersW(const WCHAR* directory, std::uint32_t userValue) {
  LoadFiltersW(directory, u"*.sft", userValue);
  SetUpSoundOutputRegistry();
}

void CSoundFilterMgr::LoadFilters(const char* directory, std::uint32_t userValue) {
  WCHAR* wide = ConvertToWide(directory, -1);
  LoadFiltersW(wide, userValue);
  FreeConvertedString(wide);
}

CSoundFilterMgr* NewSoundFilterMgr() { return new (std::nothrow) CSoundFilterMgr; }
