// The game of docs/tutorial.md, built from the public headers only. The guide quotes the
// blocks of this file between the "tutorial:" markers word for word (scripts/check-tutorial.py
// checks it), so every snippet of the guide is compiled here and run below.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <vexa/vexa.h>

namespace {

// [tutorial:window]
struct Game {
  ImageBank* bank = nullptr;
  GameWindow* window = nullptr;
  cSurfaceObject buffer;  // the back buffer the sprites are drawn into
};

bool OpenWindow(Game& game, int width, int height) {
  game.bank = CreateImageBank(0, nullptr);  // also the thread's application context
  SetImageBankFormat(game.bank, 8);         // images in 32-bit pixels
  GameWindowRecord record{};
  record.size = kGameWindowRecordFixedSize;
  record.width = -width;  // negative: a client size
  record.height = -height;
  record.maxWidth = -width;
  record.maxHeight = -height;
  record.style = 0x10CF0000;  // visible, overlapped
  record.title = "my game";
  record.className = "my-game";
  record.cursor = reinterpret_cast<HCURSOR>(std::uintptr_t{1});  // the arrow
  record.kind = 1;                                               // keeps a dirty list
  game.window = CreateGameWindow(game.bank, &record);
  if (reinterpret_cast<std::uintptr_t>(game.window) <= kGameWindowNotCreated) return false;
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeDIBSection, kDriverNone);  // a section also takes text
  if (!game.buffer.Create(width, height, prototype)) return false;
  SetBackBuffer(game.window, &game.buffer);
  SetWindowOption(game.window, 1, 256);  // room for 256 sprites
  return true;
}
// [end]

// [tutorial:load]
// Reads a picture through the image filter plug-ins and stores it in the bank, run-length
// encoded, with its hot spot in the middle. A picture that cannot be read becomes a grey
// square: the game goes on.
int LoadImage(Game& game, CImageFilterMgr& filters, const char* path, int size) {
  cSurfaceObject picture;
  const bool read = ImportImage(&filters, path, &picture, nullptr, kImportNoPremultiply) == 1;
  const int w = read ? picture.GetWidth() : size, h = read ? picture.GetHeight() : size;
  std::vector<std::uint32_t> pixels(std::size_t(w) * h, 0x808080);
  for (int y = 0; read && y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const COLORREF c = picture.GetPixelFast(x, y);  // 0x00BBGGRR
      pixels[std::size_t(y) * w + x] = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    }
  }
  const COLORREF key = 0;  // black pixels are transparent and not part of the mask
  return AddImage(game.bank, w, h, w / 2, h / 2, w / 2, h / 2, key, 8 | kAddRunLength,
                  pixels.data(), nullptr);
}
// [end]

// A picture for the tutorial to load: a filled disc saved through the PNG plug-in.
void WriteBall(CImageFilterMgr& filters, const std::string& path) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
  cSurfaceObject ball;
  ball.Create(16, 16, prototype);
  ball.FillColor(0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      if ((x - 8) * (x - 8) + (y - 8) * (y - 8) < 49) ball.SetPixelColor(x, y, 0x0000C0FF);
  ExportImage(&filters, path.c_str(), &ball, FilterID("PNG "));
}

TEST(Tutorial, TheGuidesGameRuns) {
  Game game;
  ASSERT_TRUE(OpenWindow(game, 160, 120));
  const std::string plugins = VEXA_PLUGIN_DIR;
  const std::string ballPath = testing::TempDir() + "/tutorial-ball.png";
  {
    CImageFilterMgr filters;
    filters.LoadFilters(plugins.c_str(), 0);
    WriteBall(filters, ballPath);
    filters.Free();
  }
  const char* pluginFolder = plugins.c_str();
  const char* wallPath = "no-such-wall.png";  // missing on purpose: a grey square stands in

  // [tutorial:assets]
  CImageFilterMgr filters;
  filters.LoadFilters(pluginFolder, 0);  // every *.ift plug-in of the folder
  const int ball = LoadImage(game, filters, ballPath.c_str(), 16);
  const int wall = LoadImage(game, filters, wallPath, 16);
  // [end]
  ASSERT_NE(ball, 0);
  ASSERT_NE(wall, 0);

  // [tutorial:map]
  game.buffer.FillColor(0x00402010);  // the background
  CreateCollisionMap(game.window, 0, 0, 159, 119, kMapSolidPlane);
  SetFineCollision(game.window, 1);  // pixel-exact tests, not just boxes
  for (int x = 0; x < 160; x += 16) {
    DrawImageSimple(game.window, wall, x + 8, 112, 0);  // drawn on the background...
    StampMaskInMap(game.window, wall, x, 104, 1);       // ...and solid in the map
  }
  // [end]

  // [tutorial:sprites]
  Sprite* player = CreateSprite(game.window, 20, 60, ball, /*layer*/ 1, /*z*/ 0, 0, kSpriteCollides,
                                /*user value*/ 1);
  Sprite* ghost = CreateSprite(game.window, 60, 60, ball, 0, 0, 0, kSpriteCollides, 2);
  Sprite* spinner = CreateSprite(game.window, 120, 40, ball, 2, 0, 0, 0, 3);
  SetSpriteInk(game.window, player, kInkTransparent, 0);
  SetSpriteInk(game.window, ghost, kInkTransparent | kEffectSemiTransparent, 64);  // half seen
  SetSpriteInk(game.window, spinner, kInkTransparent | kEffectAdd, 0);             // glows
  // [end]
  Sprite* rock = CreateSprite(game.window, 44, 84, ball, 1, 0, 0, kSpriteCollides, 4);  // ahead
  SetSpriteInk(game.window, rock, kInkTransparent, 0);

  // [tutorial:text]
  LOGFONTW face{};
  face.lfHeight = -12;
  const char16_t name[] = u"DejaVu Sans";  // installed with the build dependencies
  std::memcpy(face.lfFaceName, name, sizeof name);
  HFONT font = CreateFontSubstitutedW(game.bank, &face);
  auto drawScore = [&](int score) {
    const std::string text = "SCORE " + std::to_string(score);
    game.buffer.FillRectColor(0, 0, 160, 16, 0x00402010);
    game.buffer.DrawTextA(text.c_str(), -1, 4, 2, 0, nullptr, 0x00FFFFFF, font);
    const RECT panel{0, 0, 160, 16};
    AddDirtyRect(game.window, &panel);
  };
  // [end]

  // [tutorial:sound]
  SelectAudioOutput(kAudioOutputNull);  // headless: mixed only when pumped (before any load)
  CSoundFilterMgr* soundFilters = NewSoundFilterMgr();
  soundFilters->LoadFilters(pluginFolder, 0);  // every *.sft plug-in; opens the output
  CSoundManager* sounds = CreateSoundManager(GetWindowHandle(game.window));
  if (sounds) sounds->Activate(GetWindowHandle(game.window));
  // [end]
  ASSERT_NE(sounds, nullptr);
  std::vector<std::uint8_t> wave = {'R', 'I', 'F',  'F',  0,   0,   0,    0,    'W', 'A', 'V',
                                    'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                                    1,   0,   0x22, 0x56, 0,   0,   0x44, 0xAC, 0,   0,   2,
                                    0,   16,  0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
  for (int i = 0; i < 2205; ++i) {
    const std::int16_t s = std::int16_t((i / 25) % 2 ? 8000 : -8000);
    wave.push_back(std::uint8_t(s)), wave.push_back(std::uint8_t(std::uint16_t(s) >> 8));
  }
  const std::uint32_t dataBytes = 2205 * 2, riffBytes = dataBytes + 36;
  std::memcpy(&wave[4], &riffBytes, 4);
  std::memcpy(&wave[40], &dataBytes, 4);
  // [tutorial:effect]
  const int bump = AddSound(game.bank, kSoundTypeWave, "bump", wave.data(), int(wave.size()));
  auto playAt = [&](int x) {  // pan follows the place on screen: -100 left, 100 right
    const int channel = 1;
    if (Play(sounds, game.bank, bump, nullptr, kPlayForce, 1, channel) == 0)
      SetChannelPan(game.bank, channel, (x - 80) * 100 / 80);
  };
  // [end]

  int score = 0, mapHits = 0;
  std::vector<std::int16_t> heard;
  for (int frame = 0; frame < 40; ++frame) {
    // [tutorial:frame]
    int quit = 0;
    PumpGameMessages(-1, &quit);  // window messages; a real game reads its keys here
    RECT box;
    GetSpriteRect(game.window, player, &box);
    const int x = box.left + 8 + 2, y = box.top + 8 + 2;  // the player moves right and down
    if (TestSpriteInMap(game.window, player, 0, x, y, 0, 1, 1, 0, 0)) {
      ++mapHits;  // a wall: stay
    } else {
      ModifySprite(game.window, player, x, y, ball);
    }
    if (FindCollidingSprite(game.window, player, 0, x, y, 0, 1, 1, 0, 0)) {
      playAt(x);
      drawScore(++score);
    }
    SetSpriteAngle(game.window, spinner, float(frame * 9 % 360), 0);
    EraseSprites(game.window);   // what moved is restored...
    CommitSprites(game.window);  // ...the recorded changes take effect...
    DrawSprites(game.window);    // ...and the sprites are drawn, each change a dirty rectangle
    PresentWindow(game.window);  // only the dirty rectangles reach the screen
    // [end]
    std::vector<std::int16_t> samples(1470 * 2);
    // [tutorial:pump]
    const int got = PumpAudioOutput(samples.data(), 735);  // one frame at 44.1 kHz
    // [end]
    samples.resize(std::size_t(std::max(got, 0)));
    heard.insert(heard.end(), samples.begin(), samples.end());
  }
  // The player ran into the rock (same layer) and then stood on the wall.
  EXPECT_GT(score, 0);
  EXPECT_GT(mapHits, 0);
  RECT box;
  GetSpriteRect(game.window, player, &box);
  EXPECT_LT(box.bottom, 105);  // never inside the wall
  // The ball is on screen where the player is, and the score is written in the panel.
  COLORREF c = 0;
  game.buffer.GetPixelColor(box.left + 8, box.top + 8, &c);
  EXPECT_EQ(c, 0x0000C0FFu);
  int lit = 0;
  for (int yy = 0; yy < 16; ++yy)
    for (int xx = 0; xx < 80; ++xx) lit += game.buffer.GetPixelFast(xx, yy) == 0x00FFFFFF;
  EXPECT_GT(lit, 20);
  // The effect was mixed into the output.
  int loud = 0;
  for (std::int16_t s : heard) loud += s > 2000 || s < -2000;
  EXPECT_GT(loud, 100);

  // [tutorial:end]
  DeleteBankFont(font);
  DeleteAllSprites(game.window);
  FreeCollisionMap(game.window);
  DestroyGameWindow(game.window);
  DestroyImageBank(game.bank);  // images, sounds and channels
  sounds->Delete();
  soundFilters->Free();
  soundFilters->Delete();
  filters.Free();
  // [end]
}

}  // namespace
