#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "platform/file/file.h"
#include "platform/text/codepage.h"

namespace plat {

bool IsRegularOrMissing(const WCHAR* path) {
  struct stat info {};
  if (stat(NativePath(path).c_str(), &info) != 0) return true;
  return S_ISREG(info.st_mode);
}

std::u16string TemporaryBeside(const WCHAR* path) {
  static std::atomic<unsigned> counter{0};
  std::u16string name = path ? path : u"";
  const std::string suffix =
      ".vexa-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
  name += DecodeNarrow(suffix, kCodePageUtf8);
  return name;
}

bool ReplaceFile(const WCHAR* from, const WCHAR* to) {
  return rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

bool RemoveFile(const WCHAR* path) { return unlink(NativePath(path).c_str()) == 0; }

}  // namespace plat
