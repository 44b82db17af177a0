// The library's own module: where libvexa.so was loaded from, and plug-in loading.
#pragma once

#include <string>

namespace plat {

// Full path of the shared object that contains this code (the library itself); empty if
// the loader cannot tell.
std::string ModuleFileName();

// Folder of ModuleFileName(), with a trailing '/'; plug-ins are looked for there.
std::string ModuleDirectory();

// dlopen/dlsym/dlclose; null on failure.
void* LoadModule(const std::string& path);
void* FindEntryPoint(void* module, const char* name);
void FreeModule(void* module);

}  // namespace plat
