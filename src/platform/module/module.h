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

// Full path of the file of a loaded module: a LoadModule handle, or null for the main
// program. Empty when the loader cannot tell.
std::string ModuleFileNameOf(const void* module);

// Resources: programs and plug-ins here carry none inside their files. A module's resources
// are files beside it, <module file>.res/<type>/<id><extension>. The path for a numeric id
// (1-65535); empty for another id or when the module's file is unknown.
std::string ResourceFilePath(const void* module, const char* type, long long id,
                             const char* extension);

}  // namespace plat
