#include "game.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <thread>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <vexa/audio_output.h>
#include <vexa/blit.h>
#include <vexa/collision_map.h>
#include <vexa/display_driver.h>
#include <vexa/fill_style.h>
#include <vexa/font_bank.h>
#include <vexa/game_window.h>
#include <vexa/library.h>
#include <vexa/sound_bank.h>
#include <vexa/sprite.h>
#include <vexa/sprite_collision.h>
#include <vexa/surface_object.h>

#include "demo_font.h"
#include "game_frames.h"
#include "image_export.h"

#ifndef VEXA_GAME_ASSETS
#define VEXA_GAME_ASSETS "game-assets"
#endif
#ifndef VEXA_GAME_SUMS
#define VEXA_GAME_SUMS "game.sums"
#endif

namespace demo {
namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kPanelHeight = 40;    // the score panel; sprites stay below it
constexpr int kFrameRate = 60;      // the game clock
constexpr int kTrackStep = 8;       // frames per letter of an input track
constexpr int kSoundChannels = 46;  // effects rotate over channels 1..46
constexpr int kCheckedFrames[] = {1, 10, 100};

enum Keys : unsigned { kLeft = 1, kRight = 2, kUp = 4, kDown = 8 };

// A small deterministic generator (xorshift32), so that a seed gives the same game everywhere.
struct Random {
  std::uint32_t state;
  explicit Random(std::uint32_t seed) : state(seed * 2654435761u + 1) {}
  std::uint32_t Next() {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    return state;
  }
  int Range(int low, int high) { return low + int(Next() % std::uint32_t(high - low + 1)); }
};

// Keys of an input-track letter: L R U D, their pairs as lower case (l: up-left, r: down-right,
// u: up-right, d: down-left), '.' none.
unsigned KeysOf(char c) {
  switch (c) {
    case 'L':
      return kLeft;
    case 'R':
      return kRight;
    case 'U':
      return kUp;
    case 'D':
      return kDown;
    case 'l':
      return kUp | kLeft;
    case 'r':
      return kDown | kRight;
    case 'u':
      return kUp | kRight;
    case 'd':
      return kDown | kLeft;
    default:
      return 0;
  }
}

// The track the headless game plays for a seed: one letter per kTrackStep frames.
std::string DefaultTrack(unsigned seed, int frames) {
  static const char kLetters[] = "LRUDlrud.";
  Random rng(seed ^ 0x5EEDu);
  std::string track;
  for (int f = 0; f < frames; f += kTrackStep) {
    // Keep a direction for a while, as a player does.
    const char c = kLetters[rng.Next() % 9];
    const int repeat = rng.Range(1, 4);
    for (int i = 0; i < repeat; ++i) track += c;
    f += (repeat - 1) * kTrackStep;
  }
  return track;
}

// "1,10,100": the frame numbers of a list (others skipped).
std::vector<int> ParseFrameList(const std::string& list) {
  std::vector<int> frames;
  size_t at = 0;
  while (at < list.size()) {
    const size_t comma = std::min(list.find(',', at), list.size());
    const int f = std::atoi(list.substr(at, comma - at).c_str());
    if (f > 0) frames.push_back(f);
    at = comma + 1;
  }
  return frames;
}

struct Mover {
  Sprite* sprite = nullptr;
  int kind = 0;                      // 0 coin, 1 orb, 2 star, 3 ring
  int x = 0, y = 0, vx = 0, vy = 0;  // 1/16 pixel
  int image = 0;
  bool spins = false;
  int hitCooldown = 0;
};

struct Stats {
  long long spriteHits = 0, mapHits = 0, score = 0;
  long long dirtyTotal = 0;
  int dirtyLast = 0;
  std::vector<std::pair<int, unsigned>> sums;  // frame, checksum
};

unsigned FrameChecksum(cSurfaceObject& s) { return FrameCrc(ReadFrame(s)); }

// The bank format bits that ask for a display driver: driver mode, and which driver (driver 7
// packs the images onto atlas pages).
int DriverFormatBits(int driver) { return 0x10 | (driver == 7 ? 0x40 : driver == 6 ? 0x80 : 0); }

const char* DriverFileName(int driver) {
  return driver == 7 ? "vexad3d11.so" : driver == 6 ? "vexad3d8.so" : "vexad3d9.so";
}

// A surface made from one of the driver's prototypes (4 the window's display surface, 6 a
// static texture); null when the driver does not give one.
std::unique_ptr<cSurfaceObject> DriverSurface(int driver, int type, int width, int height) {
  cSurfaceObject* prototype = nullptr;
  if (!GetPrototype(&prototype, 32, type, driver) || !prototype) return nullptr;
  auto made = std::make_unique<cSurfaceObject>();
  if (!made->Create(width, height, prototype) ||
      DriverOfKind(made->GetImplementation()->GetKind()) != driver)
    return nullptr;
  return made;
}

// Under AddressSanitizer: keeps every library loaded so far (the OpenGL implementation the
// display driver brought in) when the driver and SDL's video subsystem unload them, so that
// the leak checker still knows whose allocations it finds at exit.
void PinLoadedLibraries() {
#if defined(__SANITIZE_ADDRESS__)
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        if (info->dlpi_name && *info->dlpi_name)
          dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        return 0;
      },
      nullptr);
#endif
}

// The resident memory of the process.
long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

class Game {
 public:
  explicit Game(const GameOptions& o) : opt_(o), rng_(o.seed) {}
  ~Game() { Shutdown(); }
  bool Start();
  int Run();

 private:
  void PlaceWalls();
  void DrawPanel(double fps);
  void MakeSprites();
  void Update(unsigned keys);
  void Frame(unsigned keys, double fps);
  int RunSteps();
  int Finish(int status);
  void MoveMover(Mover& m);
  void PlayEffect(int sound, int x);
  unsigned ReadKeys(bool* quit);
  void Shutdown();
  bool StartDriver();
  bool MakeBuffer();
  void RestoreDriverFrame();
  void TakeShot();
  std::vector<std::uint8_t> PixelClasses() const;

  GameOptions opt_;
  Random rng_;
  ImageBank* bank_ = nullptr;
  GameWindow* window_ = nullptr;
  std::unique_ptr<cSurfaceObject> buffer_;
  // Driver mode: every sprite is drawn every frame over a copy of the scene (background and
  // walls, drawn once in `scene_`, kept in the driver's `sceneTexture_`) and the panel, which
  // is drawn in software into `panel_`. In software mode the three are drawn into the buffer.
  bool driverMode_ = false;
  std::unique_ptr<cSurfaceObject> scene_, sceneTexture_, panel_;
  int shotFailures_ = 0;
  CImageFilterMgr* imageFilters_ = nullptr;
  CSoundFilterMgr* soundFilters_ = nullptr;
  CSoundManager* sounds_ = nullptr;
  GameImages images_;
  GameSounds sfx_;
  HFONT font_ = nullptr, smallFont_ = nullptr;
  std::vector<Mover> movers_;
  Mover player_;
  std::vector<RECT> walls_;
  Stats stats_;
  int frame_ = 0;
  int channel_ = 0;
  int effectGap_ = 0;
  std::string track_;
  WaveWriter wave_;
  std::vector<std::int16_t> audio_;  // one frame's samples
  WAVEFORMATEX audioFormat_{};
  double audioDue_ = 0;
  long rssAt1000_ = 0;
};

bool Game::Start() {
  if (opt_.headless) {
    // No display and no sound card: the dummy video driver and the null audio output.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    SelectAudioOutput(kAudioOutputNull);
  } else if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
             !std::getenv("SDL_VIDEODRIVER")) {
    std::fprintf(stderr, "vexa-demo: no display: the game runs without a visible window\n");
    // A display driver still draws, into SDL's offscreen windows.
    setenv("SDL_VIDEODRIVER", opt_.driver ? "offscreen" : "dummy", 1);
  }
  bank_ = CreateImageBank(0, nullptr);
  if (!bank_) return false;
  SetImageBankFormat(bank_, 8);
  if (opt_.driver && !StartDriver()) {
    std::fprintf(stderr,
                 "vexa-demo: display driver %d (%s, OpenGL 3.3) is not available: the game "
                 "draws in software\n",
                 opt_.driver, DriverFileName(opt_.driver));
  }

  // Plug-ins: the image and sound filters beside the library (or in --plugins).
  imageFilters_ = NewImageFilterMgr();
  imageFilters_->LoadFilters(opt_.plugins.c_str(), 0);
  ReportUnloadedPlugins(*imageFilters_, opt_.plugins, ".ift");
  soundFilters_ = NewSoundFilterMgr();
  soundFilters_->LoadFilters(opt_.plugins.c_str(), 0);
  ReportUnloadedPlugins(*soundFilters_, opt_.plugins, ".sft");

  images_ = LoadGameImages(bank_, *imageFilters_, opt_.assets);
  sfx_ = LoadGameSounds(bank_, *soundFilters_, opt_.assets);

  // The window and its back buffer: a 32-bit section, which also takes text.
  GameWindowRecord record{};
  record.size = kGameWindowRecordFixedSize;
  record.width = -kWidth;
  record.height = -kHeight;
  record.maxWidth = -kWidth;
  record.maxHeight = -kHeight;
  record.style = 0x10CF0000;  // visible, overlapped
  record.title = "vexa game";
  record.className = "vexa-game";
  record.cursor = reinterpret_cast<HCURSOR>(std::uintptr_t{1});
  record.background = reinterpret_cast<HBRUSH>(std::uintptr_t{0});
  record.kind = 1;                                           // a dirty-rectangle list
  if (driverMode_) record.flags = kGameWindowDriverDisplay;  // the driver presents the window
  window_ = CreateGameWindow(bank_, &record);
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (reinterpret_cast<std::uintptr_t>(window_) <= kGameWindowNotCreated &&
      !(driver && std::strcmp(driver, "dummy") == 0)) {
    // A display that cannot be opened (no server, no permission): play on without one.
    std::fprintf(stderr,
                 "vexa-demo: no display could be opened (%s): the game runs without a "
                 "visible window\n",
                 SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    window_ = CreateGameWindow(bank_, &record);
  }
  if (reinterpret_cast<std::uintptr_t>(window_) <= kGameWindowNotCreated) {
    std::fprintf(stderr, "vexa-demo: the game window could not be created\n");
    window_ = nullptr;
    return false;
  }
  if (!MakeBuffer()) return false;
  SetBackBuffer(window_, buffer_.get());
  if (driverMode_ && !opt_.quiet)
    std::printf("display driver %d draws the game (display surface of kind %d)\n", opt_.driver,
                buffer_->GetImplementation()->GetKind());
  SetWindowOption(window_, 1, opt_.sprites + 16);

  // Sound: a manager for the window; without an output device the game stays silent.
  HWND hwnd = GetWindowHandle(window_);
  sounds_ = CreateSoundManager(hwnd);
  if (sounds_ && !sounds_->Activate(hwnd)) sounds_->Delete(), sounds_ = nullptr;
  if (!sounds_) {
    std::fprintf(stderr, "vexa-demo: no audio device could be opened: the game runs silent\n");
  }
  GetAudioOutputFormat(&audioFormat_);
  if (opt_.headless && !wave_.Open(opt_.out + "/game.wav", audioFormat_.nChannels,
                                   int(audioFormat_.nSamplesPerSec))) {
    std::fprintf(stderr, "vexa-demo: cannot write %s/game.wav\n", opt_.out.c_str());
  }

  // Background, walls and the collision map.
  cSurfaceObject image;
  cSurfaceObject* stage = driverMode_ ? scene_.get() : buffer_.get();
  if (GetImageSurface(bank_, images_.background, &image, kImageSurfacePlain)) {
    image.StretchBlit(stage, 0, 0, kWidth, kHeight, kModeOpaque, 0, 0, 0);
  }
  CreateCollisionMap(window_, 0, 0, kWidth - 1, kHeight - 1, kMapSolidPlane);
  SetFineCollision(window_, 1);
  PlaceWalls();
  if (driverMode_) {
    // The finished scene goes to the driver once, as a static texture.
    sceneTexture_ = DriverSurface(opt_.driver, kTypeDriverFirst + 2, kWidth, kHeight);
    if (sceneTexture_ &&
        !sceneTexture_->GetImplementation()->CopyContentFrom(scene_->GetImplementation()))
      sceneTexture_.reset();
  }

  font_ = DejaVuSansFont(-16, 700);
  smallFont_ = DejaVuSansFont(-11, 400);
  MakeSprites();
  DrawPanel(kFrameRate);
  const RECT all{0, 0, kWidth, kHeight};
  AddDirtyRect(window_, &all);

  if (sfx_.tune && sounds_) {
    const int error = Play(sounds_, bank_, sfx_.tune, hwnd, kPlayLoopCount, 1000, 0);
    if (error) {
      std::fprintf(stderr,
                   "vexa-demo: the music cannot play (error %d; is a General MIDI sound "
                   "font installed?): the game goes on without music\n",
                   error);
    }
  }
  return true;
}

// Asks the bank for images on the display driver; that loads the driver. On success the scene
// and the panel get their software canvases. Leaves the bank in software format on failure.
bool Game::StartDriver() {
  // Headless, the driver draws through SDL's offscreen video driver (EGL, a software
  // rasteriser when there is no GPU).
  if (opt_.headless) setenv("SDL_VIDEODRIVER", "offscreen", 1);
  const int format = 8 | DriverFormatBits(opt_.driver);
  if (SetImageBankFormat(bank_, format) == format) {
    scene_ = std::make_unique<cSurfaceObject>();
    panel_ = std::make_unique<cSurfaceObject>();
    cSurfaceObject* prototype = nullptr;
    GetPrototype(&prototype, 32, kTypeDIBSection, kDriverNone);
    if (prototype && scene_->Create(kWidth, kHeight, prototype) &&
        panel_->Create(kWidth, kPanelHeight, prototype)) {
      driverMode_ = true;
      return true;
    }
    scene_.reset(), panel_.reset();
  }
  SetImageBankFormat(bank_, 8);
  UnloadDrivers();
  // The software game runs on the dummy video driver where there is no display.
  const char* video = std::getenv("SDL_VIDEODRIVER");
  if (video && std::strcmp(video, "offscreen") == 0) setenv("SDL_VIDEODRIVER", "dummy", 1);
  return false;
}

// The back buffer: the driver's display surface in driver mode, else a 32-bit section (which
// also takes text).
bool Game::MakeBuffer() {
  if (driverMode_) {
    buffer_ = DriverSurface(opt_.driver, kTypeDriverFirst, kWidth, kHeight);
    if (buffer_) return true;
    std::fprintf(stderr, "vexa-demo: display driver %d gave no display surface\n", opt_.driver);
    return false;
  }
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeDIBSection, kDriverNone);
  buffer_ = std::make_unique<cSurfaceObject>();
  return prototype && buffer_->Create(kWidth, kHeight, prototype);
}

// Driver mode draws every sprite every frame and erases nothing: the frame starts from the
// scene and the panel.
void Game::RestoreDriverFrame() {
  cSurfaceObject* scene = sceneTexture_ ? sceneTexture_.get() : scene_.get();
  scene->Blit(buffer_.get(), 0, kPanelHeight, 0, kPanelHeight, kWidth, kHeight - kPanelHeight,
              kModeOpaque, 0, 0, 0);
  panel_->Blit(buffer_.get(), 0, 0, 0, 0, kWidth, kPanelHeight, kModeOpaque, 0, 0, 0);
}

// What drew each pixel of the frame, by the sprites over it: coins are keyed copies, the other
// images carry alpha planes or blend, the spinning stars are turned and scaled.
std::vector<std::uint8_t> Game::PixelClasses() const {
  std::vector<std::uint8_t> classes(size_t(kWidth) * kHeight, kPixelExact);
  auto mark = [&](const Sprite* sprite, std::uint8_t kind, int grow) {
    const RECT& r = sprite->current.rect;
    for (int y = std::max(0, int(r.top) - grow); y < std::min(kHeight, int(r.bottom) + grow); ++y)
      for (int x = std::max(0, int(r.left) - grow); x < std::min(kWidth, int(r.right) + grow);
           ++x) {
        std::uint8_t& c = classes[size_t(y) * kWidth + size_t(x)];
        c = std::max(c, kind);
      }
  };
  // A turned sprite's edge may fall a pixel either way of its rectangle.
  for (const Mover& m : movers_)
    if (m.kind != 0) mark(m.sprite, m.spins ? kPixelTurned : kPixelBlend, m.spins ? 2 : 0);
  mark(player_.sprite, kPixelBlend, 0);
  return classes;
}

// Writes the frame to <out>/frame<N>.ppm, or compares it with the one in the compare folder.
void Game::TakeShot() {
  const FramePixels frame = ReadFrame(*buffer_);
  const std::string name = "/frame" + std::to_string(frame_) + ".ppm";
  if (!WritePpm(frame, opt_.out + name))
    std::fprintf(stderr, "vexa-demo: cannot write %s%s\n", opt_.out.c_str(), name.c_str());
  if (opt_.compare.empty()) return;
  FramePixels expected;
  if (!ReadPpm(opt_.compare + name, &expected)) {
    std::printf("frame %d: no software frame %s%s to compare with\n", frame_, opt_.compare.c_str(),
                name.c_str());
    ++shotFailures_;
    return;
  }
  const FrameComparison result = CompareFrames(expected, frame, PixelClasses());
  std::printf("frame %d against the software run: %s\n%s", frame_,
              result.Passed() ? "within tolerance" : "DIFFERS", DescribeComparison(result).c_str());
  if (!result.Passed()) ++shotFailures_;
}

void Game::PlaceWalls() {
  cSurfaceObject tile;
  auto put = [&](int index, int x, int y) {
    const int image = images_.tiles[index];
    if (GetImageSurface(bank_, image, &tile, kImageSurfacePlain)) {
      tile.Blit(driverMode_ ? scene_.get() : buffer_.get(), x, y, 0, 0, tile.GetWidth(),
                tile.GetHeight(), kModeTransparent, 0, 0, 0);
    }
    StampMaskInMap(window_, image, x, y, 1);
    walls_.push_back(RECT{x, y, x + 32, y + 32});
  };
  for (int x = 0; x < kWidth; x += 32) put(0, x, kHeight - 32);  // the floor
  Random layout(opt_.seed ^ 0xA11u);
  for (int i = 0; i < 14; ++i) {
    const int x = layout.Range(1, kWidth / 32 - 2) * 32, y = layout.Range(3, 12) * 32;
    if (std::abs(x - kWidth / 2) < 48 && std::abs(y - 300) < 48) continue;  // keep the start free
    put(1 + i % 3, x, y);
  }
}

void Game::DrawPanel(double fps) {
  // A fill-style panel: a vertical gradient, a strip of the brick tile as a mosaic, and text.
  cSurfaceObject* canvas = driverMode_ ? panel_.get() : buffer_.get();
  CFillDir gradient(0x00603010, 0x00200804, 1, 0, 0);
  gradient.FillRect(canvas, 0, 0, kWidth, kPanelHeight, 0);
  cSurfaceObject tile;
  if (GetImageSurface(bank_, images_.tiles[0], &tile, kImageSurfacePlain)) {
    CFillMosaic strip(&tile, 0, 0);
    strip.FillRect(canvas, 0, kPanelHeight - 4, kWidth, kPanelHeight, 0);
  }
  CFillFlat box(0x00102040);
  box.FillRect(canvas, kWidth - 172, 6, kWidth - 8, 30, 0);
  char text[128];
  std::snprintf(text, sizeof text, "SCORE %lld", stats_.score);
  canvas->DrawTextA(text, -1, 10, 8, 0, nullptr, 0x0040E0FF, font_);
  std::snprintf(text, sizeof text, "HITS %lld", stats_.spriteHits + stats_.mapHits);
  canvas->DrawTextA(text, -1, 170, 8, 0, nullptr, 0x00FFFFFF, font_);
  std::snprintf(text, sizeof text, "%.1f fps  %d sprites", fps, int(movers_.size()) + 1);
  canvas->DrawTextA(text, -1, kWidth - 166, 11, 0, nullptr, 0x0080FF80, smallFont_);
  const RECT panel{0, 0, kWidth, kPanelHeight};
  AddDirtyRect(window_, &panel);
}

void Game::MakeSprites() {
  const int count = std::max(opt_.sprites, 1) - 1;
  for (int i = 0; i < count; ++i) {
    Mover m;
    // Rings 20 %, orbs 25 %, stars 25 %, coins 30 %.
    const int r = i % 20;
    m.kind = r < 4 ? 3 : r < 9 ? 1 : r < 14 ? 2 : 0;
    m.x = rng_.Range(24, kWidth - 24) * 16;
    m.y = rng_.Range(kPanelHeight + 24, kHeight - 64) * 16;
    m.vx = rng_.Range(-40, 40);
    m.vy = rng_.Range(-40, 40);
    int layer = 0;
    std::uint32_t ink = kInkTransparent;
    EffectParam parameter = 0;
    switch (m.kind) {
      case 0:  // coins: the player's layer, plain key colour, animated
        m.image = images_.coin[size_t(i) % images_.coin.size()];
        layer = 3;
        break;
      case 1:  // orbs: additive
        m.image = images_.orb;
        layer = 1;
        ink |= kEffectAdd;
        break;
      case 2:  // stars: semi-transparent; every other one turns and pulses
        m.image = images_.star;
        layer = 2;
        ink |= kEffectSemiTransparent;
        parameter = 40;
        m.spins = (i / 20 + r) % 2 == 0;
        break;
      default:  // rings: the RGBA form, tinted and three-quarters opaque
        m.image = images_.ring;
        layer = 0;
        ink |= kEffectParamIsRGBA;
        parameter = 0xC0FFC080;
    }
    m.sprite =
        CreateSprite(window_, m.x / 16, m.y / 16, m.image, layer, i, 0, kSpriteCollides, i + 1);
    if (!m.sprite) break;
    SetSpriteInk(window_, m.sprite, ink, parameter);
    movers_.push_back(m);
  }
  player_.image = images_.ship;
  player_.x = kWidth / 2 * 16;
  player_.y = 300 * 16;
  player_.sprite =
      CreateSprite(window_, kWidth / 2, 300, images_.ship, 3, 1 << 20, 0, kSpriteCollides, 0);
  SetSpriteInk(window_, player_.sprite, kInkTransparent, 0);
}

void Game::PlayEffect(int sound, int x) {
  if (!sound || !sounds_ || effectGap_ > 0) return;
  effectGap_ = 3;  // at most one effect every three frames
  const int channel = 1 + channel_++ % kSoundChannels;
  if (Play(sounds_, bank_, sound, nullptr, kPlayForce, 1, channel) == 0) {
    SetChannelPan(bank_, channel, std::clamp((x - kWidth / 2) * 100 / (kWidth / 2), -100, 100));
  }
}

void Game::MoveMover(Mover& m) {
  const RECT field{0, kPanelHeight + 16, kWidth, kHeight};
  int nx = m.x + m.vx, ny = m.y + m.vy;
  if (nx / 16 < field.left + 16 || nx / 16 > field.right - 16) m.vx = -m.vx, nx = m.x;
  if (ny / 16 < field.top || ny / 16 > field.bottom - 16) m.vy = -m.vy, ny = m.y;
  // Coins and orbs bounce off the walls, pixel by pixel (one already inside a wall, put there
  // by a respawn, moves on until it is out).
  if ((m.kind == 0 || m.kind == 1) &&
      TestSpriteInMap(window_, m.sprite, 0, nx / 16, ny / 16, 0, 1, 1, 0, 0) &&
      !TestSpriteInMap(window_, m.sprite, 0, m.x / 16, m.y / 16, 0, 1, 1, 0, 0)) {
    ++stats_.mapHits;
    m.vx = -m.vx, m.vy = -m.vy;
    if (m.kind == 1) PlayEffect(sfx_.bounce, m.x / 16);
    nx = m.x, ny = m.y;
  }
  m.x = nx, m.y = ny;
  if (m.kind == 2 && m.spins) {
    const float angle = float((frame_ * 3 + int(m.sprite->userValue) * 17) % 360);
    const float scale = 0.6f + float((frame_ + int(m.sprite->userValue)) % 40) / 50.0f;
    ModifySpriteEx(window_, m.sprite, m.x / 16, m.y / 16, m.image, scale, scale, 0, angle, 0);
  } else if (m.kind == 0 && images_.coin.size() > 1) {
    const size_t f = size_t(frame_ / 4 + m.sprite->userValue) % images_.coin.size();
    ModifySprite(window_, m.sprite, m.x / 16, m.y / 16, images_.coin[f]);
  } else {
    ModifySprite(window_, m.sprite, m.x / 16, m.y / 16, m.image);
  }
}

void Game::Update(unsigned keys) {
  if (effectGap_ > 0) --effectGap_;
  // The player: three pixels a frame, stopped by walls.
  const int speed = 3 * 16;
  int nx = player_.x, ny = player_.y;
  if (keys & kLeft) nx -= speed;
  if (keys & kRight) nx += speed;
  if (keys & kUp) ny -= speed;
  if (keys & kDown) ny += speed;
  nx = std::clamp(nx, 16 * 16, (kWidth - 16) * 16);
  ny = std::clamp(ny, (kPanelHeight + 16) * 16, (kHeight - 16) * 16);
  if ((nx != player_.x || ny != player_.y) &&
      TestSpriteInMap(window_, player_.sprite, 0, nx / 16, ny / 16, 0, 1, 1, 0, 0)) {
    ++stats_.mapHits;
    nx = player_.x, ny = player_.y;
  }
  player_.x = nx, player_.y = ny;
  ModifySprite(window_, player_.sprite, nx / 16, ny / 16, player_.image);

  for (Mover& m : movers_) MoveMover(m);

  // Orbs that touch each other (pixel-exact, on their own layer) count as hits.
  for (Mover& m : movers_) {
    if (m.kind != 1) continue;
    if (m.hitCooldown > 0) {
      --m.hitCooldown;
      continue;
    }
    if (FindCollidingSprite(window_, m.sprite, 0, m.x / 16, m.y / 16, 0, 1, 1, 0, 0)) {
      ++stats_.spriteHits;
      m.hitCooldown = 20;
    }
  }
  // The player collects the coins it touches at its new place.
  std::vector<SpriteHit> hits(movers_.size() + 2);
  const int n = FindAllCollidingSprites(window_, player_.sprite, hits.data(), 0, nx / 16, ny / 16,
                                        0, 1, 1, 0);
  for (int i = 0; i < n; ++i) {
    const std::intptr_t id = hits[size_t(i)].userValue;
    if (id <= 0 || size_t(id) > movers_.size()) continue;
    Mover& coin = movers_[size_t(id - 1)];
    if (coin.kind != 0) continue;
    ++stats_.score;
    ++stats_.spriteHits;
    PlayEffect(sfx_.hit, coin.x / 16);
    coin.x = rng_.Range(24, kWidth - 24) * 16;
    coin.y = (kPanelHeight + 24) * 16;
    ModifySprite(window_, coin.sprite, coin.x / 16, coin.y / 16, coin.image);
  }
}

unsigned Game::ReadKeys(bool* quit) {
  int quitMessage = 0;
  PumpGameMessages(-1, &quitMessage);
  if (quitMessage) *quit = true;
  if (opt_.scripted) {
    const size_t step = size_t(frame_ / kTrackStep);
    return step < track_.size() ? KeysOf(track_[step]) : 0;
  }
  const Uint8* state = SDL_GetKeyboardState(nullptr);
  if (!state) return 0;
  if (state[SDL_SCANCODE_ESCAPE]) *quit = true;
  return (state[SDL_SCANCODE_LEFT] ? kLeft : 0u) | (state[SDL_SCANCODE_RIGHT] ? kRight : 0u) |
         (state[SDL_SCANCODE_UP] ? kUp : 0u) | (state[SDL_SCANCODE_DOWN] ? kDown : 0u);
}

// One frame: the game moves, the panel is redrawn, the redraw cycle runs and what changed is
// presented; headless, the mixer produces the frame's samples.
void Game::Frame(unsigned keys, double fps) {
  Update(keys);
  ++frame_;
  DrawPanel(fps);
  if (driverMode_) RestoreDriverFrame();
  EraseSprites(window_);
  CommitSprites(window_);
  DrawSprites(window_);
  RECT dirty[600];
  const int count = std::min(GetDirtyRects(window_, dirty, 600), 600);
  long long area = 0;
  for (int i = 0; i < count; ++i)
    area += (long long)std::max(0L, long(dirty[i].right - dirty[i].left)) *
            std::max(0L, long(dirty[i].bottom - dirty[i].top));
  stats_.dirtyLast = int(area);
  stats_.dirtyTotal += area;
  for (int f : kCheckedFrames)
    if (frame_ == f) stats_.sums.push_back({f, FrameChecksum(*buffer_)});
  if (std::find(opt_.shots.begin(), opt_.shots.end(), frame_) != opt_.shots.end()) TakeShot();
  PresentWindow(window_);
  if (opt_.headless) {
    // The mixer runs on the game clock: one frame's worth of samples a frame.
    audioDue_ += double(audioFormat_.nSamplesPerSec) / kFrameRate;
    const int pump = int(audioDue_);
    audioDue_ -= pump;
    if (pump > 0 && audioFormat_.nChannels) {
      audio_.resize(size_t(pump) * audioFormat_.nChannels);
      wave_.Append(audio_.data(), size_t(std::max(PumpAudioOutput(audio_.data(), pump), 0)));
    }
  }
  if (frame_ == 1000) rssAt1000_ = ResidentKiB();
}

// Windowed stepping for tests that drive the game with real key events: each press of an
// arrow key plays one track step (kTrackStep frames with that key held); the game reports
// every step on stdout and waits for all keys to be up before it takes the next one.
int Game::RunSteps() {
  std::printf("ready\n");
  std::fflush(stdout);
  bool quit = false, armed = true;
  int steps = 0;
  const RECT all{0, 0, kWidth, kHeight};
  while (!quit) {
    int quitMessage = 0;
    PumpGameMessages(-1, &quitMessage);
    const Uint8* state = SDL_GetKeyboardState(nullptr);
    if (quitMessage || (state && state[SDL_SCANCODE_ESCAPE])) break;
    const unsigned keys = !state ? 0u
                                 : (state[SDL_SCANCODE_LEFT] ? kLeft : 0u) |
                                       (state[SDL_SCANCODE_RIGHT] ? kRight : 0u) |
                                       (state[SDL_SCANCODE_UP] ? kUp : 0u) |
                                       (state[SDL_SCANCODE_DOWN] ? kDown : 0u);
    if (armed && keys) {
      for (int i = 0; i < kTrackStep; ++i) Frame(keys, kFrameRate);
      std::printf("step %d frame %d\n", ++steps, frame_);
      std::fflush(stdout);
      armed = false;
    } else if (!armed && !keys) {
      armed = true;
      std::printf("idle\n");
      std::fflush(stdout);
    } else {
      // Keep the window's contents shown (an expose may have cleared them).
      AddDirtyRect(window_, &all);
      PresentWindow(window_);
    }
    SDL_Delay(5);
  }
  return Finish(0);
}

int Game::Run() {
  using Clock = std::chrono::steady_clock;
  const int frames = opt_.frames > 0 ? opt_.frames : opt_.headless ? 600 : 0;
  if (opt_.scripted)
    track_ = opt_.track.empty() ? DefaultTrack(opt_.seed, std::max(frames, 1)) : opt_.track;
  if (opt_.step) return RunSteps();
  const auto start = Clock::now();
  const std::clock_t cpuStart = std::clock();
  auto next = start;
  auto fpsMark = start;
  int fpsFrames = 0;
  double shownFps = kFrameRate;
  bool quit = false;
  while (!quit && (frames == 0 || frame_ < frames)) {
    const unsigned keys = ReadKeys(&quit);
    // The frame rate shown: the game clock's when scripted (so that the picture does not
    // depend on the machine's speed), else measured over the last half second.
    ++fpsFrames;
    const auto now = Clock::now();
    if (!opt_.scripted && now - fpsMark >= std::chrono::milliseconds(500)) {
      shownFps = fpsFrames / std::chrono::duration<double>(now - fpsMark).count();
      fpsMark = now, fpsFrames = 0;
    }
    Frame(keys, shownFps);
    if (!opt_.headless) {
      next += std::chrono::microseconds(1000000 / kFrameRate);
      std::this_thread::sleep_until(next);
      if (Clock::now() > next + std::chrono::milliseconds(100)) next = Clock::now();
    }
    if (!opt_.quiet && opt_.headless && (frame_ <= 3 || frame_ % 100 == 0))
      std::printf("frame %d: dirty area %d px, collisions %lld\n", frame_, stats_.dirtyLast,
                  stats_.spriteHits + stats_.mapHits);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  std::printf("%d frames, %d sprites, %.1f fps (%.1f fps of process CPU time)\n", frame_,
              int(movers_.size()) + 1, seconds > 0 ? frame_ / seconds : 0.0,
              cpu > 0 ? frame_ / cpu : 0.0);
  return Finish(0);
}

int Game::Finish(int status) {
  std::printf("dirty area per frame: %.0f px (last %d px)\n",
              frame_ ? double(stats_.dirtyTotal) / frame_ : 0.0, stats_.dirtyLast);
  std::printf("collisions: %lld (sprite %lld, map %lld), score %lld\n",
              stats_.spriteHits + stats_.mapHits, stats_.spriteHits, stats_.mapHits, stats_.score);
  std::printf("final frame checksum %08x\n", FrameChecksum(*buffer_));
  if (opt_.soakBoundKiB >= 0) {
    const long end = ResidentKiB();
    std::printf(
        "memory: %ld KiB at frame 1000, %ld KiB at frame %d: growth %ld KiB (bound %ld "
        "KiB)\n",
        rssAt1000_, end, frame_, end - rssAt1000_, opt_.soakBoundKiB);
    if (rssAt1000_ <= 0 || end - rssAt1000_ > opt_.soakBoundKiB) status = 1;
  }
  std::fflush(stdout);

  const std::string png = opt_.out + "/game.png";
  if (!SavePng(*buffer_, png)) {
    std::fprintf(stderr, "vexa-demo: cannot write %s\n", png.c_str());
    status = 1;
  }
  if (opt_.headless) {
    const std::string wav = opt_.out + "/game.wav";
    if (!wave_.Close()) {
      std::fprintf(stderr, "vexa-demo: cannot write %s\n", wav.c_str());
      status = 1;
    }
    if (!opt_.quiet) std::printf("wrote %s and %s\n", png.c_str(), wav.c_str());
  }
  if (opt_.update) {
    std::ofstream out(opt_.sums);
    for (auto [f, sum] : stats_.sums)
      out << "frame" << f << ' ' << std::hex << sum << std::dec << '\n';
    std::printf("checksums written to %s\n", opt_.sums.c_str());
  }
  if (shotFailures_) {
    std::printf("%d frame(s) differ from the software run beyond tolerance\n", shotFailures_);
    status = 1;
  }
  if (opt_.check) {
    std::map<std::string, unsigned> expected;
    std::ifstream in(opt_.sums);
    std::string name, value;
    while (in >> name >> value) expected[name] = unsigned(std::stoul(value, nullptr, 16));
    int failures = 0;
    for (int f : kCheckedFrames) {
      const std::string key = "frame" + std::to_string(f);
      auto got = std::find_if(stats_.sums.begin(), stats_.sums.end(),
                              [f](const auto& p) { return p.first == f; });
      if (got == stats_.sums.end()) {
        std::printf("MISMATCH %s: not rendered (run at least %d frames)\n", key.c_str(), f);
        ++failures;
      } else if (!expected.count(key) || expected[key] != got->second) {
        std::printf("MISMATCH %s: %08x, expected %08x\n", key.c_str(), got->second,
                    expected.count(key) ? expected[key] : 0u);
        ++failures;
      } else {
        std::printf("%s %08x ok\n", key.c_str(), got->second);
      }
    }
    if (failures) status = 1;
  }
  return status;
}

void Game::Shutdown() {
  if (bank_) StopSound(bank_, kSoundMusic, -1);
  if (window_) {
    DeleteAllSprites(window_);
    FreeCollisionMap(window_);
    DestroyGameWindow(window_);
    window_ = nullptr;
  }
  buffer_.reset();
  sceneTexture_.reset();
  scene_.reset();
  panel_.reset();
  if (font_) DeleteBankFont(font_), font_ = nullptr;
  if (smallFont_) DeleteBankFont(smallFont_), smallFont_ = nullptr;
  if (bank_) DestroyImageBank(bank_), bank_ = nullptr;
  if (sounds_) sounds_->Delete(), sounds_ = nullptr;
  if (soundFilters_) soundFilters_->Free(), soundFilters_->Delete(), soundFilters_ = nullptr;
  if (imageFilters_) imageFilters_->Free(), imageFilters_->Delete(), imageFilters_ = nullptr;
  // The driver's surfaces are gone with the window and the bank: its module may go too.
  if (driverMode_) PinLoadedLibraries(), UnloadDrivers(), driverMode_ = false;
}

}  // namespace

int RunGame(const GameOptions& options) {
  Game game(options);
  if (!game.Start()) return 1;
  return game.Run();
}

int RunGameCommand(int argc, char** argv) {
  GameOptions o;
  o.assets = VEXA_GAME_ASSETS;
  o.plugins = LibraryFolder();
  o.sums = VEXA_GAME_SUMS;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--headless")
      o.headless = o.scripted = true;
    else if (a == "--scripted")
      o.scripted = true;
    else if (a == "--check")
      o.check = true;
    else if (a == "--update")
      o.update = true;
    else if (a == "--quiet")
      o.quiet = true;
    else if (a == "--frames" && more)
      o.frames = std::atoi(argv[++i]);
    else if (a == "--seed" && more)
      o.seed = unsigned(std::strtoul(argv[++i], nullptr, 10));
    else if (a == "--sprites" && more)
      o.sprites = std::max(1, std::atoi(argv[++i]));
    else if (a == "--assets" && more)
      o.assets = argv[++i];
    else if (a == "--plugins" && more)
      o.plugins = argv[++i];
    else if (a == "--out" && more)
      o.out = argv[++i];
    else if (a == "--sums" && more)
      o.sums = argv[++i];
    else if (a == "--track" && more)
      o.track = argv[++i], o.scripted = true;
    else if (a == "--step")
      o.step = true;
    else if (a == "--soak" && more)
      o.soakBoundKiB = std::atol(argv[++i]);
    else if (a == "--driver" && more)
      o.driver = std::atoi(argv[++i]);
    else if (a == "--shots" && more)
      o.shots = ParseFrameList(argv[++i]);
    else if (a == "--compare" && more)
      o.compare = argv[++i];
    else {
      std::fprintf(stderr, "vexa-demo game: unknown option %s\n", a.c_str());
      return 2;
    }
  }
  if (o.driver && (o.driver < 5 || o.driver > 7)) {
    std::fprintf(stderr, "vexa-demo game: --driver takes 5, 6 or 7\n");
    return 2;
  }
  if (o.driver && (o.check || o.update)) {
    // The checksums are the software renderer's; a driver blends within 1 of it.
    std::fprintf(stderr,
                 "vexa-demo game: --check and --update take the software frames; compare a "
                 "driver run with --shots and --compare\n");
    return 2;
  }
  if ((o.check || o.update) && o.frames < 100) o.frames = std::max(o.frames, 100);
  if (!o.track.empty() && o.frames == 0) o.frames = int(o.track.size()) * kTrackStep;
  return RunGame(o);
}

}  // namespace demo
