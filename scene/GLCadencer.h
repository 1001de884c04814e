#pragma once
// The cadencer: it drives time in a scene. Each step measures the time since the
// last one and hands the step (delta time and new time, in seconds) to its scene,
// to the components that subscribed to it and to its OnProgress event. In the mode
// cmASAP the steps come as fast as the event loop allows: a ticker of the window
// toolkit (scene/qt) calls ProgressASAPCadencers once per pass of the loop. In
// cmManual, or where no ticker is installed (tests), the owner calls Progress.
//
//   TGLCadencer cadencer(nullptr);
//   cadencer.SetScene(&scene);            // ticks while enabled, with a ticker installed
//   cadencer.OnProgress = [](TObject*, double delta, double) { Orbit(delta); };

#include "base/Components.h"
#include "base/WeakReference.h"
#include "scene/GLScene.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The clock a cadencer reads: the wall clock, the steady clock, or a time the
// owner sets (SetCurrentTime).
enum TGLCadencerTimeReference : std::uint8_t { cmRTC, cmPerformanceCounter, cmExternal };
// Who triggers the steps: the owner, or the event loop as fast as it can.
enum TGLCadencerMode : std::uint8_t { cmManual, cmASAP };

// The raw time of cmRTC or cmPerformanceCounter, in seconds.
using TGLCadencerClock = std::function<double(TGLCadencerTimeReference reference)>;
// std::chrono::system_clock for cmRTC, std::chrono::steady_clock for
// cmPerformanceCounter; 0 for anything else.
double SystemCadencerClock(TGLCadencerTimeReference reference);

class TGLCadencer : public TComponent {
  BRV_CLASS(TGLCadencer, TComponent)

public:
  // Enabled, cmASAP, on the steady clock, time 0 now. `clock` replaces the system
  // clocks (tests step a cadencer through a clock of their own).
  explicit TGLCadencer(TComponent* owner, TGLCadencerClock clock = nullptr);
  // Leaves the ticking cadencers.
  ~TGLCadencer() override;

  // The scene to progress; null once the scene is freed.
  TGLScene* Scene() const { return FScene.Get(); }
  void SetScene(TGLScene* scene);
  // Steps happen only while enabled; the time spent disabled does not count.
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  TGLCadencerTimeReference TimeReference() const { return FTimeReference; }
  // The new clock takes over where the old one stood: the scene time runs on
  // without a jump.
  void SetTimeReference(TGLCadencerTimeReference value);
  // Scene seconds per real second.
  double TimeMultiplier() const { return FTimeMultiplier; }
  void SetTimeMultiplier(double value) { FTimeMultiplier = value; }
  // The largest step passed on; 0 for no cap. A longer step is cut, and the
  // scene time falls behind the clock by the rest.
  double MaxDeltaTime() const { return FMaxDeltaTime; }
  void SetMaxDeltaTime(double value) { FMaxDeltaTime = value; }
  TGLCadencerMode Mode() const { return FMode; }
  void SetMode(TGLCadencerMode value);
  // Milliseconds slept at the start of each step; negative for none.
  int SleepLength() const { return FSleepLength; }
  void SetSleepLength(int value) { FSleepLength = value; }
  // Called after the scene and the subscribers: (cadencer, deltaTime, newTime).
  TGLProgressEvent OnProgress;

  // One step: sleep, measure, then the scene (when the step is not 0), the
  // subscribers and OnProgress. A step that raises leaves the cadencer as it
  // was, ready for the next one. In cmASAP the outermost step first lets the
  // event loop handle what is pending (input, paint requests, queued calls).
  void Progress();
  // (raw clock - origin) x TimeMultiplier, also kept as CurrentTime.
  double GetCurrentTime();
  double CurrentTime() const { return FCurrentTime; }
  // The time of cmExternal, set by the owner.
  void SetCurrentTime(double value) { FCurrentTime = value; }
  // The time of the last step that reached the scene.
  double LastTime() const { return FLastTime; }
  // Steps under way (nested ones included); 0 between steps. Negative while the
  // scene is stepped.
  int Progressing() const { return FProgressing; }
  bool IsBusy() const { return FProgressing != 0; }

  // A subscriber's AdvanceTime receives every step, in order of subscription;
  // one that is freed leaves the list.
  void Subscribe(TGLCadenceAbleComponent& component);
  void UnSubscribe(TGLCadenceAbleComponent& component);

  // Once read from a layout: joins the ticking cadencers when it should.
  void Loaded() override;

private:
  double RawTime() const;
  // In the ticking list exactly when cmASAP, enabled and with a scene.
  void UpdateASAPRegistration();

  TGLCadencerClock FClock;
  TWeakRef<TGLScene> FScene;
  bool FEnabled = true;
  TGLCadencerTimeReference FTimeReference = cmPerformanceCounter;
  double FTimeMultiplier = 1;
  double FMaxDeltaTime = 0;
  TGLCadencerMode FMode = cmASAP;
  int FSleepLength = -1;
  std::vector<std::unique_ptr<TWeakRef<TGLCadenceAbleComponent>>> FSubscribers;
  double FLastTime = 0;
  double FDownTime = 0;
  double FCurrentTime = 0;
  double FOriginTime = 0;
  int FProgressing = 0;
};

// The window toolkit's side of cmASAP. Started when the first cadencer begins to
// tick and stopped when the last one stops, it calls ProgressASAPCadencers once
// per pass of the event loop, leaving input, painting and queued calls their turn.
class TGLCadencerTicker {
public:
  virtual ~TGLCadencerTicker() = default;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  // Handles the events that are pending, then returns.
  virtual void ProcessPendingEvents() = 0;
  // The application is going: ticking cadencers are disabled instead of stepped.
  virtual bool Terminating() const = 0;
};

// The ticker in use (not owned), or null: ticking cadencers then wait for one.
void SetCadencerTicker(TGLCadencerTicker* ticker);
TGLCadencerTicker* CadencerTicker();

// One pass: every ticking cadencer that is not already stepping, the last to
// start ticking first. A step that raises is logged and stops neither the other
// cadencers nor the next pass. A pass reached from inside a pass does nothing.
void ProgressASAPCadencers();
// How many cadencers tick.
int ASAPCadencerCount();
