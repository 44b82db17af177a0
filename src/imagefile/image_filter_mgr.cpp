#include <new>

#include <vexa/filter_impl.h>
#include <vexa/filter_manager.h>
#include <vexa/text.h>

namespace {

// Image formats asked first, in this order, when their plug-ins are loaded.
constexpr std::uint32_t kPreferredFormats[] = {FilterID("PNG "), FilterID("BMP "),
                                               FilterID("JPEG")};

}  // namespace

CImageFilterMgr::CImageFilterMgr() = default;
CImageFilterMgr::~CImageFilterMgr() = default;

void CImageFilterMgr::Destroy(unsigned flags) {
  this->CImageFilterMgr::~CImageFilterMgr();
  if (flags & 1) ::operator delete(static_cast<void*>(this));
}

void CImageFilterMgr::Free() { CFilterMgr::Free(); }

void CImageFilterMgr::LoadFiltersW(const WCHAR* directory, std::uint32_t userValue) {
  LoadFiltersW(directory, u"*.ift", userValue);
  int front = 0;
  for (std::uint32_t id : kPreferredFormats) {
    const int index = GetFilterIndex(id);
    if (index < 0) continue;
    if (index != front) SwapEntries(index, front);
    ++front;
  }
}

void CImageFilterMgr::LoadFilters(const char* directory, std::uint32_t userValue) {
  WCHAR* wide = ConvertToWide(directory, -1);
  LoadFiltersW(wide, userValue);
  FreeConvertedString(wide);
}

int CImageFilterMgr::GetPremultiplyAlpha() const { return m_premultiply; }

int CImageFilterMgr::SetPremultiplyAlpha(int value) {
  const int previous = m_premultiply;
  m_premultiply = value;
  return previous;
}

CFilterImpl* CImageFilterMgr::CreateImageFilter(int index) {
  return static_cast<CFilterImpl*>(CreateFilter(index));
}

int CImageFilterMgr::FilterSupportsImages(int index) {
  CFilterImpl* filter = CreateImageFilter(index);
  if (!filter) return 0;
  const int answer = filter->SupportsImages();
  filter->Release();
  return answer;
}

int CImageFilterMgr::FilterSupportsAnimations(int index) {
  CFilterImpl* filter = CreateImageFilter(index);
  if (!filter) return 0;
  const int answer = filter->SupportsAnimations();
  filter->Release();
  return answer;
}

CImageFilterMgr* NewImageFilterMgr() { return new (std::nothrow) CImageFilterMgr; }
