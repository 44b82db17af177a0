// Byte streams and plain file functions.
//
// CInputFile and COutputFile are the abstract reading and writing streams every part of the
// library uses. CInputBufFile reads a file through a 16384-byte buffer, optionally limited
// to a range of the file; CInputMemFile reads a block of memory. COutputBufFile writes a
// file through a buffer of the caller's size; COutputMemFile writes into a memory block
// that grows in steps, or into the caller's block of fixed size.
//
// The order of the virtual operations is part of the interface (callers and plug-ins call
// through the table by slot). Slot 0 is Destroy(flags): it runs the object's destructor and,
// when bit 0 of flags is set, frees the object. Heap streams are released with Delete (or
// Destroy(1) for output streams), never with the delete operator.
//
// Every fallible operation returns a result code (kStreamOk or one of the codes below).
// Positions and sizes are 32-bit signed byte counts. Streams cannot be copied. The private
// helpers are not part of the exported interface.
#pragma once

#include <vexa/export.h>
#include <vexa/wintypes.h>

// Result codes.
inline constexpr int kStreamOk = 0;
inline constexpr int kStreamOutOfMemory = 0x40000000;
inline constexpr int kStreamReadError = 0x40000001;
inline constexpr int kStreamEndOfFile = 0x40000002;  // fewer bytes available than asked
inline constexpr int kStreamWriteError = 0x40000003;
inline constexpr int kStreamDiskFull = 0x40000004;  // also: fewer bytes written than asked
inline constexpr int kStreamCannotOpen = 0x40000005;
inline constexpr int kStreamCannotCreate = 0x40000006;
inline constexpr int kStreamMemoryFull = 0x40000007;  // a fixed-size memory stream is full
inline constexpr int kStreamNoBuffer = 0x40000009;    // also: compression failed

// Seek origins.
inline constexpr int kStreamSeekStart = 0;
inline constexpr int kStreamSeekCurrent = 1;
inline constexpr int kStreamSeekEnd = 2;

// The buffer of CInputBufFile, and the chunk size of its large direct reads.
inline constexpr int kStreamBufferSize = 0x4000;

class VEXA_API CInputFile {
 public:
  CInputFile() = default;
  CInputFile(const CInputFile&) = delete;
  CInputFile& operator=(const CInputFile&) = delete;

  virtual void Destroy(unsigned flags) = 0;                  // slot 0
  virtual void Delete();                                     // 1: Destroy(1)
  virtual int Read(void* buffer, int size, int* count) = 0;  // 2: count = bytes delivered
  virtual int ReadExact(void* buffer, int size) = 0;         // 3
  virtual int ReadByte(BYTE* value) = 0;                     // 4
  virtual int ReadWord(WORD* value);                         // 5: little-endian
  virtual int ReadDWord(DWORD* value);                       // 6
  virtual int ReadWordBE(WORD* value);                       // 7: big-endian
  virtual int ReadDWordBE(DWORD* value);                     // 8
  virtual int ReadInt(LONG* value);                          // 9
  virtual int ReadIntBE(LONG* value);                        // 10
  virtual int ReadWords(WORD* values, int count);            // 11
  virtual int ReadDWords(DWORD* values, int count);          // 12
  virtual int ReadInts(LONG* values, int count);             // 13
  virtual int ReadWordsBE(WORD* values, int count);          // 14
  virtual int ReadDWordsBE(DWORD* values, int count);        // 15
  virtual int ReadIntsBE(LONG* values, int count);           // 16
  virtual int Tell() = 0;                                    // 17: from the range's start
  virtual int GetSize() = 0;                                 // 18: size of the readable range
  virtual int Seek(int offset, int origin) = 0;              // 19: the new position
  virtual int Attach(HFILE file) = 0;                        // 20
  virtual HFILE Detach() = 0;                                // 21
  virtual void* ReadAlloc(int size) = 0;                     // 22
  virtual void FreeAlloc(void* block) = 0;                   // 23
  virtual char* GetFileName() = 0;                           // 24
  virtual WCHAR* GetFileNameW() = 0;                         // 25

 protected:
  ~CInputFile() = default;
};

// Reads a file through a 16384-byte buffer. Large reads bypass the buffer in 16384-byte
// chunks. A stream opened by name owns its handle and closes it; one given a handle does not.
class VEXA_API CInputBufFile : public CInputFile {
 public:
  CInputBufFile() = default;
  ~CInputBufFile();

  // Open by name (read access, read sharing), optionally limited to length bytes from start
  // (length 0: no limit). 0x40000005 when the file cannot be opened.
  int Create(const char* name);
  int Create(const char* name, int start, int length);
  int Create(const WCHAR* name);
  int Create(const WCHAR* name, int start, int length);
  // Reads the range of a handle the caller keeps; the handle is moved to start.
  int Create(HFILE file, int start, int length);

  void Destroy(unsigned flags) override;
  int Read(void* buffer, int size, int* count) override;
  int ReadExact(void* buffer, int size) override;
  int ReadByte(BYTE* value) override;
  int Tell() override;
  int GetSize() override;
  int Seek(int offset, int origin) override;
  int Attach(HFILE file) override;
  HFILE Detach() override;
  void* ReadAlloc(int size) override;
  void FreeAlloc(void* block) override;
  char* GetFileName() override;
  WCHAR* GetFileNameW() override;

 protected:
  HFILE m_file = kInvalidFile;
  int m_position = 0;  // absolute file offset of the next byte the caller receives
  BYTE* m_buffer = nullptr;
  BYTE* m_cursor = nullptr;  // next unread byte in the buffer
  int m_buffered = 0;        // unread bytes from m_cursor on
  WCHAR* m_nameW = nullptr;  // a stored name means the stream owns m_file
  char* m_name = nullptr;
  int m_start = 0;   // absolute offset of the range's first byte
  int m_length = 0;  // bytes in the range; 0 = no limit

 private:
  [[gnu::visibility("hidden")]] int OpenNarrow(const char* name, int start, int length,
                                               bool ranged);
  [[gnu::visibility("hidden")]] int OpenByName(const WCHAR* name, const char* narrowName, int start,
                                               int length, bool ranged);
  [[gnu::visibility("hidden")]] int AttachRange(HFILE file, int start, int length);
  [[gnu::visibility("hidden")]] int FillBuffer(int want);
  [[gnu::visibility("hidden")]] int ReadChunk(BYTE* destination, int want);
  [[gnu::visibility("hidden")]] int LimitOf(int want) const;
  [[gnu::visibility("hidden")]] std::int64_t RangeEnd() const;
  [[gnu::visibility("hidden")]] void EmptyBuffer();
  [[gnu::visibility("hidden")]] void Release();
};

// Reads a block of memory, the caller's or its own.
class VEXA_API CInputMemFile : public CInputFile {
 public:
  CInputMemFile() = default;
  ~CInputMemFile();

  // Reads the caller's block (not owned).
  int Create(const void* data, int size);
  // Allocates an owned block of size bytes for the caller to fill through GetBuffer.
  int Create(int size);
  BYTE* GetBuffer();

  void Destroy(unsigned flags) override;
  int Read(void* buffer, int size, int* count) override;
  int ReadExact(void* buffer, int size) override;
  int ReadByte(BYTE* value) override;
  int Tell() override;
  int GetSize() override;
  int Seek(int offset, int origin) override;
  int Attach(HFILE file) override;
  HFILE Detach() override;
  // A pointer into the block at the cursor; the bytes are skipped. Null for 0 or more
  // bytes than remain. FreeAlloc does nothing.
  void* ReadAlloc(int size) override;
  void FreeAlloc(void* block) override;
  char* GetFileName() override;
  WCHAR* GetFileNameW() override;

 protected:
  BYTE* m_base = nullptr;
  BYTE* m_cursor = nullptr;
  int m_position = 0;
  int m_remaining = 0;
  BOOL m_owned = 0;

 private:
  [[gnu::visibility("hidden")]] void Release();
};

class VEXA_API COutputFile {
 public:
  // Out of line: the class has no key function, and an inline constructor would make every
  // file that creates an output stream emit its table under some build options.
  COutputFile();
  COutputFile(const COutputFile&) = delete;
  COutputFile& operator=(const COutputFile&) = delete;

  virtual void Destroy(unsigned flags) = 0;           // slot 0
  virtual int Write(const void* data, int size) = 0;  // 1
  virtual int Flush() = 0;                            // 2
  virtual int GetSize() = 0;                          // 3
  virtual int Tell() = 0;                             // 4
  virtual int Seek(int offset, int origin) = 0;       // 5: the new position
  virtual char* GetFileName() = 0;                    // 6
  virtual WCHAR* GetFileNameW() = 0;                  // 7

 protected:
  ~COutputFile() = default;
};

// Writes a file, collecting writes in a buffer while the stream writes at the file's end.
class VEXA_API COutputBufFile : public COutputFile {
 public:
  COutputBufFile() = default;
  ~COutputBufFile();  // writes what is buffered; closes the handle if opened by name

  // Creates or truncates the file (read and write access, no sharing); 0x40000006 when it
  // cannot be created. A buffer size of 0, or a buffer that cannot be allocated, makes the
  // stream write straight to the file.
  int Create(const char* name, int bufferSize);
  int Create(const WCHAR* name, int bufferSize);
  // Writes to a handle the caller keeps.
  int Create(HFILE file, int bufferSize);

  void Destroy(unsigned flags) override;
  int Write(const void* data, int size) override;
  int Flush() override;
  int GetSize() override;
  int Tell() override;
  int Seek(int offset, int origin) override;
  char* GetFileName() override;
  WCHAR* GetFileNameW() override;

 protected:
  HFILE m_file = kInvalidFile;
  WCHAR* m_nameW = nullptr;
  BYTE* m_buffer = nullptr;
  BYTE* m_cursor = nullptr;
  int m_buffered = 0;  // bytes waiting in the buffer
  int m_bufferSize = 0;
  BOOL m_buffering = 0;  // 1 while writes are collected in the buffer
  char* m_name = nullptr;

 private:
  [[gnu::visibility("hidden")]] int AttachHandle(HFILE file, int bufferSize);
  [[gnu::visibility("hidden")]] int WriteThrough(const void* data, int size);
  [[gnu::visibility("hidden")]] void Release();
};

// Writes into a memory block: an owned block that grows in multiples of its step, or the
// caller's block of fixed size.
class VEXA_API COutputMemFile : public COutputFile {
 public:
  COutputMemFile() = default;
  ~COutputMemFile();

  // An owned, growable block of initialSize bytes; the growth step becomes initialSize
  // (512 when initialSize is 0).
  int Create(int initialSize);
  // The caller's block of size bytes; writes past it fail with 0x40000007.
  int Create(void* data, int size);
  BYTE* GetBuffer();

  // For the library's producers that write in place (InflateStream): the free bytes after
  // the cursor in the caller's fixed block (0 for a growable one), and the move of the cursor
  // past `size` bytes written there, with the effect of a Write of those bytes.
  [[gnu::visibility("hidden")]] BYTE* FixedRoom(int* room);
  [[gnu::visibility("hidden")]] void Commit(int size);

  void Destroy(unsigned flags) override;
  int Write(const void* data, int size) override;
  int Flush() override;
  int GetSize() override;
  int Tell() override;
  int Seek(int offset, int origin) override;
  char* GetFileName() override;
  WCHAR* GetFileNameW() override;

 protected:
  BYTE* m_base = nullptr;
  BYTE* m_cursor = nullptr;
  int m_capacity = 0;
  int m_size = 0;  // the highest position ever written
  int m_step = 512;
  BOOL m_growable = 0;  // 1 when the stream owns the block and may reallocate it

 private:
  [[gnu::visibility("hidden")]] int Grow(std::int64_t needed);
  [[gnu::visibility("hidden")]] void Release();
};

// New empty input streams on the heap (null when memory runs out); release with Delete.
VEXA_API CInputBufFile* NewInputBufFile();
VEXA_API CInputMemFile* NewInputMemFile();

// ---- plain file functions over raw handles ----------------------------------------------

VEXA_API BOOL CloseFile(HFILE file);
// Creates or truncates a file for reading and writing, no sharing; -1 on failure.
VEXA_API HFILE CreateNewFile(const char* name);
VEXA_API HFILE CreateNewFileW(const WCHAR* name);
// 1 when a directory search finds the name; the last component may hold '*' and '?'.
VEXA_API BOOL FileExists(const char* name);
VEXA_API BOOL FileExistsW(const WCHAR* name);
// Mode exactly 1: writing, no sharing. Exactly 2: reading and writing. Any other value:
// reading. Sharing (not for mode 1): bit 0x10 none; else bit 0x40 reading and writing; else
// bit 0x20 none; else reading. -1 on failure.
VEXA_API HFILE OpenExistingFile(const char* name, int mode);
VEXA_API HFILE OpenExistingFileW(const WCHAR* name, int mode);

// Offsets are -1 on failure (and for files whose offsets do not fit 32 bits).
VEXA_API int GetFileLength(HFILE file);  // the current offset is kept
VEXA_API int GetFilePosition(HFILE file);
VEXA_API int SeekFileStart(HFILE file, int distance);
VEXA_API int SeekFileCurrent(HFILE file, int distance);
VEXA_API int SeekFileEnd(HFILE file, int distance);

// 0, 0x40000002 when fewer bytes came, 0x40000001 on other failures.
VEXA_API int ReadFileExact(HFILE file, void* buffer, int size);
// Bytes read, or -1 on failure.
VEXA_API int ReadFileRaw(HFILE file, void* buffer, int size);
// 0, 0x40000004 when fewer bytes were written or the disk is full, 0x40000003 otherwise.
VEXA_API int WriteFileExact(HFILE file, const void* data, int size);

// Read a length field (32-bit or 16-bit little-endian) and then that many bytes into a new
// memory block (vexa/memory.h: release with FreeBlockAndClear). ReadSizedString16 adds a
// zero byte after the text. 0x40000002 when the length field or the data is short, or when
// the length exceeds what the file still holds (nothing is allocated then); 0x40000001 on
// other read failures; 0x40000000 when memory runs out. On failure *block is null.
VEXA_API int ReadSizedBlock(HFILE file, void** block);
VEXA_API int ReadSizedBlock16(HFILE file, void** block);
VEXA_API int ReadSizedString16(HFILE file, char** text);
