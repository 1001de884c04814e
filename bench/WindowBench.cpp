// Frames a second of the board window as the program builds it, in its real top-level
// window on a virtual display, while a drag over the empty space above the board turns
// it: a thread of its own posts the mouse events at about 210 a second, as a user's
// mouse would send them, whatever the window is doing. At 800 x 600 and 1920 x 1080,
// each on a display of its own started for the run. Frames are counted twice: by the
// window (frames drawn each half second) and by Mesa's own HUD (GALLIUM_HUD fps, dumped
// each half second). Beside the off-screen board_bench, which times the scene alone.
//   ./build/bench/window_bench [MOVES]   (1500 moves by default)

#include <QMouseEvent>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "ProgramWindows.h"

namespace fs = std::filesystem;
using namespace bench;

namespace {

constexpr double MOVES_PER_SECOND = 210;

// Where the view is and how big, read on the window's thread for the one that posts.
struct TViewPlace {
  QPointF Origin;
  int Width, Height;
};

// Posts a press, `moves` moves to and fro along a line above the board, and a release.
void PostDrag(QWidget* view, TViewPlace place, int moves, std::atomic<bool>& done) {
  const int width = place.Width;
  const QPointF start(width * 0.5, place.Height * 0.12);
  auto post = [&](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QCoreApplication::postEvent(view, new QMouseEvent(type, at, place.Origin + at, button, buttons, Qt::NoModifier));
  };
  post(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  const auto step = std::chrono::duration<double>(1 / MOVES_PER_SECOND);
  auto next = TClock::now();
  for (int i = 1; i <= moves; ++i) {
    next += std::chrono::duration_cast<TClock::duration>(step);
    std::this_thread::sleep_until(next);
    // Three pixels a move, back and forth over a fifth of the width.
    const int span = std::max(1, width / 5 / 3);
    const int phase = i % (2 * span);
    const double x = start.x() + 3.0 * (phase < span ? phase : 2 * span - phase);
    post(QEvent::MouseMove, QPointF(x, start.y()), Qt::NoButton, Qt::LeftButton);
  }
  post(QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
  done = true;
}

// The child: the program's windows on the display it was given; prints the frames of
// each half second of the drag.
int Child(char* programName, int moves) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  TProgramWindows windows(programName);
  TFormOpengl& board = windows.Board();
  TGLSceneBuffer& buffer = board.BoardView->Buffer();
  // Settled: nothing draws while nothing moves.
  RunFor(1.0);
  std::vector<double> frames;
  buffer.AfterRender = [&frames](TObject*) { frames.push_back(Seconds(TClock::now())); };
  std::atomic<bool> done{false};
  const double start = Seconds(TClock::now());
  QWidget* view = board.BoardView;
  const TViewPlace place{QPointF(view->mapToGlobal(QPoint(0, 0))), view->width(), view->height()};
  std::thread feeder(PostDrag, view, place, moves, std::ref(done));
  RunUntil([&] { return done.load(); }, 600, "the drag");
  feeder.join();
  RunFor(0.2);
  const double end = Seconds(TClock::now());
  buffer.AfterRender = nullptr;
  std::vector<double> perHalfSecond(std::size_t(std::ceil((end - start) * 2)), 0);
  for (double t : frames)
    if (t >= start && t < end) ++perHalfSecond[std::size_t((t - start) * 2)];
  // The last half second is only partly the drag's.
  perHalfSecond.pop_back();
  std::printf("view %d %d\n", board.BoardView->width(), board.BoardView->height());
  std::printf("seconds %.3f frames %zu\n", end - start, frames.size());
  std::printf("halves");
  for (double n : perHalfSecond) std::printf(" %.0f", n);
  std::printf("\n");
  return 0;
}

std::vector<double> Numbers(const std::string& line) {
  std::istringstream in(line);
  std::vector<double> values;
  for (double v; in >> v;) values.push_back(v);
  return values;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--child") return Child(argv[0], std::atoi(argv[2]));
  const int moves = argc >= 2 ? std::atoi(argv[1]) : 1500;
  const fs::path self = fs::canonical("/proc/self/exe");
  std::printf("%-11s %-11s %14s %14s %12s  (load average %.1f)\n", "screen", "view", "window fps", "HUD fps",
              "drag s", LoadAverage());
  for (auto [width, height] : {std::pair{800, 600}, std::pair{1920, 1080}}) {
    TVirtualDisplay display(width, height);
    const fs::path hud = fs::temp_directory_path() / ("brv-hud." + std::to_string(getpid()));
    fs::create_directories(hud);
    const std::string output =
        RunForOutput({self.string(), "--child", std::to_string(moves)},
                     {"DISPLAY=" + display.Name(), "GALLIUM_HUD=simple,fps", "GALLIUM_HUD_PERIOD=0.5",
                      "GALLIUM_HUD_DUMP_DIR=" + hud.string()});
    std::string view = "?", seconds = "?";
    std::vector<double> halves;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("view ", 0) == 0) view = line.substr(5);
      if (line.rfind("seconds ", 0) == 0) seconds = line.substr(8, line.find(' ', 8) - 8);
      if (line.rfind("halves", 0) == 0) halves = Numbers(line.substr(6));
    }
    // The HUD's values, one each half second in which frames were drawn: the drag's
    // fill the list, start-up adds one or two at its head.
    std::vector<double> hudFps;
    std::ifstream dump(hud / "fps");
    for (double v; dump >> v;) hudFps.push_back(v);
    fs::remove_all(hud);
    for (double& n : halves) n *= 2;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height);
    std::replace(view.begin(), view.end(), ' ', 'x');
    if (halves.empty()) Fail("the window reported nothing at " + screen + ":\n" + output);
    std::printf("%-11s %-11s %8.0f (max %3.0f) %8.0f (n %2zu) %9s\n", screen.c_str(), view.c_str(), Median(halves),
                Max(halves), Median(hudFps), hudFps.size(), seconds.c_str());
  }
  return 0;
}
