// vexa-assetgen: writes the demo game's asset files, computed from nothing but this source.
//
//   vexa-assetgen OUTDIR
//
// sprites.png  128 x 32, RGBA: four 32 x 32 frames (ship, orb, star, ring) with soft alpha
// coins.gif    animated, eight 24 x 24 frames of a turning coin, palette index 0 transparent
// background.jpg  640 x 480 sky, hills and stars
// tiles.bmp    128 x 32, 24-bit: four 32 x 32 wall tiles on a black (transparent) key
// hit.wav      0.12 s, 16-bit mono 22050 Hz: a falling square blip
// bounce.ogg   0.25 s, Vorbis mono 22050 Hz: a plucked tone
// tune.mid     a standard MIDI file (format 0): a short looping tune with bass and drums
//
// Every file is the same byte for byte on every run: no clocks, no random serial numbers.
// The files are made by the project and carry its licence.
#include <cstdio>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <sndfile.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Rgba {
  std::uint8_t r, g, b, a;
};

struct Image {
  int w, h;
  std::vector<Rgba> px;
  Image(int width, int height)
      : w(width), h(height), px(size_t(width) * height, Rgba{0, 0, 0, 0}) {}
  Rgba& at(int x, int y) { return px[size_t(y) * w + x]; }
};

std::uint8_t Clamp(double v) { return std::uint8_t(std::clamp(v, 0.0, 255.0) + 0.5); }

// ---- pictures -------------------------------------------------------------------------------

void DrawShip(Image& im, int ox) {
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      // A triangle pointing up with a cockpit; solid inside, a 1-pixel soft edge.
      const double cx = x + 0.5 - 16, cy = y + 0.5;
      const double half = cy * 0.45;  // half width at this row
      const double edge = std::min(half - std::abs(cx), 30.0 - cy);
      if (edge <= -1) continue;
      const double a = std::clamp(edge + 1.0, 0.0, 1.0);
      const double cockpit = std::hypot(cx, cy - 18) < 4 ? 1 : 0;
      im.at(ox + x, y) = {Clamp(80 + 120 * cockpit + y * 3), Clamp(200 - y * 2 + 55 * cockpit),
                          Clamp(255 - 100 * cockpit), Clamp(255 * a)};
    }
  }
}

void DrawOrb(Image& im, int ox) {
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const double r = std::hypot(x + 0.5 - 16, y + 0.5 - 16);
      if (r >= 15) continue;
      const double glow = 1.0 - r / 15.0;
      im.at(ox + x, y) = {Clamp(255 * glow + 80), Clamp(180 * glow + 40), Clamp(60 + 40 * glow),
                          Clamp(255 * std::sqrt(glow))};
    }
  }
}

void DrawStar(Image& im, int ox) {
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const double dx = x + 0.5 - 16, dy = y + 0.5 - 16;
      const double r = std::hypot(dx, dy), t = std::atan2(dy, dx);
      const double limit = 8 + 6 * std::cos(5 * t);
      if (r > limit) continue;
      im.at(ox + x, y) = {255, Clamp(230 - r * 6), Clamp(60 + r * 4), 255};
    }
  }
}

void DrawRing(Image& im, int ox) {
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const double r = std::hypot(x + 0.5 - 16, y + 0.5 - 16);
      if (r < 9 || r > 15) continue;
      const double a = 1.0 - std::abs(r - 12) / 3.0;
      im.at(ox + x, y) = {Clamp(90 + 4 * x), Clamp(255 - 3 * y), 255, Clamp(255 * a)};
    }
  }
}

// Frame f of the turning coin: an ellipse whose width follows the cosine of the turn.
std::vector<std::uint8_t> CoinFrame(int f) {
  std::vector<std::uint8_t> idx(24 * 24, 0);
  const double half = std::max(1.0, 11.0 * std::abs(std::cos(f * 3.14159265358979 / 8)));
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 24; ++x) {
      const double dx = (x + 0.5 - 12) / half, dy = (y + 0.5 - 12) / 11.0;
      const double d = dx * dx + dy * dy;
      if (d > 1) continue;
      idx[size_t(y) * 24 + x] = d > 0.7 ? 1 : (x + f) % 6 < 2 ? 3 : 2;
    }
  }
  return idx;
}

Image Background() {
  Image im(640, 480);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const double t = y / 480.0;
      Rgba c{Clamp(20 + 60 * t), Clamp(24 + 40 * t), Clamp(70 + 90 * t), 255};
      const double hill = 380 + 30 * std::sin(x / 60.0) + 14 * std::sin(x / 17.0 + 1);
      if (y > hill) c = {Clamp(30 + (y - hill) / 3), Clamp(90 - (y - hill) / 4), 40, 255};
      // A fixed scatter of stars: a hash of the position, no random generator.
      const unsigned hsh = (unsigned(x) * 73856093u) ^ (unsigned(y) * 19349663u);
      if (y < hill - 40 && hsh % 997 == 0) c = {240, 240, 255, 255};
      im.at(x, y) = c;
    }
  }
  return im;
}

Image Tiles() {
  Image im(128, 32);
  for (int t = 0; t < 4; ++t) {
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        Rgba c{0, 0, 0, 255};  // black is the key
        const double dx = x + 0.5 - 16, dy = y + 0.5 - 16;
        switch (t) {
          case 0:  // bricks, rounded corners
            if (std::max(std::abs(dx), std::abs(dy)) < 16 &&
                std::hypot(std::max(0.0, std::abs(dx) - 12), std::max(0.0, std::abs(dy) - 12)) <
                    4) {
              const bool mortar = y % 8 == 0 || (x + (y / 8 % 2) * 8) % 16 == 0;
              c = mortar ? Rgba{150, 150, 140, 255} : Rgba{Clamp(160 + (x * 7 % 40)), 60, 40, 255};
            }
            break;
          case 1:  // a stone disc
            if (std::hypot(dx, dy) < 15) c = {Clamp(110 + dx * 3), Clamp(110 + dy * 2), 120, 255};
            break;
          case 2:  // a diamond block
            if (std::abs(dx) + std::abs(dy) < 16)
              c = {60, Clamp(140 + dx * 4), Clamp(200 - dy * 3), 255};
            break;
          default:  // a crate with a hole
            if (std::max(std::abs(dx), std::abs(dy)) < 15 && std::hypot(dx, dy) > 5) {
              const bool plank = (x + y) % 10 < 2 || (x - y + 40) % 10 < 2;
              c = plank ? Rgba{120, 80, 30, 255} : Rgba{190, 140, 70, 255};
            }
        }
        im.at(t * 32 + x, y) = c;
      }
    }
  }
  return im;
}

// ---- writers --------------------------------------------------------------------------------

bool WritePng(const std::string& path, Image& im) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, im.w, im.h, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < im.h; ++y) png_write_row(png, reinterpret_cast<png_bytep>(&im.at(0, y)));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

bool WriteGif(const std::string& path) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  if (!gif) return false;
  GifColorType colors[4] = {{0, 0, 0}, {140, 90, 10}, {250, 200, 40}, {255, 250, 200}};
  ColorMapObject* map = GifMakeMapObject(4, colors);
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, 24, 24, 2, 0, map) == GIF_OK;
  // Loop for ever.
  const unsigned char loop[3] = {1, 0, 0};
  ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
       EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK &&
       EGifPutExtensionBlock(gif, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
  for (int f = 0; f < 8 && ok; ++f) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSE_BACKGROUND;
    gcb.DelayTime = 8;
    gcb.TransparentColor = 0;
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK &&
         EGifPutImageDesc(gif, 0, 0, 24, 24, false, nullptr) == GIF_OK;
    std::vector<std::uint8_t> idx = CoinFrame(f);
    for (int y = 0; y < 24 && ok; ++y) ok = EGifPutLine(gif, &idx[size_t(y) * 24], 24) == GIF_OK;
  }
  GifFreeMapObject(map);
  return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

bool WriteJpeg(const std::string& path, Image& im) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = JDIMENSION(im.w);
  c.image_height = JDIMENSION(im.h);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<std::uint8_t> row(size_t(im.w) * 3);
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < im.w; ++x) {
      const Rgba p = im.at(x, int(c.next_scanline));
      row[size_t(x) * 3] = p.r, row[size_t(x) * 3 + 1] = p.g, row[size_t(x) * 3 + 2] = p.b;
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  return std::fclose(f) == 0;
}

void Put16(std::vector<std::uint8_t>& v, unsigned x) {
  v.push_back(std::uint8_t(x)), v.push_back(std::uint8_t(x >> 8));
}
void Put32(std::vector<std::uint8_t>& v, unsigned x) { Put16(v, x & 0xFFFF), Put16(v, x >> 16); }

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// A 24-bit bottom-up bitmap.
bool WriteBmp(const std::string& path, Image& im) {
  const unsigned row = unsigned(im.w * 3 + 3) & ~3u, size = row * unsigned(im.h);
  std::vector<std::uint8_t> v{'B', 'M'};
  Put32(v, 54 + size), Put32(v, 0), Put32(v, 54);
  Put32(v, 40), Put32(v, unsigned(im.w)), Put32(v, unsigned(im.h)), Put16(v, 1), Put16(v, 24);
  Put32(v, 0), Put32(v, size), Put32(v, 2835), Put32(v, 2835), Put32(v, 0), Put32(v, 0);
  for (int y = im.h - 1; y >= 0; --y) {
    for (int x = 0; x < im.w; ++x) {
      const Rgba p = im.at(x, y);
      v.push_back(p.b), v.push_back(p.g), v.push_back(p.r);
    }
    for (unsigned pad = unsigned(im.w) * 3; pad < row; ++pad) v.push_back(0);
  }
  return WriteFile(path, v);
}

constexpr int kRate = 22050;

bool WriteWav(const std::string& path) {
  std::vector<short> s(size_t(kRate * 12 / 100));
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = double(i) / kRate, f = 880 - 3000 * t;
    const double phase = std::fmod(t * f, 1.0);
    const double env = 1.0 - double(i) / double(s.size());
    s[i] = short((phase < 0.5 ? 1 : -1) * 9000 * env);
  }
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return false;
  const bool ok = sf_write_short(f, s.data(), sf_count_t(s.size())) == sf_count_t(s.size());
  return sf_close(f) == 0 && ok;
}

// Vorbis through libvorbis itself, with a fixed stream serial number, so that the file is the
// same on every run.
bool WriteOgg(const std::string& path) {
  const int n = kRate / 4;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 1, kRate, 0.3f) != 0) return false;
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 0x56455841);
  ogg_packet h1, h2, h3;
  vorbis_analysis_headerout(&vd, &vc, &h1, &h2, &h3);
  ogg_stream_packetin(&os, &h1);
  ogg_stream_packetin(&os, &h2);
  ogg_stream_packetin(&os, &h3);
  std::vector<std::uint8_t> out;
  ogg_page page;
  auto take = [&](const ogg_page& p) {
    out.insert(out.end(), p.header, p.header + p.header_len);
    out.insert(out.end(), p.body, p.body + p.body_len);
  };
  while (ogg_stream_flush(&os, &page)) take(page);
  float** buffer = vorbis_analysis_buffer(&vd, n);
  for (int i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    buffer[0][i] = float(0.45 * std::exp(-t * 12) *
                         (std::sin(2 * M_PI * 330 * t) + 0.4 * std::sin(2 * M_PI * 660 * t)));
  }
  vorbis_analysis_wrote(&vd, n);
  vorbis_analysis_wrote(&vd, 0);
  bool eos = false;
  while (!eos && vorbis_analysis_blockout(&vd, &vb) == 1) {
    vorbis_analysis(&vb, nullptr);
    vorbis_bitrate_addblock(&vb);
    ogg_packet op;
    while (vorbis_bitrate_flushpacket(&vd, &op)) {
      ogg_stream_packetin(&os, &op);
      while (!eos && ogg_stream_pageout(&os, &page)) {
        take(page);
        if (ogg_page_eos(&page)) eos = true;
      }
    }
  }
  while (ogg_stream_flush(&os, &page)) take(page);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return WriteFile(path, out);
}

// ---- MIDI -------------------------------------------------------------------------------------

void PutVarLen(std::vector<std::uint8_t>& v, unsigned x) {
  std::uint8_t bytes[5];
  int n = 0;
  bytes[n++] = std::uint8_t(x & 0x7F);
  while (x >>= 7) bytes[n++] = std::uint8_t((x & 0x7F) | 0x80);
  while (n) v.push_back(bytes[--n]);
}

struct Event {
  unsigned tick;
  std::uint8_t status, a, b;
};

bool WriteMidi(const std::string& path) {
  constexpr unsigned kBeat = 96;  // ticks per quarter note
  std::vector<Event> ev;
  // Melody (channel 0, a square lead), bass (channel 1), hi-hat and kick (channel 9).
  static const int kMelody[] = {76, 79, 83, 81, 79, 76, 74, 76, 72, 74, 76, 79, 77, 76, 74, 72};
  static const int kBass[] = {45, 45, 48, 48, 43, 43, 45, 45};
  ev.push_back({0, 0xC0, 80, 0});
  ev.push_back({0, 0xC1, 33, 0});
  for (int i = 0; i < 16; ++i) {
    const unsigned t = unsigned(i) * kBeat / 2 * 2;
    ev.push_back({t, 0x90, std::uint8_t(kMelody[i]), 90});
    ev.push_back({t + kBeat - 8, 0x80, std::uint8_t(kMelody[i]), 0});
  }
  for (int i = 0; i < 8; ++i) {
    const unsigned t = unsigned(i) * kBeat * 2;
    ev.push_back({t, 0x91, std::uint8_t(kBass[i]), 100});
    ev.push_back({t + kBeat * 2 - 10, 0x81, std::uint8_t(kBass[i]), 0});
  }
  for (int i = 0; i < 32; ++i) {
    const unsigned t = unsigned(i) * kBeat / 2;
    const std::uint8_t drum = i % 4 == 0 ? 36 : 42;
    ev.push_back({t, 0x99, drum, std::uint8_t(i % 4 == 0 ? 110 : 60)});
    ev.push_back({t + kBeat / 4, 0x89, drum, 0});
  }
  std::stable_sort(ev.begin(), ev.end(),
                   [](const Event& x, const Event& y) { return x.tick < y.tick; });
  std::vector<std::uint8_t> track;
  // Tempo: 140 beats a minute.
  track.insert(track.end(), {0x00, 0xFF, 0x51, 0x03});
  const unsigned usPerBeat = 60000000u / 140;
  track.push_back(std::uint8_t(usPerBeat >> 16)), track.push_back(std::uint8_t(usPerBeat >> 8));
  track.push_back(std::uint8_t(usPerBeat));
  unsigned last = 0;
  for (const Event& e : ev) {
    PutVarLen(track, e.tick - last);
    last = e.tick;
    track.push_back(e.status);
    track.push_back(e.a);
    if ((e.status & 0xF0) != 0xC0) track.push_back(e.b);
  }
  PutVarLen(track, kBeat * 16 - last);
  track.insert(track.end(), {0xFF, 0x2F, 0x00});
  std::vector<std::uint8_t> file{
      'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, std::uint8_t(kBeat >> 8), std::uint8_t(kBeat)};
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  const auto size = unsigned(track.size());
  for (int shift = 24; shift >= 0; shift -= 8) file.push_back(std::uint8_t(size >> shift));
  file.insert(file.end(), track.begin(), track.end());
  return WriteFile(path, file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vexa-assetgen OUTDIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  Image sheet(128, 32);
  DrawShip(sheet, 0), DrawOrb(sheet, 32), DrawStar(sheet, 64), DrawRing(sheet, 96);
  Image background = Background(), tiles = Tiles();
  struct Step {
    const char* name;
    bool ok;
  } steps[] = {{"sprites.png", WritePng(dir + "/sprites.png", sheet)},
               {"coins.gif", WriteGif(dir + "/coins.gif")},
               {"background.jpg", WriteJpeg(dir + "/background.jpg", background)},
               {"tiles.bmp", WriteBmp(dir + "/tiles.bmp", tiles)},
               {"hit.wav", WriteWav(dir + "/hit.wav")},
               {"bounce.ogg", WriteOgg(dir + "/bounce.ogg")},
               {"tune.mid", WriteMidi(dir + "/tune.mid")}};
  int failed = 0;
  for (const Step& s : steps) {
    if (!s.ok)
      std::fprintf(stderr, "vexa-assetgen: cannot write %s/%s\n", dir.c_str(), s.name), ++failed;
  }
  return failed ? 1 : 0;
}
