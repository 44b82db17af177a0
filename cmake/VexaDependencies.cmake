# Dependencies come from Debian packages (scripts/install-deps) through pkg-config.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
pkg_check_modules(LZ4 REQUIRED IMPORTED_TARGET liblz4)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
# The display's vertical-blank wait (src/platform/window/vblank.cpp).
pkg_check_modules(DRM REQUIRED IMPORTED_TARGET libdrm)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(JPEG REQUIRED IMPORTED_TARGET libjpeg)
# giflib ships no pkg-config file.
find_library(VEXA_GIF_LIBRARY gif REQUIRED)
find_path(VEXA_GIF_INCLUDE gif_lib.h REQUIRED)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
# Text: fontconfig matches faces, FreeType renders glyphs.
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
# Music: FluidSynth renders MIDI pieces into the mixer.
pkg_check_modules(FLUIDSYNTH REQUIRED IMPORTED_TARGET fluidsynth)

set(VEXA_LIBRARY_DEPS PkgConfig::ZLIB PkgConfig::LZ4 PkgConfig::SDL2 PkgConfig::FREETYPE PkgConfig::FONTCONFIG
    PkgConfig::DRM PkgConfig::FLUIDSYNTH Threads::Threads ${CMAKE_DL_LIBS})
set(VEXA_PKGCONFIG_REQUIRES "zlib liblz4 sdl2 freetype2 fontconfig fluidsynth")

# GTK 3 gives the file dialogs their types only: the library opens libgtk-3.so.0 at run time
# and never links it (src/platform/dialog/gtk_backend.cpp).
pkg_check_modules(GTK3 REQUIRED gtk+-3.0)
