// The demo game: a window, a background with a collision map, a few hundred sprites on four
// layers, a player, collisions, text, a fill-style panel, sound effects and music, all
// through the library's public interface. See docs/tutorial.md for a walk through it.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include <vexa/filter_manager.h>
#include <vexa/image_bank.h>
#include <vexa/sound.h>

namespace demo {

struct GameOptions {
  bool headless = false;  // no display, no sound card: dummy video, null audio output
  bool scripted = false;  // the input track drives the player (always when headless)
  int frames = 0;         // 0: until Esc (windowed) or 600 (headless)
  unsigned seed = 1;
  int sprites = 300;
  bool check = false, update = false, quiet = false;
  std::string assets;   // folder of the generated assets
  std::string plugins;  // folder of the filter plug-ins
  std::string out = ".";
  std::string sums;
  std::string track;       // input track letters (scripted); empty: one made from the seed
  bool step = false;       // windowed: each arrow key press plays one track step
  long soakBoundKiB = -1;  // >= 0: memory growth from frame 1,000 to the end must stay below
  int driver = 0;          // 5, 6 or 7: draw through that display driver (0: software)
  std::vector<int> shots;  // frames written to <out>/frame<N>.ppm (or compared)
  std::string compare;     // folder of a software run's shots to compare the shots with
};

int RunGame(const GameOptions& options);
int RunGameCommand(int argc, char** argv);

// ---- assets --------------------------------------------------------------------------------

// The images the game uses, as numbers in the bank (never 0: a failed load gives a
// placeholder image).
struct GameImages {
  int background = 0;
  int ship = 0, orb = 0, star = 0, ring = 0;
  std::vector<int> coin;  // animation frames
  int tiles[4] = {};
};

struct GameSounds {
  int hit = 0, bounce = 0, tune = 0;  // sound numbers of the bank, 0 when missing
};

// Loads the image files through the image filter plug-ins into the bank: the sprite sheet
// with its alpha plane (the ship LZ4-compressed), the coin animation and tiles run-length
// encoded, the background LZ4-compressed. Reports every failure on stderr and puts a placeholder
// image in its place.
GameImages LoadGameImages(ImageBank* bank, CImageFilterMgr& filters, const std::string& folder);
// Loads the wave and Ogg effects (decoded through the sound filter plug-ins) and names the
// MIDI tune; missing or damaged files are reported and left out.
GameSounds LoadGameSounds(ImageBank* bank, CSoundFilterMgr& filters, const std::string& folder);
// Reports plug-in files of the folder that did not load as filters.
void ReportUnloadedPlugins(CFilterMgr& filters, const std::string& folder, const char* extension);

// A PCM wave file of interleaved 16-bit samples, written as they come (a long run keeps no
// samples in memory); Close puts the sizes into the header.
class WaveWriter {
 public:
  bool Open(const std::string& path, int channels, int rate);
  void Append(const std::int16_t* samples, std::size_t count);
  bool Close();

 private:
  void WriteHeader();
  std::ofstream out_;
  int channels_ = 2, rate_ = 22050;
  std::size_t samples_ = 0;
};

}  // namespace demo
