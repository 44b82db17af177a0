// The file names the buffered streams keep: copies of the name they opened, in the form
// they were given, plus the other form made on first request. A stored name also marks
// the stream as the owner of its handle.
#pragma once

#include <vexa/wintypes.h>

namespace vexa {

// New copies in library memory blocks; null for null or when memory runs out.
char* CopyName(const char* name);
WCHAR* CopyName(const WCHAR* name);

// The narrow name, converted from the wide one with the system code page and kept when
// only that is stored.
char* NarrowNameOf(char*& narrow, const WCHAR* wide);
// The wide name, converted from the narrow one with the system code page and kept when
// only that is stored.
WCHAR* WideNameOf(WCHAR*& wide, const char* narrow);

void FreeNames(char*& narrow, WCHAR*& wide);

// Runs the destructor of a stream and frees it when bit 0 of flags is set: the work of
// slot 0 of every stream class.
template <typename Stream>
void DestroyStream(Stream* stream, unsigned flags) {
  stream->Stream::~Stream();  // deliberately the static type: slot 0 is the virtual step
  if (flags & 1) ::operator delete(static_cast<void*>(stream));
}

}  // namespace vexa
