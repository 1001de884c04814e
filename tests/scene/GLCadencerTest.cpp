// The cadencer stepped by hand on a clock of the test's own, without an event loop.

#include "scene/GLCadencer.h"

#include "SceneTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A clock the test moves; the wall clock stands decades ahead of it.
struct TTestClock {
  double Seconds = 100;
  TGLCadencerClock Clock() {
    return [this](TGLCadencerTimeReference reference) { return reference == cmRTC ? Seconds + 1e9 : Seconds; };
  }
};

// A scene whose one object logs every step it gets (and may act on it).
struct TSteppedScene {
  TSteppedScene() {
    Node.OnProgress = [this](TObject*, double delta, double newTime) {
      Steps.push_back({delta, newTime});
      if (OnStep) OnStep();
    };
  }
  TGLScene Scene{nullptr};
  TTestNode& Node = Scene.Objects().AddChild(MakeNode("stepped"));
  std::vector<TProgressTimes> Steps;
  std::function<void()> OnStep;
};

void ExpectStep(const TProgressTimes& step, double delta, double newTime) {
  EXPECT_NEAR(step.DeltaTime, delta, 1e-6);
  EXPECT_NEAR(step.NewTime, newTime, 1e-6);
}

TEST(GLCadencer, StepsMeasureTheClockLessPausesAndCappedStalls) {
  TTestClock clock;
  TSteppedScene stepped;
  TGLCadencer cadencer(nullptr, clock.Clock());
  cadencer.SetMode(cmManual);
  cadencer.SetScene(&stepped.Scene);

  clock.Seconds += 0.5;
  cadencer.Progress();
  ExpectStep(stepped.Steps.back(), 0.5, 0.5);

  // Two seconds disabled do not count, and no step happens meanwhile.
  cadencer.SetEnabled(false);
  clock.Seconds += 2;
  cadencer.Progress();
  EXPECT_EQ(stepped.Steps.size(), 1u);
  cadencer.SetEnabled(true);
  clock.Seconds += 0.25;
  cadencer.Progress();
  ExpectStep(stepped.Steps.back(), 0.25, 0.75);

  // A 1 s stall passes 0.1, and scene time stays 0.9 s behind from then on.
  cadencer.SetMaxDeltaTime(0.1);
  clock.Seconds += 1;
  cadencer.Progress();
  ExpectStep(stepped.Steps.back(), 0.1, 0.85);
  clock.Seconds += 0.05;
  cadencer.Progress();
  ExpectStep(stepped.Steps.back(), 0.05, 0.9);

  // Twice as fast; then the wall clock takes over without a jump.
  cadencer.SetTimeMultiplier(2);
  cadencer.SetTimeReference(cmRTC);
  cadencer.SetMaxDeltaTime(0);
  clock.Seconds += 0.05;
  cadencer.Progress();
  ExpectStep(stepped.Steps.back(), 1, 1.9);  // 0.95 s of clock since the origin, twice

  // An unchanged time steps nobody's scene; without a scene the delta grows.
  const std::size_t steps = stepped.Steps.size();
  cadencer.Progress();
  EXPECT_EQ(stepped.Steps.size(), steps);
  std::vector<double> deltas;
  cadencer.OnProgress = [&](TObject*, double delta, double) { deltas.push_back(delta); };
  cadencer.SetScene(nullptr);
  for (int i = 0; i < 2; ++i) {
    clock.Seconds += 0.5;
    cadencer.Progress();
  }
  ASSERT_EQ(deltas.size(), 2u);
  EXPECT_NEAR(deltas[1], 2 * deltas[0], 1e-6);
}

TEST(GLCadencer, TheCounterComesBackAfterReenteredAndFailedSteps) {
  TTestClock clock;
  TSteppedScene stepped;
  TGLCadencer cadencer(nullptr, clock.Clock());
  cadencer.SetMode(cmManual);
  cadencer.SetScene(&stepped.Scene);

  // A step reached from inside the scene's own step.
  int inner = 0;
  stepped.OnStep = [&] {
    if (inner++ == 0) {
      EXPECT_LT(cadencer.Progressing(), 0);
      clock.Seconds += 1;
      cadencer.Progress();
    }
  };
  clock.Seconds += 1;
  cadencer.Progress();
  EXPECT_EQ(inner, 2);
  EXPECT_EQ(cadencer.Progressing(), 0);

  // A step whose scene raises, and one whose event raises.
  stepped.OnStep = [] { throw std::runtime_error("scene step"); };
  clock.Seconds += 1;
  EXPECT_THROW(cadencer.Progress(), std::runtime_error);
  EXPECT_EQ(cadencer.Progressing(), 0);
  stepped.OnStep = nullptr;
  cadencer.OnProgress = [](TObject*, double, double) { throw std::runtime_error("event"); };
  clock.Seconds += 1;
  EXPECT_THROW(cadencer.Progress(), std::runtime_error);
  EXPECT_EQ(cadencer.Progressing(), 0);
  // The time of the failed scene step goes to the scene with the next one.
  ExpectStep(stepped.Steps.back(), 3, 4);
}

// Logs the cadencers' passes; the tests call ProgressASAPCadencers themselves.
struct TLogTicker : TGLCadencerTicker {
  std::vector<std::string> Log;
  void Start() override { Log.push_back("Start"); }
  void Stop() override { Log.push_back("Stop"); }
  void ProcessPendingEvents() override { Log.push_back("Events"); }
  bool Terminating() const override { return Ending; }
  bool Ending = false;
};

TEST(GLCadencer, TickingCadencersStepLastRegisteredFirstAndAFailureStopsNone) {
  TLogTicker ticker;
  SetCadencerTicker(&ticker);
  std::vector<std::string> logged;
  SetGLLogSink([&](const std::string& text) { logged.push_back(text); });
  TTestClock clock;
  TGLScene scene(nullptr);
  auto first = std::make_unique<TGLCadencer>(nullptr, clock.Clock());
  TGLCadencer second(nullptr, clock.Clock());
  first->OnProgress = [&](TObject*, double, double) { ticker.Log.push_back("first"); };
  second.OnProgress = [&](TObject*, double, double) {
    ticker.Log.push_back("second");
    throw std::runtime_error("broken step");
  };
  first->SetScene(&scene);
  second.SetScene(&scene);
  EXPECT_EQ(ASAPCadencerCount(), 2);

  for (int pass = 0; pass < 2; ++pass) {
    clock.Seconds += 1;
    ProgressASAPCadencers();
  }
  EXPECT_EQ(ticker.Log, (std::vector<std::string>{"Start", "Events", "second", "Events", "first", "Events", "second",
                                                  "Events", "first"}));
  EXPECT_EQ(logged, (std::vector<std::string>(2, "A cadencer step failed: broken step")));
  EXPECT_EQ(second.Progressing(), 0);

  // Disabled, manual or freed cadencers leave the list; the last takes the ticks along.
  ticker.Log.clear();
  second.SetEnabled(false);
  first->SetMode(cmManual);
  first->SetMode(cmASAP);
  ticker.Ending = true;
  ProgressASAPCadencers();
  EXPECT_FALSE(first->Enabled());  // the application is going
  first->SetEnabled(true);
  first.reset();
  EXPECT_EQ(ASAPCadencerCount(), 0);
  EXPECT_EQ(ticker.Log, (std::vector<std::string>{"Stop", "Start", "Stop", "Start", "Stop"}));
  SetGLLogSink(nullptr);
  SetCadencerTicker(nullptr);
}

}  // namespace
