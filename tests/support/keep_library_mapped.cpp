// Plug-ins built for the tests link libvexa.so. Loading and freeing them would map and unmap
// the shared library in the test process, and its process-wide state (made at load, kept until
// the process ends) would then look leaked. A host keeps the library loaded; so does every test
// process, from its start.
#include <dlfcn.h>

namespace {

[[maybe_unused]] void* const kLibrary =
    dlopen(VEXA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);

}  // namespace
