#pragma once
// What the engine tests put in place of the Qt event loop and the board window.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/game/uloadengine.h"
#include "app/game/ureadengine.h"
#include "app/game/utility.h"

// No waits before the opening commands: the fake engine is ready at once, no wait for
// features it does not say, and no "post" for its silence. The waits for its end and
// for its reads are ended by what they wait for, so they can be far beyond what a busy
// machine needs.
inline TEngineDelays FastEngineDelays() {
  using namespace std::chrono_literals;
  TEngineDelays delays;
  delays.StartWait = 0ms;
  delays.HandshakeWait = 0ms;
  delays.LineGap = 0ms;
  delays.SilenceNudge = 0ms;
  delays.FeatureWait = 0ms;
  delays.QuitWait = 60s;
  delays.TerminateWait = 60s;
  delays.WriteTimeout = 60s;
  return delays;
}

// The main thread's queue: the reader posts, the test runs the work by hand.
class TTaskQueue {
public:
  TDispatcher Dispatcher() {
    return [this](std::function<void()> task) {
      std::lock_guard<std::mutex> lock(FMutex);
      FTasks.push_back(std::move(task));
      FChanged.notify_all();
    };
  }

  // Runs queued work as it arrives until `done` holds (true) or `timeout` passes (false).
  // The default is far beyond what an engine needs on a busy machine.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (done()) return true;
      std::function<void()> task;
      {
        std::unique_lock<std::mutex> lock(FMutex);
        if (!FChanged.wait_until(lock, deadline, [this] { return !FTasks.empty(); })) return done();
        task = std::move(FTasks.front());
        FTasks.pop_front();
      }
      if (BeforeTask) BeforeTask();
      task();
    }
  }

  // Runs what is queued now.
  void RunPending() {
    RunUntil([] { return false; }, std::chrono::milliseconds(0));
  }

  // How many pieces of work wait.
  std::size_t Waiting() {
    std::lock_guard<std::mutex> lock(FMutex);
    return FTasks.size();
  }

  // Waits until work is queued, without running it; false when `timeout` passes first.
  bool WaitForWork(std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    std::unique_lock<std::mutex> lock(FMutex);
    return FChanged.wait_for(lock, timeout, [this] { return !FTasks.empty(); });
  }

  // Called before each piece of work runs.
  std::function<void()> BeforeTask;

private:
  std::mutex FMutex;
  std::condition_variable FChanged;
  std::deque<std::function<void()>> FTasks;
};

// An engine move that the board was told to slide, with what it did besides.
struct TAnimation {
  TBoardMove Move;
  TMoveEffects Effects;
  bool operator==(const TAnimation&) const = default;
};

// The slide of a plain move such as "e7e5", which takes nothing en passant, moves no
// rook and promotes nothing.
inline TAnimation PlainSlide(std::string_view text) {
  TAnimation slide;
  ParseMoveText(text, slide.Move);
  return slide;
}

class TRecordingBoard : public TEngineBoard {
public:
  void StartEngineMoveAnimation(const TBoardMove& move, const TMoveEffects& effects) override {
    Animations.push_back({move, effects});
  }
  void AppendEngineOutput(const std::string& text) override { Received += text; }
  void AppendSentCommand(const std::string& text) override {
    Sent.push_back(text);
    SentAt.push_back(std::chrono::steady_clock::now());
  }
  void AppendEngineNote(const std::string& text) override { Notes.push_back(text); }
  void ShowEngineStatus(const std::string& text) override { Status.push_back(text); }
  void ShowEngineNotice(const std::string& text) override { Notices.push_back(text); }

  std::vector<TAnimation> Animations;
  std::string Received;
  std::vector<std::string> Notes;
  std::vector<std::string> Notices;
  std::vector<std::string> Sent;
  // When each line of Sent was echoed: after its write, before anything written later.
  std::vector<std::chrono::steady_clock::time_point> SentAt;
  std::vector<std::string> Status;
};

// A line the stand-in engine read, and when it got the read that completed the line.
// The stand-in's clock is ours (the steady clock is the system's monotonic clock), and
// a read can come late but never before the write.
struct TReadLine {
  std::string Text;
  std::chrono::steady_clock::time_point At;
};

// The lines in the stand-in engine's LOG.times, in the order it read them.
inline std::vector<TReadLine> ReadLinesWithTimes(const std::filesystem::path& timesLog) {
  std::vector<TReadLine> lines;
  std::ifstream in(timesLog);
  long long nanoseconds = 0;
  while (in >> nanoseconds) {
    in.get();  // the blank after the time
    TReadLine line;
    std::getline(in, line.Text);
    line.At = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(nanoseconds));
    lines.push_back(std::move(line));
  }
  return lines;
}
