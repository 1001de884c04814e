#pragma once
// The event loop's side of the cadencers that tick as fast as they can: one
// QObject that posts itself an event of its own type at low priority and steps
// the ticking cadencers once per event, so each pass of the event loop gives one
// step and input, paint events and queued calls keep their turn.

#include "scene/GLCadencer.h"

#include <QObject>

#include <cstdint>
#include <functional>

class TQtCadencerTicker : public QObject, public TGLCadencerTicker {
public:
  // Ticks in a row handled within one millisecond before the chain yields to a
  // 1 ms timer, whose first shot starts it again.
  static constexpr int SAME_TICK_LIMIT = 5001;

  TQtCadencerTicker();
  ~TQtCadencerTicker() override;

  void Start() override;
  void Stop() override;
  void ProcessPendingEvents() override;
  bool Terminating() const override;

  bool Running() const { return FRunning; }
  bool FallbackTimerActive() const { return FTimerId != 0; }
  // The millisecond clock the same-tick count reads; the steady clock unless a
  // test puts its own.
  std::function<std::int64_t()> Milliseconds;

protected:
  bool event(QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

private:
  void PostTick();
  // One pass of the cadencers, then the next tick unless the chain yields.
  void Tick();

  bool FRunning = false;
  bool FPosted = false;
  int FTimerId = 0;
  int FSameTickCount = 0;
};

// Makes one ticker the cadencers' (needs the QApplication); Remove takes it away
// again before the application goes.
void InstallQtCadencerTicker();
void RemoveQtCadencerTicker();
