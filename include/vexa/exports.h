// Binding to the library by number.
//
// Callers that bind by ordinal look the library up once with dlopen/dlsym of
// "GetExportByOrdinal" and ask it for every other entry point.
#pragma once

#include <vexa/export.h>

extern "C" {
// Address of the export with this ordinal, or null when the number is not assigned.
VEXA_API const void* GetExportByOrdinal(unsigned ordinal);
// Linker name of the export with this ordinal, or null.
VEXA_API const char* GetExportNameByOrdinal(unsigned ordinal);
// Number of assigned ordinals.
VEXA_API unsigned GetExportCount();
}
