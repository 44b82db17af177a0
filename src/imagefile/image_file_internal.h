// Helpers shared by the image file object and the import and export functions.
#pragma once

#include <vexa/filter_impl.h>
#include <vexa/image_file.h>

namespace vexa {

// After a successful header read: 0 when the filter reports an image the library accepts, 5
// for a size of 0 or less, 1 above kMaxImagePixels, 12 below 8 bits per pixel.
int CheckReportedImage(CFilterImpl* filter);

// Runs a wide-name operation on a narrow name converted with the library's code page;
// `fallback` when the conversion fails.
template <typename Result, typename Operation>
Result WithWideName(const char* name, Result fallback, Operation operation);

}  // namespace vexa

#include <vexa/text.h>

template <typename Result, typename Operation>
Result vexa::WithWideName(const char* name, Result fallback, Operation operation) {
  if (!name) return operation(static_cast<const WCHAR*>(nullptr));
  WCHAR* wide = ConvertToWide(name, -1);
  if (!wide) return fallback;
  const Result result = operation(wide);
  FreeConvertedString(wide);
  return result;
}
