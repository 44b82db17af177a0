#include <new>

#include <vexa/stream.h>

CInputBufFile* NewInputBufFile() { return new (std::nothrow) CInputBufFile(); }

CInputMemFile* NewInputMemFile() { return new (std::nothrow) CInputMemFile(); }
