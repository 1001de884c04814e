// How soon the board window shows a big picture chosen for the dark pieces, in the
// program's real top-level window on a virtual display of 800 x 600: an 8000 x 8000
// JPEG chosen through the tool bar's "Dark texture" button, the file dialog answering
// at once, until the first frame drawn with it; then a colour chosen in its place.
// Beside the time, what the process held at its peak and at the end, against what it
// held before the choice.
//   ./build/bench/picture_bench [RUNS]   (5 choices by default)

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/Dialogs.h"
#include "ProgramWindows.h"
#include "tests/base/ProcessMemory.h"
#include "tests/scene/support/PictureTestSupport.h"

using namespace bench;

namespace {

constexpr int PICTURE_SIDE = 8000;

// The file dialog chooses the picture, the colour dialog a dark grey.
class TAnsweringDialogs : public TConsoleDialogs {
public:
  explicit TAnsweringDialogs(std::string picture) : FPicture(std::move(picture)) {}
  bool OpenFile(const std::string&, std::string& fileName) override {
    fileName = FPicture;
    return true;
  }
  bool ChooseColour(int& colour) override {
    colour = 0x303030;
    return true;
  }

private:
  std::string FPicture;
};

// A figure of /proc/self/status in megabytes ("VmRSS:", "VmHWM:").
double StatusMegabytes(const std::string& key) { return ProcessStatusKb(key) / 1024.0; }

// The child: makes the picture, chooses it `runs` times and prints, for each, the
// seconds to the frame that shows it and the megabytes held at the peak and after
// the colour, more than before the choice.
int Child(char* programName, int runs) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("brv picture bench." + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string picture = (folder / "big.jpg").string();
  {
    const std::string bytes = FlatJpegBytes(PICTURE_SIDE, PICTURE_SIDE, 40, 160, 60);
    std::ofstream(picture, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  }
  TAnsweringDialogs dialogs(picture);
  SetDialogs(&dialogs);
  {
    TProgramWindows windows(programName);
    TFormOpengl& board = windows.Board();
    TGLSceneBuffer& buffer = board.BoardView->Buffer();
    // When the first frame after a choice was drawn.
    double drawn = 0;
    buffer.AfterRender = [&](TObject*) {
      if (drawn == 0) drawn = Seconds(TClock::now());
    };
    for (int run = 0; run < runs; ++run) {
      RunFor(0.5);
      const double before = StatusMegabytes("VmRSS:");
      ResetPeakMemory();
      drawn = 0;
      const double chosen = Seconds(TClock::now());
      board.DarkPieceTextureButton->trigger();
      RunUntil([&] { return drawn != 0; }, 120, "the frame with the picture");
      const double shown = drawn - chosen;
      drawn = 0;
      board.DarkPieceColourButton->trigger();
      RunUntil([&] { return drawn != 0; }, 120, "the frame with the colour");
      RunFor(0.5);
      std::printf("%.4f|%.1f|%.1f\n", shown, StatusMegabytes("VmHWM:") - before, StatusMegabytes("VmRSS:") - before);
      std::fflush(stdout);
    }
    buffer.AfterRender = nullptr;
  }
  SetDialogs(nullptr);
  std::filesystem::remove_all(folder);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--child") return Child(argv[0], std::atoi(argv[2]));
  const int runs = argc >= 2 ? std::atoi(argv[1]) : 5;
  const std::string self = std::string(realpath("/proc/self/exe", nullptr));
  TVirtualDisplay display(800, 600);
  const std::string output = RunForOutput({self, "--child", std::to_string(runs)}, {"DISPLAY=" + display.Name()});
  std::vector<double> shown, peak, end;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string time, high, last;
    if (!std::getline(fields, time, '|') || !std::getline(fields, high, '|') || !std::getline(fields, last)) continue;
    shown.push_back(std::stod(time));
    peak.push_back(std::stod(high));
    end.push_back(std::stod(last));
  }
  if (shown.empty()) Fail("the window reported nothing:\n" + output);
  std::printf("%dx%d JPEG for the dark pieces, %zu choices (load %.1f)\n", PICTURE_SIDE, PICTURE_SIDE, shown.size(),
              LoadAverage());
  std::printf("%-34s %9s %9s\n", "", "median", "max");
  std::printf("%-34s %9.0f %9.0f\n", "ms from the choice to the frame", Median(shown) * 1000, Max(shown) * 1000);
  std::printf("%-34s %9.0f %9.0f\n", "MB more at the peak", Median(peak), Max(peak));
  std::printf("%-34s %9.0f %9.0f\n", "MB more after the colour", Median(end), Max(end));
  return 0;
}
