// The bitmap filter plug-in through ImportImageFromStream on a memory stream.
#include "plugin_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return FuzzImport(data, size);
}
