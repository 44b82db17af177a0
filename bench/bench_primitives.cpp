// Fills, primitives and flood fill on a 640 x 480 x 32 surface beside their peers, all
// without antialiasing:
//   filled 200 x 150 rectangle   SDL_FillRect, SDL2_gfx boxColor (software renderer on the
//                                target), pixman_fill, cairo rectangle fill
//   filled ellipse 200 x 150     SDL2_gfx filledEllipseColor, cairo arc fill
//   ellipse outlines, widths 1, 5 SDL2_gfx ellipseColor (width 1 only), cairo stroke
//   10,000 random lines, w 1, 5  SDL2_gfx lineColor / thickLineColor, cairo stroke
//   filled 20-point star         SDL2_gfx filledPolygonColor, cairo even-odd fill
//   gradient ellipse, effect 1   cairo linear gradient clipped to the ellipse, painted at
//                                parameter 64 (half)  with cairo_paint_with_alpha
//   whole-surface gradient       pixman linear gradient, cairo linear gradient
//   whole-surface 64 x 64 tiling pixman repeat, cairo repeating pattern
//   flood fill                   OpenCV floodFill, 4-connected with a fixed per-channel range,
//                                on an open area and on a maze at tolerances 0 and 30
// Flood fills alternate between two fill colours, so that each iteration refills the same
// region without restoring the image.
#include <SDL.h>
#include <SDL2_gfxPrimitives.h>
#include <cairo.h>
#include <pixman.h>

#include <cmath>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

#include <vexa/fill_style.h>
#include <vexa/library.h>
#include <vexa/surface_object.h>

#include "bench_pairs.h"
#include "render/context_buffer.h"

namespace {

constexpr int kW = 640, kH = 480;

std::unique_ptr<cSurfaceObject> Make(int width, int height) {
  cSurfaceObject* prototype = nullptr;
  GetPrototype(&prototype, 32, kTypeMemory, kDriverNone);
  auto s = std::make_unique<cSurfaceObject>();
  s->Create(width, height, prototype);
  s->FillColor(0x202020);
  return s;
}

// Every peer draws into its own 640 x 480 x 32 buffer.
struct Peers {
  std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(kW * kH, 0xFF202020u);
  SDL_Surface* sdl = nullptr;
  SDL_Renderer* renderer = nullptr;
  pixman_image_t* pixman = nullptr;
  cairo_surface_t* cairoSurface = nullptr;
  cairo_t* cairo = nullptr;

  Peers() {
    sdl = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), kW, kH, 32, kW * 4,
                                             SDL_PIXELFORMAT_ARGB8888);
    renderer = SDL_CreateSoftwareRenderer(sdl);
    pixman = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, pixels.data(), kW * 4);
    cairoSurface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(pixels.data()), CAIRO_FORMAT_RGB24, kW, kH, kW * 4);
    cairo = cairo_create(cairoSurface);
    cairo_set_antialias(cairo, CAIRO_ANTIALIAS_NONE);
  }
};

Peers& SharedPeers() {
  static Peers peers;
  return peers;
}

cSurfaceObject& Screen() {
  static auto screen = Make(kW, kH);
  return *screen;
}

// The same screen with a device context, for the shapes drawn with pens and brushes.
cSurfaceObject& ContextScreen() {
  static cSurfaceObject* screen = [] {
    auto* object = new cSurfaceObject();
    object->SetImplementation(vexa::cContextBufferSurface::Make(Screen().implementation, kW, kH));
    object->FillColor(0x202020);
    return object;
  }();
  return *screen;
}

const std::vector<POINT>& Star() {
  static const std::vector<POINT> star = [] {
    std::vector<POINT> out;
    for (int i = 0; i < 20; ++i) {  // a 20-point star drawn as one self-crossing outline
      const double a = i * 2 * 3.14159265358979 * 9 / 20;
      out.push_back(POINT{320 + static_cast<int>(200 * std::cos(a)),
                          240 + static_cast<int>(200 * std::sin(a))});
    }
    return out;
  }();
  return star;
}

struct Segment {
  int x1, y1, x2, y2;
};

const std::vector<Segment>& RandomLines() {
  static const std::vector<Segment> lines = [] {
    std::mt19937 rng(10000);
    std::vector<Segment> out(10000);
    for (Segment& s : out)
      s = Segment{static_cast<int>(rng() % kW), static_cast<int>(rng() % kH),
                  static_cast<int>(rng() % kW), static_cast<int>(rng() % kH)};
    return out;
  }();
  return lines;
}

void RegisterRectangle() {
  vexabench::RegisterCase(
      "fill_rect_200x150", "Mpix/s", 200.0 * 150,
      {{"vexa", [] { Screen().DrawRectangle(100, 100, 300, 250, 0x3366CC, 0, 0, 1); }},
       {"SDL_FillRect",
        [] {
          SDL_Rect r{100, 100, 200, 150};
          SDL_FillRect(SharedPeers().sdl, &r, 0xFFCC6633u);
        }},
       {"boxColor", [] { boxColor(SharedPeers().renderer, 100, 100, 299, 249, 0xFFCC6633u); }},
       {"pixman_fill",
        [] { pixman_fill(SharedPeers().pixels.data(), kW, 32, 100, 100, 200, 150, 0xFFCC6633u); }},
       {"cairo", [] {
          cairo_t* c = SharedPeers().cairo;
          cairo_set_source_rgb(c, 0.8, 0.4, 0.2);
          cairo_rectangle(c, 100, 100, 200, 150);
          cairo_fill(c);
        }}});
}

// The path of the benchmarks' ellipse around (200, 175).
void CairoEllipse(cairo_t* c, double radiusX, double radiusY) {
  cairo_save(c);
  cairo_translate(c, 200, 175);
  cairo_scale(c, radiusX, radiusY);
  cairo_arc(c, 0, 0, 1, 0, 2 * 3.14159265358979);
  cairo_restore(c);
}

void RegisterEllipses() {
  vexabench::RegisterCase(
      "ellipse_fill_200x150", "Mpix/s", 3.14159 * 100 * 75,
      {{"vexa", [] { ContextScreen().DrawEllipse(100, 100, 300, 250, 0x3366CC, 0, 0, 1); }},
       {"filledEllipseColor",
        [] { filledEllipseColor(SharedPeers().renderer, 200, 175, 100, 75, 0xFFCC6633u); }},
       {"cairo", [] {
          cairo_t* c = SharedPeers().cairo;
          cairo_set_source_rgb(c, 0.8, 0.4, 0.2);
          CairoEllipse(c, 100, 75);
          cairo_fill(c);
        }}});
  for (int width : {1, 5}) {
    std::vector<vexabench::Impl> impls = {
        {"vexa", [width] { ContextScreen().DrawEllipse(100, 100, 300, 250, width, 0x3366CC); }},
        {"cairo", [width] {
           cairo_t* c = SharedPeers().cairo;
           cairo_set_source_rgb(c, 0.8, 0.4, 0.2);
           cairo_set_line_width(c, width);
           CairoEllipse(c, 100 - width / 2.0, 75 - width / 2.0);
           cairo_stroke(c);
         }}};
    if (width == 1)
      impls.push_back({"ellipseColor", [] {
                         ellipseColor(SharedPeers().renderer, 200, 175, 100, 75, 0xFFCC6633u);
                       }});
    vexabench::RegisterCase("ellipse_outline_w" + std::to_string(width), "ellipses/s", 1.0,
                            std::move(impls));
  }
}

void RegisterStar() {
  vexabench::RegisterCase("star_20_points_evenodd", "stars/s", 1.0,
                          {{"vexa",
                            [] {
                              ContextScreen().DrawPolygon(Star().data(),
                                                          static_cast<int>(Star().size()), 0x3366CC,
                                                          0, 0, 1);
                            }},
                           {"filledPolygonColor",
                            [] {
                              static std::vector<Sint16> xs, ys;
                              if (xs.empty())
                                for (const POINT& p : Star()) {
                                  xs.push_back(static_cast<Sint16>(p.x));
                                  ys.push_back(static_cast<Sint16>(p.y));
                                }
                              filledPolygonColor(SharedPeers().renderer, xs.data(), ys.data(),
                                                 static_cast<int>(xs.size()), 0xFFCC6633u);
                            }},
                           {"cairo", [] {
                              cairo_t* c = SharedPeers().cairo;
                              cairo_set_source_rgb(c, 0.8, 0.4, 0.2);
                              cairo_set_fill_rule(c, CAIRO_FILL_RULE_EVEN_ODD);
                              cairo_move_to(c, Star()[0].x, Star()[0].y);
                              for (const POINT& p : Star()) cairo_line_to(c, p.x, p.y);
                              cairo_close_path(c);
                              cairo_fill(c);
                            }}});
}

void RegisterGradients() {
  vexabench::RegisterCase("gradient_ellipse_effect1_64", "Mpix/s", 3.14159 * 100 * 75,
                          {{"vexa",
                            [] {
                              CFillDir gradient(0x0000FF, 0xFF0000, 1, 0, 0);
                              Screen().DrawEllipseStyled(100, 100, 300, 250, &gradient, 0, nullptr,
                                                         0, 1, 64, 1);
                            }},
                           {"cairo", [] {
                              cairo_t* c = SharedPeers().cairo;
                              cairo_pattern_t* g = cairo_pattern_create_linear(0, 100, 0, 250);
                              cairo_pattern_add_color_stop_rgb(g, 0, 1, 0, 0);
                              cairo_pattern_add_color_stop_rgb(g, 1, 0, 0, 1);
                              cairo_save(c);
                              CairoEllipse(c, 100, 75);
                              cairo_clip(c);
                              cairo_set_source(c, g);
                              cairo_paint_with_alpha(c, 0.5);
                              cairo_restore(c);
                              cairo_pattern_destroy(g);
                            }}});
  vexabench::RegisterCase(
      "gradient_640x480", "Mpix/s", static_cast<double>(kW) * kH,
      {{"vexa",
        [] {
          CFillDir gradient(0x0000FF, 0xFF0000, 1, 0, 0);
          gradient.Fill(&ContextScreen(), kW, kH, 0);
        }},
       {"pixman_gradient",
        [] {
          static pixman_image_t* g = [] {
            pixman_gradient_stop_t stops[2] = {{0, {0xFFFF, 0, 0, 0xFFFF}},
                                               {pixman_int_to_fixed(1), {0, 0, 0xFFFF, 0xFFFF}}};
            pixman_point_fixed_t p1{0, 0}, p2{0, pixman_int_to_fixed(kH)};
            return pixman_image_create_linear_gradient(&p1, &p2, stops, 2);
          }();
          pixman_image_composite32(PIXMAN_OP_SRC, g, nullptr, SharedPeers().pixman, 0, 0, 0, 0, 0,
                                   0, kW, kH);
        }},
       {"cairo", [] {
          cairo_t* c = SharedPeers().cairo;
          cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, kH);
          cairo_pattern_add_color_stop_rgb(g, 0, 1, 0, 0);
          cairo_pattern_add_color_stop_rgb(g, 1, 0, 0, 1);
          cairo_set_source(c, g);
          cairo_paint(c);
          cairo_pattern_destroy(g);
        }}});
}

void RegisterLines() {
  vexabench::RegisterCase("lines_10000_w1", "lines/s", 10000.0,
                          {{"vexa",
                            [] {
                              cSurfaceObject& s = Screen();
                              for (const Segment& l : RandomLines())
                                s.DrawLine(l.x1, l.y1, l.x2, l.y2, 1, 0x3366CC);
                            }},
                           {"lineColor",
                            [] {
                              SDL_Renderer* r = SharedPeers().renderer;
                              for (const Segment& l : RandomLines())
                                lineColor(r, l.x1, l.y1, l.x2, l.y2, 0xFFCC6633u);
                            }},
                           {"cairo", [] {
                              cairo_t* c = SharedPeers().cairo;
                              cairo_set_source_rgb(c, 0.8, 0.4, 0.2);
                              cairo_set_line_width(c, 1.0);
                              for (const Segment& l : RandomLines()) {
                                cairo_move_to(c, l.x1 + 0.5, l.y1 + 0.5);
                                cairo_line_to(c, l.x2 + 0.5, l.y2 + 0.5);
                                cairo_stroke(c);
                              }
                            }}});
}

struct TileSet {
  std::unique_ptr<cSurfaceObject> tile = Make(64, 64);
  std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(64 * 64);
  pixman_image_t* pixman = nullptr;
  cairo_pattern_t* cairo = nullptr;
  cairo_surface_t* cairoTile = nullptr;
  TileSet() {
    std::mt19937 rng(64);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const std::uint32_t c = rng() & 0xFFFFFF;
        tile->SetPixelColor(x, y, c);
        pixels[y * 64 + x] = 0xFF000000u | c;
      }
    pixman = pixman_image_create_bits(PIXMAN_x8r8g8b8, 64, 64, pixels.data(), 64 * 4);
    pixman_image_set_repeat(pixman, PIXMAN_REPEAT_NORMAL);
    cairoTile = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels.data()),
                                                    CAIRO_FORMAT_RGB24, 64, 64, 64 * 4);
    cairo = cairo_pattern_create_for_surface(cairoTile);
    cairo_pattern_set_extend(cairo, CAIRO_EXTEND_REPEAT);
  }
};

TileSet& Tiles() {
  static TileSet set;
  return set;
}

void RegisterWideLines() {
  vexabench::RegisterCase("lines_10000_w5", "lines/s", 10000.0,
                          {{"vexa",
                            [] {
                              cSurfaceObject& s = ContextScreen();
                              for (const Segment& l : RandomLines())
                                s.DrawLine(l.x1, l.y1, l.x2, l.y2, 5, 0x3366CC);
                            }},
                           {"thickLineColor",
                            [] {
                              SDL_Renderer* r = SharedPeers().renderer;
                              for (const Segment& l : RandomLines())
                                thickLineColor(r, l.x1, l.y1, l.x2, l.y2, 5, 0xFFCC6633u);
                            }},
                           {"cairo", [] {
                              cairo_t* c = SharedPeers().cairo;
                              cairo_set_source_rgb(c, 0.8, 0.4, 0.2);
                              cairo_set_line_width(c, 5.0);
                              for (const Segment& l : RandomLines()) {
                                cairo_move_to(c, l.x1 + 0.5, l.y1 + 0.5);
                                cairo_line_to(c, l.x2 + 0.5, l.y2 + 0.5);
                                cairo_stroke(c);
                              }
                            }}});
}

void RegisterMosaic() {
  vexabench::RegisterCase("mosaic_640x480_tile64", "Mpix/s", static_cast<double>(kW) * kH,
                          {{"vexa",
                            [] {
                              CFillMosaic mosaic(Tiles().tile.get(), 5, 7);
                              mosaic.Fill(&Screen(), kW, kH, 0);
                            }},
                           {"pixman_repeat",
                            [] {
                              pixman_image_composite32(PIXMAN_OP_SRC, Tiles().pixman, nullptr,
                                                       SharedPeers().pixman, 5, 7, 0, 0, 0, 0, kW,
                                                       kH);
                            }},
                           {"cairo", [] {
                              cairo_t* c = SharedPeers().cairo;
                              cairo_set_source(c, Tiles().cairo);
                              cairo_paint(c);
                            }}});
}

// The flood-fill scenes: an open area (uniform, or textured within +-12 for tolerance 30)
// and a serpentine maze of 2-pixel walls every 16 columns.
struct FloodScene {
  std::unique_ptr<cSurfaceObject> surface;
  cv::Mat image;
  bool flip = false;
};

FloodScene MakeScene(bool maze, bool textured) {
  FloodScene scene;
  scene.surface = Make(kW, kH);
  scene.image = cv::Mat(kH, kW, CV_8UC3);
  std::mt19937 rng(maze * 2 + textured);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      int v = 100 + (textured ? static_cast<int>(rng() % 25) - 12 : 0);
      const bool wall = maze && x % 16 >= 14 && ((x / 16) % 2 ? y >= 8 : y < kH - 8);
      if (wall) v = 250;
      scene.surface->SetPixelColor(x, y, static_cast<COLORREF>(v * 0x010101));
      scene.image.at<cv::Vec3b>(y, x) =
          cv::Vec3b(static_cast<uchar>(v), static_cast<uchar>(v), static_cast<uchar>(v));
    }
  return scene;
}

void RegisterFlood(const char* name, bool maze, int tolerance) {
  auto scene = std::make_shared<FloodScene>(MakeScene(maze, tolerance > 0));
  auto peer = std::make_shared<FloodScene>(MakeScene(maze, tolerance > 0));
  vexabench::RegisterCase(name, "Mpix/s", static_cast<double>(kW) * kH,
                          {{"vexa",
                            [scene, tolerance] {
                              scene->flip = !scene->flip;
                              scene->surface->FloodFillNoBounds(
                                  3, 3, scene->flip ? 0x0000FF : 0x00FF00, 0, tolerance, 0, 0, 0);
                            }},
                           {"opencv", [peer, tolerance] {
                              peer->flip = !peer->flip;
                              const cv::Scalar range(tolerance, tolerance, tolerance);
                              cv::floodFill(
                                  peer->image, cv::Point(3, 3),
                                  peer->flip ? cv::Scalar(255, 0, 0) : cv::Scalar(0, 255, 0),
                                  nullptr, range, range, 4 | cv::FLOODFILL_FIXED_RANGE);
                            }}});
}

const vexabench::Registrar kRegistrar([] {
  if (!vexabench::KernelsAvailable()) return;
  RegisterRectangle();
  RegisterEllipses();
  RegisterStar();
  RegisterGradients();
  RegisterLines();
  RegisterWideLines();
  RegisterMosaic();
  RegisterFlood("flood_open_tol0", false, 0);
  RegisterFlood("flood_open_tol30", false, 30);
  RegisterFlood("flood_maze_tol0", true, 0);
  RegisterFlood("flood_maze_tol30", true, 30);
});

}  // namespace
