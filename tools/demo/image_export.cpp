#include "image_export.h"

#include <dlfcn.h>

#include <cstdio>

#include <vexa/filter_manager.h>
#include <vexa/image_file.h>

namespace demo {

std::string LibraryFolder() {
  Dl_info info{};
  const auto symbol =
      reinterpret_cast<void*>(static_cast<CImageFilterMgr* (*)()>(&NewImageFilterMgr));
  if (!dladdr(symbol, &info) || !info.dli_fname) return ".";
  const std::string path = info.dli_fname;
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool SavePng(cSurfaceObject& surface, const std::string& path) {
  CImageFilterMgr filters;
  filters.LoadFilters(LibraryFolder().c_str(), 0);
  if (filters.GetFilterIndex(FilterID("PNG ")) < 0) {
    std::fprintf(stderr, "vexa-demo: no PNG filter (png.ift) beside libvexa.so\n");
    filters.Free();
    return false;
  }
  const bool saved = ExportImage(&filters, path.c_str(), &surface, FilterID("PNG ")) == 1;
  filters.Free();
  return saved;
}

}  // namespace demo
