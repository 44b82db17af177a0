// Where the test filter plug-ins and the library's own plug-ins are, and text helpers.
#pragma once

#include <dlfcn.h>

#include <string>

#include "platform/text/codepage.h"

namespace vexa::test {

// Plug-ins link libvexa.so. A host links it too, so it stays loaded; this test program links
// the library's objects instead, and libvexa.so would be loaded and unloaded with every scan
// (its process-wide state each time left behind). Keep it loaded for the whole run.
inline void* const kLibraryKeptLoaded =
    dlopen(VEXA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);

// A folder of test plug-ins built from tests/imagefile/plugins/ ("order", "preferred", ...).
inline std::string FilterDir(const std::string& name) {
  return std::string(VEXA_TEST_FILTER_DIR) + "/" + name;
}

// The folder of libvexa.so, where the library's own plug-ins are built.
inline std::string PluginDir() { return VEXA_PLUGIN_DIR; }

inline std::u16string Utf16(const std::string& text) {
  return plat::DecodeNarrow(text, plat::kCodePageUtf8);
}

}  // namespace vexa::test
