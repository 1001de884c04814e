#include "scene/GLCadencer.h"

#include "scene/gl/GLContext.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <exception>
#include <thread>

namespace {

// The cadencers that tick, in the order they started, and the ticker that drives
// them. Everything runs on the main thread.
struct TASAPState {
  std::vector<TGLCadencer*> Cadencers;
  TGLCadencerTicker* Ticker = nullptr;
  bool Busy = false;
};

TASAPState& ASAP() {
  static TASAPState state;
  return state;
}

bool IsTicking(const TGLCadencer& cadencer) {
  const auto& list = ASAP().Cadencers;
  return std::find(list.begin(), list.end(), &cadencer) != list.end();
}

void JoinASAP(TGLCadencer& cadencer) {
  TASAPState& state = ASAP();
  if (IsTicking(cadencer)) return;
  state.Cadencers.push_back(&cadencer);
  if (state.Cadencers.size() == 1 && state.Ticker) state.Ticker->Start();
}

void LeaveASAP(TGLCadencer& cadencer) {
  TASAPState& state = ASAP();
  if (!IsTicking(cadencer)) return;
  std::erase(state.Cadencers, &cadencer);
  if (state.Cadencers.empty() && state.Ticker) state.Ticker->Stop();
}

double Seconds(std::chrono::duration<double> duration) { return duration.count(); }

}  // namespace

double SystemCadencerClock(TGLCadencerTimeReference reference) {
  switch (reference) {
    case cmRTC:
      return Seconds(std::chrono::system_clock::now().time_since_epoch());
    case cmPerformanceCounter:
      return Seconds(std::chrono::steady_clock::now().time_since_epoch());
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------
// TGLCadencer

TGLCadencer::TGLCadencer(TComponent* owner, TGLCadencerClock clock)
    : TComponent(owner), FClock(clock ? std::move(clock) : SystemCadencerClock), FScene([this] {
        UpdateASAPRegistration();
      }) {
  FDownTime = RawTime();
  FOriginTime = FDownTime;
}

TGLCadencer::~TGLCadencer() {
  BeginDestruction();
  LeaveASAP(*this);
}

double TGLCadencer::RawTime() const {
  switch (FTimeReference) {
    case cmRTC:
    case cmPerformanceCounter:
      return FClock(FTimeReference);
    case cmExternal:
      return FCurrentTime;
    default:
      AssertionFailure("TGLCadencer: unknown time reference " + std::to_string(FTimeReference), __FILE__, __LINE__);
  }
}

double TGLCadencer::GetCurrentTime() {
  FCurrentTime = (RawTime() - FOriginTime) * FTimeMultiplier;
  return FCurrentTime;
}

void TGLCadencer::SetScene(TGLScene* scene) {
  if (scene == FScene.Get()) return;
  FScene = scene;
  UpdateASAPRegistration();
}

void TGLCadencer::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  if (FEnabled)
    FOriginTime += RawTime() - FDownTime;
  else
    FDownTime = RawTime();
  UpdateASAPRegistration();
}

void TGLCadencer::SetTimeReference(TGLCadencerTimeReference value) {
  if (value == FTimeReference) return;
  // The origin and the pause mark were read from the old clock; clocks differ by
  // decades, so both move to the new one.
  const double before = RawTime();
  FTimeReference = value;
  const double shift = RawTime() - before;
  FOriginTime += shift;
  FDownTime += shift;
}

void TGLCadencer::SetMode(TGLCadencerMode value) {
  if (value == FMode) return;
  FMode = value;
  UpdateASAPRegistration();
}

void TGLCadencer::Loaded() {
  TComponent::Loaded();
  UpdateASAPRegistration();
}

void TGLCadencer::UpdateASAPRegistration() {
  if (Loading()) return;
  if (FMode == cmASAP && FEnabled && FScene && !Destroying())
    JoinASAP(*this);
  else
    LeaveASAP(*this);
}

void TGLCadencer::Subscribe(TGLCadenceAbleComponent& component) {
  std::erase_if(FSubscribers, [](const auto& entry) { return !*entry; });
  for (const auto& entry : FSubscribers)
    if (entry->Get() == &component) return;
  FSubscribers.push_back(std::make_unique<TWeakRef<TGLCadenceAbleComponent>>());
  *FSubscribers.back() = &component;
}

void TGLCadencer::UnSubscribe(TGLCadenceAbleComponent& component) {
  std::erase_if(FSubscribers, [&](const auto& entry) { return !*entry || entry->Get() == &component; });
}

void TGLCadencer::Progress() {
  // A step reached from inside the scene's own step (the counter is negative
  // then) neither counts itself nor uncounts anything: the counter comes back to
  // its value whatever the steps do, also when one raises.
  struct TCount {
    int& Counter;
    bool Counted;
    ~TCount() {
      if (Counted) --Counter;
    }
  } count{FProgressing, FProgressing >= 0};
  if (count.Counted) ++FProgressing;

  if (FEnabled) {
    if (FSleepLength >= 0) std::this_thread::sleep_for(std::chrono::milliseconds(FSleepLength));
    if (FMode == cmASAP && FProgressing == 1)
      if (TGLCadencerTicker* ticker = CadencerTicker()) ticker->ProcessPendingEvents();
  }
  // Handling the events may have disabled it.
  if (!FEnabled) return;

  double newTime = GetCurrentTime();
  double deltaTime = newTime - FLastTime;
  if (FMaxDeltaTime > 0 && deltaTime > FMaxDeltaTime) {
    FOriginTime += (deltaTime - FMaxDeltaTime) / FTimeMultiplier;
    deltaTime = FMaxDeltaTime;
    newTime = FLastTime + deltaTime;
  }
  if (TGLScene* scene = FScene.Get(); scene && deltaTime != 0) {
    // The counter is negative while the scene steps, so that a step reached
    // from there is told apart.
    struct TNegate {
      int& Counter;
      ~TNegate() { Counter = -Counter; }
    } negate{FProgressing};
    FProgressing = -FProgressing;
    scene->Progress(deltaTime, newTime);
    FLastTime = newTime;
  }
  if (!FSubscribers.empty()) {
    // A subscriber may free or subscribe others.
    std::deque<TWeakRef<TGLCadenceAbleComponent>> subscribers;
    for (const auto& entry : FSubscribers)
      if (*entry) subscribers.emplace_back() = entry->Get();
    const TProgressTimes times{deltaTime, newTime};
    for (const auto& subscriber : subscribers)
      if (subscriber) subscriber->AdvanceTime(times);
  }
  if (OnProgress) OnProgress(this, deltaTime, newTime);
}

// ---------------------------------------------------------------------------
// Ticking

void SetCadencerTicker(TGLCadencerTicker* ticker) {
  TASAPState& state = ASAP();
  if (ticker == state.Ticker) return;
  if (state.Ticker && !state.Cadencers.empty()) state.Ticker->Stop();
  state.Ticker = ticker;
  if (state.Ticker && !state.Cadencers.empty()) state.Ticker->Start();
}

TGLCadencerTicker* CadencerTicker() { return ASAP().Ticker; }

int ASAPCadencerCount() { return static_cast<int>(ASAP().Cadencers.size()); }

void ProgressASAPCadencers() {
  TASAPState& state = ASAP();
  if (state.Busy) return;
  TScopedFlag busy(state.Busy);
  // A step may free cadencers, or make others tick.
  std::deque<TWeakRef<TGLCadencer>> cadencers;
  for (auto it = state.Cadencers.rbegin(); it != state.Cadencers.rend(); ++it) cadencers.emplace_back() = *it;
  for (const TWeakRef<TGLCadencer>& cadencer : cadencers) {
    if (!cadencer || !IsTicking(*cadencer.Get())) continue;
    if (cadencer->Mode() != cmASAP || !cadencer->Enabled() || cadencer->IsBusy()) continue;
    try {
      if (state.Ticker && state.Ticker->Terminating())
        cadencer->SetEnabled(false);
      else
        cadencer->Progress();
    } catch (const std::exception& e) {
      LogGLProblem("A cadencer step failed: " + std::string(e.what()));
    } catch (...) {
      LogGLProblem("A cadencer step failed");
    }
  }
}
