#pragma once
// What the engine tests put in place of the Qt event loop and the board window.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/ureadengine.h"

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
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
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

  // Called before each piece of work runs.
  std::function<void()> BeforeTask;

private:
  std::mutex FMutex;
  std::condition_variable FChanged;
  std::deque<std::function<void()>> FTasks;
};

struct TAnimation {
  int FromCol, FromRow, ToCol, ToRow;
  bool operator==(const TAnimation&) const = default;
};

class TRecordingBoard : public TEngineBoard {
public:
  void StartEngineMoveAnimation(int fromCol, int fromRow, int toCol, int toRow) override {
    Animations.push_back({fromCol, fromRow, toCol, toRow});
  }
  void AppendEngineOutput(const std::string& text) override { Received += text; }
  void AppendSentCommand(const std::string& text) override { Sent.push_back(text); }
  void ShowEngineStatus(const std::string& text) override { Status.push_back(text); }
  void EngineRefusesSetBoard() override { RefusesSetBoard = true; }

  std::vector<TAnimation> Animations;
  std::string Received;
  std::vector<std::string> Sent;
  std::vector<std::string> Status;
  bool RefusesSetBoard = false;
};
