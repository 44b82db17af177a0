#include "platform/module/module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>

namespace plat {

std::string ModuleFileName() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&ModuleFileName), &info) || !info.dli_fname) return {};
  return info.dli_fname;
}

std::string ModuleDirectory() {
  const std::string path = ModuleFileName();
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

void* LoadModule(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

void* FindEntryPoint(void* module, const char* name) {
  return module ? dlsym(module, name) : nullptr;
}

void FreeModule(void* module) {
  if (module) dlclose(module);
}

namespace {

std::string MainProgramFileName() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

std::string ModuleFileNameOf(const void* module) {
  if (!module) return MainProgramFileName();
  link_map* map = nullptr;
  if (dlinfo(const_cast<void*>(module), RTLD_DI_LINKMAP, &map) != 0 || !map) return {};
  // The main program's own handle (dlopen of null) has an empty name.
  if (!map->l_name || !map->l_name[0]) return MainProgramFileName();
  return map->l_name;
}

std::string ResourceFilePath(const void* module, const char* type, long long id,
                             const char* extension) {
  constexpr long long kLastId = 0xFFFF;
  if (id < 1 || id > kLastId) return {};
  const std::string file = ModuleFileNameOf(module);
  if (file.empty()) return {};
  return file + ".res/" + type + "/" + std::to_string(id) + extension;
}

}  // namespace plat
