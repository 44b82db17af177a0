#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
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

// Seconds and nanoseconds since 1970 as 100 ns steps since 1601.
std::uint64_t FileTimeOf(const timespec& time) {
  constexpr std::int64_t kEpochDifference = 11644473600;  // seconds from 1601 to 1970
  const std::int64_t seconds = static_cast<std::int64_t>(time.tv_sec) + kEpochDifference;
  if (seconds < 0) return 0;
  return static_cast<std::uint64_t>(seconds) * 10000000u +
         static_cast<std::uint64_t>(time.tv_nsec) / 100u;
}

// The folder and last component of a native path.
void SplitPattern(const std::string& path, std::string* folder, std::string* leaf) {
  const std::size_t slash = path.rfind('/');
  *leaf = slash == std::string::npos ? path : path.substr(slash + 1);
  *folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

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
  std::string folder, leaf;
  SplitPattern(path, &folder, &leaf);
  if (!HasWildcard(leaf)) {
    struct stat info {};
    return !leaf.empty() && stat(path.c_str(), &info) == 0;
  }
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

std::vector<FoundFile> FindMatches(const WCHAR* pattern) {
  std::vector<FoundFile> found;
  const std::string path = NativePath(pattern);
  if (path.empty()) return found;
  std::string folder, leaf;
  SplitPattern(path, &folder, &leaf);
  if (leaf.empty()) return found;
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) return found;
  const std::u16string wideLeaf = DecodeNarrow(leaf, kCodePageUtf8);
  const std::string prefix = folder == "/" ? folder : folder + "/";
  while (const dirent* entry = readdir(dir.get())) {
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    std::u16string wideName = DecodeNarrow(name, kCodePageUtf8);
    if (!WildcardMatch(wideLeaf, wideName)) continue;
    FoundFile file;
    file.name = std::move(wideName);
    struct stat info {};
    if (stat((prefix + std::string(name)).c_str(), &info) == 0) {
      file.directory = S_ISDIR(info.st_mode);
      file.size = static_cast<std::uint64_t>(info.st_size);
      file.creationTime = FileTimeOf(info.st_ctim);
      file.accessTime = FileTimeOf(info.st_atim);
      file.writeTime = FileTimeOf(info.st_mtim);
    }
    found.push_back(std::move(file));
  }
  std::sort(found.begin(), found.end(),
            [](const FoundFile& a, const FoundFile& b) { return a.name < b.name; });
  return found;
}

}  // namespace plat
