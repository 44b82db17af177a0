// Where the test filter plug-ins and the library's own plug-ins are, and text helpers.
#pragma once

#include <string>

#include "platform/text/codepage.h"

namespace vexa::test {

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
