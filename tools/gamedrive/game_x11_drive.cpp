// Plays the demo game as a person would, on a real X server: starts it windowed, presses
// arrow keys through the XTEST extension, takes a screenshot of the window (XGetImage), and
// compares it with the frame the headless game draws for the same keys.
//
//   vexa-game-x11-drive VEXA_DEMO [TRACK]
//
// TRACK is a string of L R U D (one letter: one press, eight frames with that key held).
// Exit status 0 when the screenshot equals the headless frame.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;

// The game's final-frame checksum as the headless run prints it.
unsigned HeadlessChecksum(const std::string& demo, const std::string& track,
                          const std::string& out) {
  const std::string command = "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy '" + demo +
                              "' game --headless --quiet --track " + track + " --out '" + out +
                              "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return 0;
  char line[256];
  unsigned sum = 0;
  while (std::fgets(line, sizeof line, pipe)) std::sscanf(line, "final frame checksum %x", &sum);
  pclose(pipe);
  return sum;
}

// The game's window: the top-level window named "vexa game" (searched through the tree).
Window FindWindow(Display* display, Window from) {
  char* name = nullptr;
  if (XFetchName(display, from, &name) && name) {
    const bool match = std::strcmp(name, "vexa game") == 0;
    XFree(name);
    if (match) return from;
  }
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, from, &root, &parent, &children, &count)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && !found; ++i) found = FindWindow(display, children[i]);
  if (children) XFree(children);
  return found;
}

struct Game {
  pid_t pid = -1;
  FILE* out = nullptr;
  // The next line the game prints, or "" when it ended.
  std::string Line() {
    char line[256];
    if (!std::fgets(line, sizeof line, out)) return "";
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
  }
  bool WaitFor(const std::string& prefix) {
    for (std::string s = Line(); !s.empty() || !std::feof(out); s = Line()) {
      if (s.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
  }
};

Game StartWindowed(const std::string& demo, const std::string& out) {
  int fds[2];
  Game game;
  if (pipe(fds) != 0) return game;
  game.pid = fork();
  if (game.pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    execl(demo.c_str(), demo.c_str(), "game", "--step", "--scripted", "--quiet", "--out",
          out.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  game.out = fdopen(fds[0], "r");
  return game;
}

void Key(Display* display, KeySym sym, bool down) {
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, sym), down ? True : False, CurrentTime);
  XFlush(display);
}

unsigned ScreenChecksum(Display* display, Window window) {
  XImage* image = XGetImage(display, window, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
  if (!image) return 0;
  uLong crc = crc32(0, Z_NULL, 0);
  std::vector<unsigned char> row(size_t(kWidth) * 3);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      row[size_t(x) * 3] = static_cast<unsigned char>(p >> 16);  // red
      row[size_t(x) * 3 + 1] = static_cast<unsigned char>(p >> 8);
      row[size_t(x) * 3 + 2] = static_cast<unsigned char>(p);
    }
    crc = crc32(crc, row.data(), uInt(row.size()));
  }
  XDestroyImage(image);
  return unsigned(crc);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: vexa-game-x11-drive VEXA_DEMO [TRACK]\n");
    return 2;
  }
  const std::string demo = argv[1];
  const std::string track = argc > 2 ? argv[2] : "RRRUUULLDDDDRLUR";
  char dir[] = "/tmp/vexa-game-x11-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const unsigned expected = HeadlessChecksum(demo, track, dir);
  if (!expected) {
    std::fprintf(stderr, "FAIL: the headless game printed no checksum\n");
    return 1;
  }
  Display* display = nullptr;
  for (int i = 0; i < 100 && !display; ++i) {
    display = XOpenDisplay(nullptr);
    if (!display) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  int event = 0, error = 0, major = 0, minor = 0;
  if (!display || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
    std::fprintf(stderr, "FAIL: no X server with the XTEST extension\n");
    return 1;
  }
  Game game = StartWindowed(demo, dir);
  if (!game.out || !game.WaitFor("ready")) {
    std::fprintf(stderr, "FAIL: the windowed game did not start\n");
    return 1;
  }
  Window window = 0;
  for (int i = 0; i < 100 && !window; ++i) {
    window = FindWindow(display, DefaultRootWindow(display));
    if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!window) {
    std::fprintf(stderr, "FAIL: no window named \"vexa game\"\n");
    kill(game.pid, SIGTERM);
    return 1;
  }
  // Give the window the keyboard.
  XWindowAttributes attributes;
  for (int i = 0; i < 100; ++i) {
    XGetWindowAttributes(display, window, &attributes);
    if (attributes.map_state == IsViewable) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  XSync(display, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  bool ok = true;
  for (char c : track) {
    const KeySym sym = c == 'L' ? XK_Left : c == 'R' ? XK_Right : c == 'U' ? XK_Up : XK_Down;
    Key(display, sym, true);
    ok = game.WaitFor("step");
    Key(display, sym, false);
    ok = ok && game.WaitFor("idle");
    if (!ok) break;
  }
  unsigned shown = 0;
  if (ok) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    XSync(display, False);
    shown = ScreenChecksum(display, window);
  }
  Key(display, XK_Escape, true);
  Key(display, XK_Escape, false);
  int status = 0;
  if (waitpid(game.pid, &status, 0) != game.pid || !WIFEXITED(status) || WEXITSTATUS(status)) {
    std::fprintf(stderr, "FAIL: the windowed game did not end cleanly after Esc\n");
    ok = false;
  }
  XCloseDisplay(display);
  std::printf("%zu key presses; screenshot %08x, headless frame %08x\n", track.size(), shown,
              expected);
  if (!ok || shown != expected) {
    std::fprintf(stderr, "FAIL: the window does not show the headless frame\n");
    return 1;
  }
  std::printf("PASS\n");
  return 0;
}
