// How soon the engine's move shows in the board window as the program builds it, in
// its real top-level window on a virtual display of 800 x 600: a thread of its own
// hands the engine's line to the window thread the way the engine reader does, and
// the window's frames say when the piece first left its square (start) and when the
// move was shown whole, its pieces on their squares and the board unlocked (end).
// Moves of a pawn, a queen across the board, a capture and a castling, each played
// many times; on a quiet machine and beside a busy load of one process a core.
//   ./build/bench/slide_bench [ROUNDS]   (10 rounds of the four moves by default)

#include <atomic>
#include <sstream>
#include <thread>

#include "app/game/Game.h"
#include "app/game/ureadengine.h"
#include "app/game/utility.h"
#include "meshes/GLVectorFileObjects.h"
#include "ProgramWindows.h"

using namespace bench;

namespace {

struct TSlideCase {
  const char* What;
  const char* Fen;
  const char* Line;  // the engine's, which plays dark
};

const TSlideCase CASES[] = {
    {"pawn e7e5", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR", "move e7e5"},
    {"queen d8h4", "rnbqkbnr/pppp1ppp/8/4p3/4P3/5P2/PPPP2PP/RNBQKBNR", "move d8h4"},
    {"capture d5e4", "4k3/8/8/3p4/4P3/8/8/4K3", "move d5e4"},
    {"castling e8g8", "4k2r/8/8/8/8/8/8/4K3", "move e8g8"},
};

// The child: plays the moves `rounds` times and prints, for each, the start and the
// end in seconds after the line was handed over.
int Child(char* programName, int rounds) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  TProgramWindows windows(programName);
  TFormOpengl& board = windows.Board();
  TGLSceneBuffer& buffer = board.BoardView->Buffer();
  for (int round = 0; round < rounds; ++round) {
    for (const TSlideCase& c : CASES) {
      TGame& game = windows.Form().Game;
      if (!game.LoadFen(c.Fen)) Fail(std::string("bad position ") + c.Fen);
      windows.Form().RefreshBoard();
      game.SetEngineThinking(true);
      RunFor(0.3);
      TBoardMove move;
      if (!ParseMoveText(std::string(c.Line).substr(5), move)) Fail(c.Line);
      TBoardPiece* piece = board.PieceAtSquare(move.From);
      if (!piece) Fail(std::string("no piece for ") + c.Line);
      const float fromX = piece->Obj->Position().X(), fromZ = piece->Obj->Position().Z();
      double started = 0, ended = 0;
      std::atomic<double> handed{0};
      buffer.AfterRender = [&](TObject*) {
        const double now = Seconds(TClock::now());
        if (handed == 0) return;
        const bool moved = piece->Obj->Position().X() != fromX || piece->Obj->Position().Z() != fromZ;
        if (moved && started == 0) started = now;
        if (!game.EngineThinking() && ended == 0) ended = now;
      };
      // The reader thread's way: the chunk is made on its thread and its handling
      // posted to the window's.
      std::thread reader([&] {
        TLineSplitter lines;
        auto chunk = std::make_shared<TEngineChunk>(MakeEngineChunk(lines, std::string(c.Line) + "\n", false));
        TFormOpengl* target = &board;
        handed = Seconds(TClock::now());
        QMetaObject::invokeMethod(
            target, [chunk, target] { HandleEngineChunk(*chunk, target->Game, TSide::Dark, target); },
            Qt::QueuedConnection);
      });
      reader.join();
      RunUntil([&] { return ended != 0; }, 60, c.What);
      buffer.AfterRender = nullptr;
      std::printf("%s|%.4f|%.4f\n", c.What, started - handed, ended - handed);
      std::fflush(stdout);
    }
  }
  return 0;
}

struct TResult {
  std::vector<double> Starts, Ends;
};

void PrintRow(const std::string& condition, const std::string& what, const TResult& r) {
  std::printf("%-22s %-14s %4zu %9.0f %9.0f %9.0f %9.0f\n", condition.c_str(), what.c_str(), r.Ends.size(),
              Median(r.Starts) * 1000, Max(r.Starts) * 1000, Median(r.Ends) * 1000, Max(r.Ends) * 1000);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--child") return Child(argv[0], std::atoi(argv[2]));
  const int rounds = argc >= 2 ? std::atoi(argv[1]) : 10;
  const std::string self = std::string(realpath("/proc/self/exe", nullptr));
  const int cores = int(sysconf(_SC_NPROCESSORS_ONLN));
  TVirtualDisplay display(800, 600);
  std::printf("%-22s %-14s %4s %9s %9s %9s %9s   ms after the engine's line\n", "condition", "move", "n",
              "start", "max", "end", "max");
  for (int load : {0, cores}) {
    const double loadAverage = LoadAverage();
    std::string output;
    {
      TBusyLoad busy(load);
      output = RunForOutput({self, "--child", std::to_string(rounds)}, {"DISPLAY=" + display.Name()});
    }
    const std::string condition = (load ? "beside " + std::to_string(load) + " busy" : std::string("as it is")) +
                                  " (load " + std::to_string(int(loadAverage + 0.5)) + ")";
    std::vector<std::pair<std::string, TResult>> results;
    TResult all;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
      std::istringstream fields(line);
      std::string what, start, end;
      if (!std::getline(fields, what, '|') || !std::getline(fields, start, '|') || !std::getline(fields, end)) continue;
      auto found = std::find_if(results.begin(), results.end(), [&](const auto& r) { return r.first == what; });
      if (found == results.end()) found = results.insert(results.end(), {what, TResult{}});
      for (TResult* r : {&found->second, &all}) {
        r->Starts.push_back(std::stod(start));
        r->Ends.push_back(std::stod(end));
      }
    }
    if (all.Ends.empty()) Fail("the window reported nothing:\n" + output);
    for (const auto& [what, r] : results) PrintRow(condition, what, r);
    PrintRow(condition, "all", all);
  }
  return 0;
}
