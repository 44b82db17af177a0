#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "platform/file/file.h"
#include "platform/text/codepage.h"

namespace plat {
namespace {

bool HasWildcard(std::string_view text) { return text.find_first_of("*?") != text.npos; }

// Matches '*' and '?' by backtracking to the last star: linear in practice, never
// exponential.
bool MatchUnits(std::u16string_view pattern, std::u16string_view name) {
  std::size_t p = 0, n = 0, starP = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
      ++p, ++n;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++, starN = n;
    } else if (starP != std::u16string_view::npos) {
      p = starP + 1, n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool WildcardMatch(std::u16string_view pattern, std::u16string_view name) {
  if (MatchUnits(pattern, name)) return true;
  // "name.*" also finds "name", the way the platform's directory search does.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == u".*") {
    return MatchUnits(pattern.substr(0, pattern.size() - 2), name);
  }
  return false;
}

bool FindFirstMatch(const WCHAR* pattern) {
  const std::string path = NativePath(pattern);
  if (path.empty()) return false;
  const std::size_t slash = path.rfind('/');
  const std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!HasWildcard(leaf)) {
    struct stat info {};
    return !leaf.empty() && stat(path.c_str(), &info) == 0;
  }
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) return false;
  const std::u16string wideLeaf = DecodeNarrow(leaf, kCodePageUtf8);
  while (const dirent* entry = readdir(dir.get())) {
    const std::string_view name(entry->d_name);
    // The folder's own links are not search results.
    if (name == "." || name == "..") continue;
    if (WildcardMatch(wideLeaf, DecodeNarrow(name, kCodePageUtf8))) return true;
  }
  return false;
}

}  // namespace plat
