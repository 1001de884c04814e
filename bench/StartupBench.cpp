// Launch to drawn board as a user sees it: the program started on a virtual display of
// 800 x 600 while the screen is read back every few milliseconds, until it has held
// still for two seconds; the board is drawn at the first screen from which on nothing
// changes but a few stray pixels. Also the first screen that differs from the empty
// display (a window is shown). Several builds of the program are timed in turns, so
// that the machine's load weighs on each alike.
//   ./build/bench/startup_bench [RUNS] [PROGRAM...]   (10 runs of build/app/brovanel)
// With BRV_STARTUP_TRACE=1 in the environment it lists each launch's screens: the time
// of each change and its sampled pixels unlike the last screen.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <filesystem>
#include <thread>

#include "WindowBenchSupport.h"

namespace fs = std::filesystem;
using namespace bench;

namespace {

constexpr int WIDTH = 800, HEIGHT = 600;
// Every STRIDE-th pixel of every STRIDE-th row.
constexpr int STRIDE = 4;
// Screens that differ in fewer sampled pixels than this count as the same.
constexpr std::size_t STRAY_PIXELS = 30;

using TScreen = std::vector<std::uint32_t>;

TScreen ReadScreen(Display* display) {
  XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, WIDTH, HEIGHT, AllPlanes, ZPixmap);
  if (!image) Fail("the screen cannot be read");
  TScreen screen;
  screen.reserve((WIDTH / STRIDE) * (HEIGHT / STRIDE));
  for (int y = 0; y < HEIGHT; y += STRIDE)
    for (int x = 0; x < WIDTH; x += STRIDE) screen.push_back(std::uint32_t(XGetPixel(image, x, y)));
  XDestroyImage(image);
  return screen;
}

std::size_t Differing(const TScreen& a, const TScreen& b) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

struct TLaunch {
  double Shown = 0;  // the first screen unlike the empty display
  double Drawn = 0;  // the first screen of the finished start look
  std::size_t Changed = 0;  // sampled pixels of the finished look unlike the empty display
};

TLaunch Launch(Display* display, const std::string& displayName, const fs::path& program) {
  const TScreen empty = ReadScreen(display);
  struct TSample {
    double At;
    TScreen Screen;
  };
  std::vector<TSample> changes;
  const auto start = TClock::now();
  auto since = [&] { return std::chrono::duration<double>(TClock::now() - start).count(); };
  const pid_t pid = Spawn({program.string()}, {"DISPLAY=" + displayName}, program.parent_path().string(), -1);
  TScreen last = empty;
  double lastChange = 0;
  while (since() < 20 && (changes.empty() || since() - lastChange < 2)) {
    TScreen screen = ReadScreen(display);
    const double at = since();
    if (screen != last) {
      changes.push_back({at, screen});
      last = std::move(screen);
      lastChange = at;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EndChild(pid);
  // The screen must be empty again for the next launch.
  for (int i = 0; i < 500 && Differing(ReadScreen(display), empty) > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  TLaunch launch;
  if (changes.empty()) return launch;
  const TScreen& final = changes.back().Screen;
  launch.Shown = changes.front().At;
  launch.Changed = Differing(final, empty);
  launch.Drawn = changes.back().At;
  if (std::getenv("BRV_STARTUP_TRACE"))
    for (const TSample& c : changes) std::fprintf(stderr, "%.3f %zu\n", c.At, Differing(c.Screen, final));
  for (auto change = changes.rbegin(); change != changes.rend(); ++change) {
    if (Differing(change->Screen, final) >= STRAY_PIXELS) break;
    launch.Drawn = change->At;
  }
  return launch;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc >= 2 ? std::atoi(argv[1]) : 10;
  std::vector<fs::path> programs;
  for (int i = 2; i < argc; ++i) programs.push_back(fs::absolute(argv[i]));
  if (programs.empty()) programs.push_back(BRV_PROGRAM);
  TVirtualDisplay virtualDisplay(WIDTH, HEIGHT);
  Display* display = XOpenDisplay(virtualDisplay.Name().c_str());
  if (!display) Fail("the virtual display cannot be opened");
  std::vector<std::vector<TLaunch>> launches(programs.size());
  const double loadBefore = LoadAverage();
  for (int run = 0; run < runs; ++run)
    for (std::size_t p = 0; p < programs.size(); ++p) launches[p].push_back(Launch(display, virtualDisplay.Name(), programs[p]));
  XCloseDisplay(display);
  std::printf("launch to screen, ms, %d runs each in turns (load average %.1f before, %.1f after)\n", runs,
              loadBefore, LoadAverage());
  std::printf("%-8s %8s %8s %8s %8s %8s  %s\n", "", "shown", "drawn", "min", "max", "pixels", "program");
  for (std::size_t p = 0; p < programs.size(); ++p) {
    std::vector<double> shown, drawn, changed;
    for (const TLaunch& l : launches[p]) {
      shown.push_back(l.Shown * 1000);
      drawn.push_back(l.Drawn * 1000);
      changed.push_back(double(l.Changed));
    }
    std::printf("%-8s %8.0f %8.0f %8.0f %8.0f %8.0f  %s\n", "median", Median(shown), Median(drawn),
                *std::min_element(drawn.begin(), drawn.end()), Max(drawn), Median(changed), programs[p].c_str());
  }
  return 0;
}
