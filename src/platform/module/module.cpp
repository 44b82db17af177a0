#include "platform/module/module.h"

#include <dlfcn.h>

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

}  // namespace plat
