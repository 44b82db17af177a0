// Plays the demo game as a person would, on a real X server: starts it windowed, presses
// arrow keys through the XTEST extension, takes a screenshot of the window (XGetImage), and
// compares it with the frame the headless game draws for the same keys.
//
//   vexa-game-x11-drive VEXA_DEMO [TRACK] [--driver N]
//
// TRACK is a string of L R U D (one letter: one press, eight frames with that key held).
// With --driver both runs draw through that display driver: the window is then an OpenGL
// window the driver presents (GLX), the headless run uses SDL's offscreen driver (EGL).
// Exit status 0 when the screenshot equals the headless frame.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>
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
unsigned HeadlessChecksum(const std::string& demo, const std::string& track, const std::string& out,
                          const std::string& driver) {
  const std::string command = "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy '" + demo +
                              "' game --headless --quiet --track " + track + " --out '" + out +
                              "'" + (driver.empty() ? "" : " --driver " + driver);
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
  int fd = -1;
  std::string pending;
  // The next line the game prints within `ms` milliseconds; false on a timeout or its end.
  bool Line(std::string* line, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      const auto nl = pending.find('\n');
      if (nl != std::string::npos) {
        *line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        return true;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          until - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, int(left.count())) <= 0) continue;
      char buffer[256];
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n <= 0) return false;
      pending.append(buffer, size_t(n));
    }
  }
  bool WaitFor(const std::string& prefix, int ms) {
    std::string s;
    while (Line(&s, ms)) {
      if (s.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
  }
};

Game StartWindowed(const std::string& demo, const std::string& out, const std::string& driver) {
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
    if (driver.empty())
      execl(demo.c_str(), demo.c_str(), "game", "--step", "--scripted", "--quiet", "--out",
            out.c_str(), static_cast<char*>(nullptr));
    else
      execl(demo.c_str(), demo.c_str(), "game", "--step", "--scripted", "--quiet", "--out",
            out.c_str(), "--driver", driver.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  game.fd = fds[0];
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
    std::fprintf(stderr, "usage: vexa-game-x11-drive VEXA_DEMO [TRACK] [--driver N]\n");
    return 2;
  }
  const std::string demo = argv[1];
  std::string track = "RRRUUULLDDDDRLUR", driver;
  for (int i = 2; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--driver") && i + 1 < argc)
      driver = argv[++i];
    else
      track = argv[i];
  }
  char dir[] = "/tmp/vexa-game-x11-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const unsigned expected = HeadlessChecksum(demo, track, dir, driver);
  if (!expected) {
    std::fprintf(stderr, "FAIL: the headless game printed no checksum\n");
    return 1;
  }
  std::fprintf(stderr, "headless frame %08x\n", expected);
  Display* display = nullptr;
  for (int i = 0; i < 100 && !display; ++i) {
    display = XOpenDisplay(nullptr);
    if (!display) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  // Focus requests on a window still being mapped may fail; they are made again.
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  int event = 0, error = 0, major = 0, minor = 0;
  if (!display || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
    std::fprintf(stderr, "FAIL: no X server with the XTEST extension\n");
    return 1;
  }
  Game game = StartWindowed(demo, dir, driver);
  auto fail = [&](const char* why) {
    std::fprintf(stderr, "FAIL: %s\n", why);
    if (game.pid > 0) kill(game.pid, SIGKILL), waitpid(game.pid, nullptr, 0);
    return 1;
  };
  if (game.fd < 0 || !game.WaitFor("ready", 30000)) return fail("the windowed game did not start");
  std::fprintf(stderr, "game started\n");
  Window window = 0;
  for (int i = 0; i < 200 && !window; ++i) {
    window = FindWindow(display, DefaultRootWindow(display));
    if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!window) return fail("no window named \"vexa game\"");
  // Give the window the keyboard once it is shown.
  XWindowAttributes attributes;
  for (int i = 0; i < 500; ++i) {
    XGetWindowAttributes(display, window, &attributes);
    if (attributes.map_state == IsViewable) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  auto focus = [&] {
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
  };
  focus();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  bool ok = true;
  int presses = 0;
  for (char c : track) {
    const KeySym sym = c == 'L' ? XK_Left : c == 'R' ? XK_Right : c == 'U' ? XK_Up : XK_Down;
    // A press the window did not get (focus still moving) is made again; the game takes a
    // step only on a press after all keys were up, so a repeat never plays twice.
    bool stepped = false;
    for (int attempt = 0; attempt < 4 && !stepped; ++attempt) {
      if (attempt) focus();
      Key(display, sym, true);
      ++presses;
      stepped = game.WaitFor("step", 20000);
      Key(display, sym, false);
    }
    ok = stepped && game.WaitFor("idle", 10000);
    if (!ok) break;
  }
  if (!ok) return fail("a key press did not reach the game");
  unsigned shown = 0;
  if (ok) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    XSync(display, False);
    shown = ScreenChecksum(display, window);
  }
  // Esc is held until the game has gone: it reads the keyboard's state, not its events.
  Key(display, XK_Escape, true);
  int status = -1;
  for (int i = 0; i < 600 && waitpid(game.pid, &status, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Key(display, XK_Escape, false);
  if (!WIFEXITED(status) || WEXITSTATUS(status)) {
    kill(game.pid, SIGKILL);
    waitpid(game.pid, nullptr, 0);
    std::fprintf(stderr, "FAIL: the windowed game did not end cleanly after Esc\n");
    ok = false;
  }
  XCloseDisplay(display);
  std::printf("%zu steps (%d presses); screenshot %08x, headless frame %08x\n", track.size(),
              presses, shown, expected);
  if (!ok || shown != expected) {
    std::fprintf(stderr, "FAIL: the window does not show the headless frame\n");
    return 1;
  }
  std::printf("PASS\n");
  return 0;
}
