// Image import and export through filter plug-ins.
//
// CImageFile binds one image filter object (filter_impl.h), made by a CImageFilterMgr, to one
// input or output stream and checks every call before handing it to the filter. The plain
// functions below do whole jobs for the host: identify a file, read its palette, load it into
// a surface (creating or resizing the surface as needed), save a surface, or step through the
// frames of an animated file. Narrow-name forms convert the name with the library's code page.
//
// Saving to a named file writes a temporary file beside it and renames it over the target
// only when everything was written, so a failed save keeps the old file (files that are not
// regular, such as devices, are written in place). A named animation is committed by Close.
#pragma once

#include <cstdint>

#include <vexa/export.h>
#include <vexa/wintypes.h>

class CImageFilterMgr;
class CFilterImpl;
class CInputFile;
class COutputFile;
class cSurfaceObject;

// CImageFile results (0 is success).
inline constexpr int kImageOk = 0;
inline constexpr int kImageNoMemory = 1;  // also: an image above 2^28 pixels
inline constexpr int kImageCannotOpen = 2;
inline constexpr int kImageCannotCreate = 3;  // also: a write, flush or close failed
inline constexpr int kImageUnknownFormat = 5;
inline constexpr int kImageNoStream = 7;
inline constexpr int kImageNotSupported = 8;
inline constexpr int kImageNothingOpen = 9;
inline constexpr int kImageBadDepth = 10;
inline constexpr int kImageDepthBelow8 = 12;
inline constexpr int kImageSizeDiffers = 13;
inline constexpr int kImageBadArgument = 14;
inline constexpr int kImageNoFilter = 15;
inline constexpr int kImageAlreadyOpen = 17;

// Load flags.
inline constexpr int kImportKeepDepth = 0x01;       // keep the surface's depth
inline constexpr int kImportSurfacePalette = 0x02;  // 8-bit surface: read into its palette
inline constexpr int kImportKeyFromCorner = 0x04;   // no key in the file: pixel (0, 0)
inline constexpr int kImportResetKey = 0x08;        // then SetTransparentColor(-1) again
inline constexpr int kImportNoPremultiply = 0x10;   // whatever the manager's setting

// Images above this many pixels are refused with kImageNoMemory before any allocation.
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 28;

class VEXA_API CImageFile {
 public:
  explicit CImageFile(CImageFilterMgr* manager);
  ~CImageFile();  // frees the previous rows, releases the filter, destroys owned streams
  CImageFile(const CImageFile&) = delete;
  CImageFile& operator=(const CImageFile&) = delete;

  // Opens a buffered input on the name (when no input is open) and identifies it. A null
  // name uses the open input (7 without one); a name while an input is open answers 17.
  int Open(const WCHAR* name);
  int Open(const char* name);
  // Takes the stream without ownership: 17 when an input is open, 7 for null.
  int OpenStream(CInputFile* input);
  // Finds the filter for the open input and reads its header; 0 leaves the input open.
  int Identify();
  // Attaches a new filter by table index or identifier; 1 on success.
  int SelectFilter(int index);
  int SelectFilterByID(std::uint32_t id);
  // Output format of the reads: depth 0 is the file's; depth 8 without palette the file's.
  int SetReadFormat(int width, int height, int depth, const LOGPALETTE* palette);
  // Reads the next frame; sets the read format first when none is set or it differs.
  int Read(BYTE* pixels, int width, int height, int pitch, int depth, const LOGPALETTE* palette,
           BYTE* alpha, int alphaPitch);
  // Leaves frame `frame` of an animation in the buffer (rewinding when it lies behind).
  int SeekFrame(BYTE* pixels, int pitch, int frame);
  void RewindIfAnimated();

  // Starts writing an animation; the nine values go to the filter unchanged. The stream form
  // closes any output first; the name form answers 17 while an output is open, and a null
  // name uses the open output (7 without one).
  int BeginWrite(COutputFile* output, int v1, int v2, int v3, int v4, int v5, int v6, int v7,
                 int v8, int v9);
  int BeginWrite(const WCHAR* name, int v1, int v2, int v3, int v4, int v5, int v6, int v7, int v8,
                 int v9);
  int BeginWrite(const char* name, int v1, int v2, int v3, int v4, int v5, int v6, int v7, int v8,
                 int v9);
  // Writes one frame, handing the filter a copy of the previous frame's rows (kept here).
  int WriteRows(const BYTE* rows, int width, int height, int pitch, int depth,
                const LOGPALETTE* palette, int v1, int v2, int v3, int v4);
  // The same with the previous rows from the caller (none kept).
  int WriteRows(const BYTE* previous, const BYTE* rows, int width, int height, int pitch, int depth,
                const LOGPALETTE* palette, int v1, int v2, int v3, int v4);
  // Saves a whole image with the attached filter.
  int SaveImage(const WCHAR* name, const BYTE* pixels, int width, int height, int depth, int pitch,
                const LOGPALETTE* palette, const void* alphaOrKey, int alphaPitch);
  int SaveImage(const char* name, const BYTE* pixels, int width, int height, int depth, int pitch,
                const LOGPALETTE* palette, const void* alphaOrKey, int alphaPitch);
  // Ends reading and writing, destroys owned streams and keeps the filter. A named
  // animation is committed here: 3 when it could not be (the old file stays), else 0.
  int Close();

  // Forwarded to the filter; 0 without one.
  int GetWidth();
  int GetHeight();
  int GetDepth();
  int GetLineBytes();
  int GetImageSize();
  LOGPALETTE* GetPalette();
  int GetTransparentColor(COLORREF* color);
  int HasAlpha();
  int GetFrameCount();
  int GetCurrentFrame();
  int GetFrameRect(RECT* rect);
  int IsAnimated();
  int GetSupportedDepths();
  int CanSaveImage();
  int CanSaveAnimation();
  std::uint32_t GetFilterID();
  int GetExtraInfo();
  int GetFrameExtraInfo(int frame);
  // The manager's index and name of the attached filter's identifier; -1 / "" when none.
  int GetFilterIndex();
  const char* GetFilterName();
  const WCHAR* GetFilterNameW();

  CImageFilterMgr* manager;
  CInputFile* input = nullptr;
  std::int32_t ownsInput = 0;
  std::int32_t formatSet = 0;
  COutputFile* output = nullptr;
  std::int32_t ownsOutput = 0;
  BYTE* previousRows = nullptr;  // a memory block of previousSize bytes
  CFilterImpl* filter = nullptr;
  // The read format last set, so that a read with another one sets it again.
  std::int32_t readWidth = 0, readHeight = 0, readDepth = 0;
  const LOGPALETTE* readPalette = nullptr;
  std::int64_t previousSize = 0;
  std::int32_t previousPitch = 0;     // the pitch previousRows is laid out for
  WCHAR* pendingTarget = nullptr;     // named animation: the file to replace at Close
  WCHAR* pendingTemporary = nullptr;  // and the temporary it is written to
  HFILE outputHandle = kInvalidFile;  // the handle under an owned output

 private:
  [[gnu::visibility("hidden")]] void ReleaseFilter();
  [[gnu::visibility("hidden")]] void DropInput();
  [[gnu::visibility("hidden")]] int StartWrite(int v1, int v2, int v3, int v4, int v5, int v6,
                                               int v7, int v8, int v9);
  [[gnu::visibility("hidden")]] int WriteFrame(const BYTE* previous, bool keepCopy,
                                               const BYTE* rows, int width, int height, int pitch,
                                               int depth, const LOGPALETTE* palette, int v1, int v2,
                                               int v3, int v4);
  [[gnu::visibility("hidden")]] int FinishOutput();
  [[gnu::visibility("hidden")]] bool RelayPreviousRows(int pitch, int height);
};

// 1 when the surface holds the image; the identifier of the filter used goes to *id.
VEXA_API int ImportImageFromStream(CImageFilterMgr* manager, CInputFile* input,
                                   cSurfaceObject* surface, std::uint32_t* id, int flags);
VEXA_API int ImportImage(CImageFilterMgr* manager, const WCHAR* name, cSurfaceObject* surface,
                         std::uint32_t* id, int flags);
VEXA_API int ImportImage(CImageFilterMgr* manager, const char* name, cSurfaceObject* surface,
                         std::uint32_t* id, int flags);
// 1 when some filter recognises the file.
VEXA_API int IsImageFile(CImageFilterMgr* manager, const WCHAR* name);
VEXA_API int IsImageFile(CImageFilterMgr* manager, const char* name);
// 1 when recognised; *still receives 1 when the file is not animated, else 0.
VEXA_API int GetImageFileInfo(CImageFilterMgr* manager, const WCHAR* name, int* still);
VEXA_API int GetImageFileInfo(CImageFilterMgr* manager, const char* name, int* still);
// 1 when the file has at most 8 bits and a palette of at most 256 entries, copied into
// *palette (room for 256 entries).
VEXA_API int GetImageFilePalette(CImageFilterMgr* manager, const WCHAR* name, LOGPALETTE* palette);
VEXA_API int GetImageFilePalette(CImageFilterMgr* manager, const char* name, LOGPALETTE* palette);
// Saves the surface with the filter of that identifier (0: "BMP "); 1 when saved.
VEXA_API int ExportImage(CImageFilterMgr* manager, const WCHAR* name, cSurfaceObject* surface,
                         std::uint32_t id);
VEXA_API int ExportImage(CImageFilterMgr* manager, const char* name, cSurfaceObject* surface,
                         std::uint32_t id);

// Frame by frame: the caller's image file object stays open between the calls.
VEXA_API int BeginImageImport(CImageFilterMgr* manager, const WCHAR* name, cSurfaceObject* surface,
                              CImageFile* file, int flags);
VEXA_API int BeginImageImport(CImageFilterMgr* manager, const char* name, cSurfaceObject* surface,
                              CImageFile* file, int flags);
VEXA_API int ImportNextImage(CImageFilterMgr* manager, cSurfaceObject* surface, CImageFile* file);
VEXA_API int EndImageImport(CImageFilterMgr* manager, CImageFile* file);
VEXA_API int BeginImageExport(CImageFilterMgr* manager, const WCHAR* name, cSurfaceObject* surface,
                              CImageFile* file, int v1, int v2, int v3, int v4);
VEXA_API int BeginImageExport(CImageFilterMgr* manager, const char* name, cSurfaceObject* surface,
                              CImageFile* file, int v1, int v2, int v3, int v4);
VEXA_API int ExportNextImage(CImageFilterMgr* manager, cSurfaceObject* surface, CImageFile* file,
                             int value);
VEXA_API int EndImageExport(CImageFilterMgr* manager, CImageFile* file);
